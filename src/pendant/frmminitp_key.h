#pragma once

#include <QPushButton>

class QPainter;

namespace tarvisk {

// A push key of the mini pendant: the style's button face with the caption's lines centred
// one em apart, the line pitch of the narrow face the keys were laid out for, so that three
// lines fit a 510-twip key.
class MiniHardKey : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// Draws a caption whose lines are separated by line feeds, centred in `r`, one em apart.
void paintKeyCaption(QPainter &p, const QRect &r, const QString &caption, const QColor &color);

} // namespace tarvisk
