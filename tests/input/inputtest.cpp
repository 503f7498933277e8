#include "inputtest.h"

#include "provider/provstate.h"

#include <QApplication>
#include <QDir>
#include <QFile>

namespace tarvisk::inputtest {

QList<int> codesOf(const QByteArray &bits)
{
    QList<int> codes;
    for (int code = 0; bits.size() == 8 && code < 64; ++code) {
        if (testing::bitSet(bits, code))
            codes << code;
    }
    return codes;
}

PendantWindowBase *startStandalone(int pendantType, const std::shared_ptr<RecordingLink> &link)
{
    g_Standalone = true;
    g_TPComm = link;
    ShowPendant(pendantType, 0, false, false);
    auto *w = static_cast<PendantWindowBase *>(existingPendantWindow(pendantKindForType(pendantType))->widget());
    if (!QTest::qWaitForWindowExposed(w))
        return nullptr;
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w))
        return nullptr;
    emit w->firstConnectionTimer()->Timer();
    link->bitmaps.clear();
    return w;
}

PendantWindowBase *startHosted(int pendantType, std::shared_ptr<ProvController> &controller)
{
    controller = testing::connectController(QStringLiteral("PendantType=%1").arg(pendantType));
    if (!controller)
        return nullptr;
    IPendantWindow *window = existingPendantWindow(pendantKindForType(pendantType));
    if (!testing::showHosted(*controller, window))
        return nullptr;
    auto *w = static_cast<PendantWindowBase *>(window->widget());
    emit w->firstConnectionTimer()->Timer();
    testing::drainQueue(*controller);
    return w;
}

QStringList drain(ProvController &controller)
{
    return testing::messageTexts(testing::generalMessages(testing::drainQueue(controller)));
}

namespace {

void sendKey(QWidget *window, QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers mods, bool autoRepeat)
{
    QWindow *handle = window->windowHandle();
    QKeyEvent e(type, key, mods, QString(), autoRepeat);
    QApplication::sendEvent(handle, &e);
}

} // namespace

void keyDown(QWidget *window, Qt::Key key, Qt::KeyboardModifiers mods, bool autoRepeat)
{
    sendKey(window, QEvent::KeyPress, key, mods, autoRepeat);
}

void keyUp(QWidget *window, Qt::Key key, Qt::KeyboardModifiers mods, bool autoRepeat)
{
    sendKey(window, QEvent::KeyRelease, key, mods, autoRepeat);
}

QPointingDevice *touchScreen()
{
    static QPointingDevice *device = QTest::createTouchDevice();
    return device;
}

ConfigHome::ConfigHome()
    : m_saved(qgetenv("XDG_CONFIG_HOME"))
    , m_had(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
}

ConfigHome::~ConfigHome()
{
    if (m_had)
        qputenv("XDG_CONFIG_HOME", m_saved);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

QString ConfigHome::writeKeymap(const QByteArray &text)
{
    QDir(m_dir.path()).mkpath(QStringLiteral("Tarvisk"));
    const QString file = m_dir.path() + QStringLiteral("/Tarvisk/keymap.ini");
    QFile f(file);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(text);
    return file;
}

} // namespace tarvisk::inputtest
