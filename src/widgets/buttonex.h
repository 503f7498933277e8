#pragma once

#include "widgets/buttonpaint.h"

#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

class QPainter;

namespace tarvisk {

// ButtonEx turns a plain child widget (the "picture box") into a custom-drawn push button. It
// is no widget itself: bind it to the box with setPictureFrame() and it draws the face, check
// indicator, picture and caption on the box, clips the box to a rounded shape for the
// round-frame style (a real window mask), keeps a pressed look and a toggle value, and raises
// Click and its own mouse events.
//
// Typical use, one object per key:
//
//     auto *key = new ButtonEx(this);          // parent: the hosting window
//     key->setPictureFrame(box);               // box: a plain QWidget child
//     key->setCaption("OK");
//     key->setForeColor(0xFFFFFF);
//     key->setBorderColor(0x402020);
//     key->setBackColor(0);
//     key->setBackGroundColor(0x606060);
//     key->setRadius(210);                     // twips
//     key->setButtonStyle(ButtonStyleRoundFrame);
//     connect(key, &ButtonEx::Click, this, ...);
//
// Events. By default (EventRouting::MouseAndPaint) the object filters the box's events: mouse
// presses, moves, releases and double clicks go to MouseDown/MouseMove/MouseUp/DblClick, paint
// events to Paint, and size changes to Resize. The mouse events still reach the box and any
// other filter afterwards. A host that decides itself which mouse events count (for instance
// only the left button) chooses EventRouting::PaintOnly and calls the mouse methods itself;
// painting and the shape stay automatic.
//
// Units. Lengths (radius, paddings, check offset) are twips; mouse positions handed to and
// raised by the mouse methods are twips of the box; buttons are 1 left, 2 right, 4 middle;
// shift is 1 Shift, 2 Ctrl, 4 Alt. Colours are 0x00BBGGRR values; a value with the top bit set
// names a system colour (see buttoncolors.h).
//
// Repainting. "Repaint" below is an immediate repaint of the box; Redraw() only schedules one.
// Refresh() also clears the look flags (focused, pressed, hot, and the left-button-down flag),
// and most property changes run it, so they cancel a pressed look.
class ButtonEx : public QObject
{
    Q_OBJECT

public:
    enum class EventRouting { MouseAndPaint, PaintOnly };

    explicit ButtonEx(QObject *parent = nullptr);
    ~ButtonEx() override;

    // Binds the box (nullptr unbinds), takes its handle into hWnd and runs Resize. The object
    // holds a guarded reference: a box destroyed first leaves the object unbound.
    void setPictureFrame(QWidget *box);
    QWidget *pictureFrame() const { return m_frame.data(); }
    void setEventRouting(EventRouting routing);
    EventRouting eventRouting() const { return m_routing; }

    // The native handle of the window holding the box when it was bound (0 while none exists).
    qint32 hWnd() const { return m_hWnd; }

    // Changes take effect only when the text differs: store, Resize, Refresh.
    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // 2 gradient, 3 flat, 4 round frame, 16 edge, other values no face. Store, shape, Refresh.
    int ButtonStyle() const { return m_buttonStyle; }
    void setButtonStyle(int style);
    // 1 or 2 highlight looks, 0 none. Store, Refresh.
    int HighlightStyle() const { return m_highlightStyle; }
    void setHighlightStyle(int style);
    // Kept and returned only. Store, Resize, Refresh.
    int ImagePosition() const { return m_imagePosition; }
    void setImagePosition(int position);

    // The box's enabled state. Setting runs Resize and Refresh.
    bool Enabled() const;
    void setEnabled(bool enabled);

    // Image drawn on the face; a null pixmap means none. Runs Resize and Refresh.
    QPixmap Picture() const { return m_picture; }
    void setPicture(const QPixmap &picture);
    // Kept and returned only. Runs Refresh.
    QPixmap DisabledPicture() const { return m_disabledPicture; }
    void setDisabledPicture(const QPixmap &picture);

    // Draw the check indicator. Store, Resize, Refresh.
    bool CheckBox() const { return m_checkBox; }
    void setCheckBox(bool on);
    // Toggle value, flipped by every completed left click. Store, Refresh.
    bool value() const { return m_value; }
    void setValue(bool on);

    // These three live on the box (dynamic properties "BackColor", "ForeColor" and
    // "BackGroundColor" of the box widget), so every party reading the box sees the same
    // value. Setting repaints without clearing the looks. Unbound, they read the box
    // defaults: 0, the system button text and the system button face.
    ColorValue BackColor() const; // face base colour
    void setBackColor(ColorValue color);
    ColorValue ForeColor() const; // caption colour
    void setForeColor(ColorValue color);
    ColorValue BackGroundColor() const; // the box's own background, shown around the face
    void setBackGroundColor(ColorValue color);

    // Accepted only when not negative and twice the value fits the box's width (height) in
    // twips; then store, Resize, repaint. Other values are ignored.
    int PaddingWidth() const { return m_paddingWidth; }
    void setPaddingWidth(int twips);
    int PaddingHeight() const { return m_paddingHeight; }
    void setPaddingHeight(int twips);

    // Check indicator side margin in twips (0 a quarter of the width, negative 1 pixel) and
    // palette (0 green, 1 red, other black). Store, repaint.
    int CheckBoxSideOffset() const { return m_checkBoxSideOffset; }
    void setCheckBoxSideOffset(int twips);
    int CheckColor() const { return m_checkColor; }
    void setCheckColor(int palette);

    // Frame colour of the gradient and round-frame faces. Store, Refresh.
    ColorValue BorderColor() const { return m_borderColor; }
    void setBorderColor(ColorValue color);

    // Corner radius of the round-frame shape in twips; negative values are ignored. Store,
    // shape, Refresh.
    int Radius() const { return m_radius; }
    void setRadius(int twips);
    // Corners kept square (RoundCornerBit mask). Store, shape, Refresh.
    int RoundCorner() const { return m_roundCorner; }
    void setRoundCorner(int mask);

    // The looks; setting stores and runs Redraw (the flags stay).
    bool CheckFocused() const { return m_focused; }
    void setCheckFocused(bool on);
    bool CheckKeyDown() const { return m_keyDown; }
    void setCheckKeyDown(bool on);
    bool CheckMouseOver() const { return m_mouseOver; }
    void setCheckMouseOver(bool on);

    // Clears the four look flags and repaints.
    void Refresh();
    // Resize, then schedules a repaint of the whole box; the looks stay.
    void Redraw();
    // Applies the window shape: the round-frame style masks the box to buttonShapeRegion(),
    // every other style removes the mask.
    void Resize();
    // Draws the button on the box; only valid inside the box's paint event.
    void Paint();
    // Draws the button as it stands into any painter, at (0, 0) with the box's size.
    void Paint(QPainter &painter) const;

    // Everything the next paint uses.
    ButtonLook look() const;
    // The box's current window shape as the round-frame style computes it (also for hit-tests).
    QRegion shapeRegion() const;

    // The press and toggle cycle. Any button: pressed look on (or off), Redraw; a left release
    // after a left press flips value and raises Click before MouseUp's own event.
    void MouseDown(qint16 button, qint16 shift, float x, float y);
    void MouseMove(qint16 button, qint16 shift, float x, float y);
    void MouseUp(qint16 button, qint16 shift, float x, float y);
    // A double click acts as a second press: a left-button press at (0, 0) is sent to the box
    // (and so arrives as MouseDown) unless a left press of this click already arrived, as Qt
    // delivers one before the double-click event on its own platforms.
    void DblClick();

signals:
    void Click();
    void mouseDownRaised(qint16 button, qint16 shift, float x, float y);
    void mouseMoveRaised(qint16 button, qint16 shift, float x, float y);
    void mouseUpRaised(qint16 button, qint16 shift, float x, float y);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void repaintFrame();
    void applyShape();
    ColorValue frameColor(const char *name, ColorValue fallback) const;
    void setFrameColor(const char *name, ColorValue color);
    double frameWidthTwips() const;
    double frameHeightTwips() const;

    bool m_focused = false;
    bool m_keyDown = false;
    bool m_mouseOver = false;
    bool m_leftPressed = false;
    int m_buttonStyle = 0;
    qint32 m_hWnd = 0;
    bool m_hasPicture = false;
    int m_imagePosition = 0;
    int m_highlightStyle = 0;
    ColorValue m_borderColor = rgbValue(0, 60, 115);
    QPixmap m_picture;
    QPixmap m_disabledPicture;
    bool m_checkBox = false;
    bool m_value = false;
    int m_checkBoxSideOffset = 0;
    int m_checkColor = 0;
    int m_paddingWidth = 0;
    int m_paddingHeight = 0;
    int m_radius = 0;
    int m_roundCorner = RoundCornerAll;
    QPointer<QWidget> m_frame;
    QString m_caption;
    EventRouting m_routing = EventRouting::MouseAndPaint;
};

} // namespace tarvisk
