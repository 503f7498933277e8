#include "inputtest.h"

#include "provider/provmessage.h"
#include "provider/provstate.h"

#include <QApplication>
#include <QDir>
#include <QFile>

namespace tarvisk::inputtest {

QList<int> codesOf(const QByteArray &bits)
{
    QList<int> codes;
    for (int code = 0; code < 64; ++code) {
        if (bitSet(bits, code))
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
    controller = std::make_shared<ProvController>();
    Variant p = Variant::array({Variant(), Variant(QStringLiteral("PendantType=%1").arg(pendantType)), Variant()});
    if (controller->FinalConnect(p) != 0)
        return nullptr;
    auto *w = static_cast<PendantWindowBase *>(existingPendantWindow(pendantKindForType(pendantType))->widget());
    Variant r;
    controller->FinalExecute(QStringLiteral("show"), Variant(), r);
    if (!QTest::qWaitForWindowExposed(w))
        return nullptr;
    emit w->firstConnectionTimer()->Timer();
    drain(*controller);
    return w;
}

QStringList drain(ProvController &controller)
{
    QStringList out;
    std::shared_ptr<ProvMessage> m;
    while (controller.GetMessage(m) == 0 && m) {
        if (m->destination().isEmpty())
            out << QStringLiteral("%1:%2").arg(m->number()).arg(m->value().toString());
        m.reset();
    }
    return out;
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

QPoint centreIn(QWidget *window, QWidget *w)
{
    return w->mapTo(window, w->rect().center());
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
