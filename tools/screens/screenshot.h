#pragma once

#include <QImage>
#include <QString>

class QWidget;

namespace tarvisk::screens {

// Where the pictures go and what became of them; shared by every window's renderer.
class Shots
{
public:
    // zoomPercent: the pendants' zoom; other than 100 it is named in every file name ("-zoom150").
    explicit Shots(QString folder, int scale = 0, int zoomPercent = 100)
        : m_folder(std::move(folder))
        , m_scale(scale)
        , m_zoomPercent(zoomPercent)
    {}

    // Lets the event loop run for `ms`, so that timers fire and the windows paint.
    static void settle(int ms);

    // A fresh process as every renderer starts from: the process-wide state cleared, the pendant
    // windows registered, the key tables built and the pendants' zoom set.
    void freshProcess() const;

    // Writes the picture as <folder>/<name>.png and prints what was written.
    bool save(const QImage &image, const QString &name);
    // The widget as it paints itself, without the window manager's frame.
    bool save(QWidget *widget, const QString &name);
    // Scaled up without smoothing by the scale asked for, or by `fallback` when none was.
    bool saveScaled(const QImage &image, const QString &name, int fallback);

    // Records a step that went wrong without a picture to show for it.
    void fail(const QString &what);

    bool ok() const { return m_ok; }
    const QString &folder() const { return m_folder; }

private:
    QString m_folder;
    int m_scale;
    int m_zoomPercent;
    bool m_ok = true;
};

// One renderer per window or sheet.
void renderStandard(Shots &shots);
void renderMini(Shots &shots);
void renderOld(Shots &shots);
void renderTPLess(Shots &shots);
void renderConnect(Shots &shots);
void renderDisplaySheet(Shots &shots);
void renderDemoScreens(Shots &shots);
void renderButtonSheet(Shots &shots);
void renderInput(Shots &shots);

} // namespace tarvisk::screens
