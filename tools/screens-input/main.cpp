// Renders each pendant as a user started it, in the three looks of its input:
//   tarvisk-screens-input <output folder>
// <variant>-bindings.png: every key's keyboard binding drawn on it (F12);
// <variant>-enable.png: the enabling switch held (the right button on the body);
// <variant>-latched.png: SHIFT latched beside OK held down, to tell the two looks apart.
// Runs on any Qt platform; with the offscreen platform no display is needed.
#include "link/pendantlink.h"
#include "pendant/pendantbase.h"
#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/provstate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>

#include <cstdio>

using namespace tarvisk;

namespace {

// The key states go nowhere.
class NullLink : public IPendantLink
{
public:
    void Open(const QString &, const QString &) override {}
    std::shared_ptr<ILinkVariable> GetVariable(const QString &, const QString &) override { return nullptr; }
    Variant Execute(const QString &, const Variant &) override { return {}; }
    void Close() override {}
};

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget *w, const QString &path)
{
    settle(50);
    const QImage img = w->grab().toImage();
    const bool ok = img.save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(path), img.width(), img.height());
    return ok;
}

bool render(int type, const QString &variant, const QString &prefix, const QString &out)
{
    resetProcessState();
    registerPendantWindows();
    InitKeyTables();
    g_Standalone = true;
    g_TPComm = std::make_shared<NullLink>();
    ShowPendant(type, 2, false, false);
    auto *w = static_cast<PendantWindowBase *>(existingPendantWindow(pendantKindForType(type))->widget());
    emit w->firstConnectionTimer()->Timer();
    InputPath &in = w->input();
    bool ok = true;

    in.setShowsBindings(true);
    ok &= save(w, out + u'/' + variant + QStringLiteral("-bindings.png"));
    in.setShowsBindings(false);

    const InputPath::Holder rightButton{InputSource::Mouse, quint64(Qt::RightButton)};
    in.press(in.enablingSwitchName(), rightButton);
    ok &= save(w, out + u'/' + variant + QStringLiteral("-enable.png"));
    in.release(in.enablingSwitchName(), rightButton);

    const InputPath::Holder leftButton{InputSource::Mouse, quint64(Qt::LeftButton)};
    in.setLatched(prefix + QStringLiteral("SHIFT"), true, InputSource::Mouse);
    in.press(prefix + QStringLiteral("OK"), leftButton);
    ok &= save(w, out + u'/' + variant + QStringLiteral("-latched.png"));
    in.release(prefix + QStringLiteral("OK"), leftButton);
    w->close();
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out);
    bool ok = render(0, QStringLiteral("frmTP"), QStringLiteral("TP_KEY_"), out);
    ok &= render(1, QStringLiteral("frmMiniTP"), QStringLiteral("MP_KEY_"), out);
    ok &= render(-1, QStringLiteral("frmOldTP"), QStringLiteral("TP_KEY_"), out);
    resetProcessState();
    return ok ? 0 : 1;
}
