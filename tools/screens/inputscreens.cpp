// Each pendant as a user started it, in the three looks of its input: every key's keyboard
// binding drawn on it (F12), the enabling switch held (the right button on the body), and SHIFT
// latched beside OK held down, so that the two looks can be told apart.
#include "screenshot.h"

#include "link/pendantlink.h"
#include "pendant/pendantbase.h"
#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/provstate.h"

namespace tarvisk::screens {

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

void renderPendant(Shots &shots, int type, const QString &variant, const QString &prefix)
{
    shots.freshProcess();
    g_Standalone = true;
    g_TPComm = std::make_shared<NullLink>();
    ShowPendant(type, 2, false, false);
    auto *w = static_cast<PendantWindowBase *>(existingPendantWindow(pendantKindForType(type))->widget());
    emit w->firstConnectionTimer()->Timer();
    InputPath &in = w->input();

    in.setShowsBindings(true);
    Shots::settle(50);
    shots.save(w, variant + QStringLiteral("-input-bindings"));
    in.setShowsBindings(false);

    const InputPath::Holder rightButton{InputSource::Mouse, quint64(Qt::RightButton)};
    if (!in.press(in.enablingSwitchName(), rightButton))
        shots.fail(variant + QStringLiteral(": the enabling switch took no press"));
    Shots::settle(50);
    shots.save(w, variant + QStringLiteral("-input-enable"));
    in.release(in.enablingSwitchName(), rightButton);

    const InputPath::Holder leftButton{InputSource::Mouse, quint64(Qt::LeftButton)};
    if (!in.setLatched(prefix + QStringLiteral("SHIFT"), true, InputSource::Mouse) ||
        !in.press(prefix + QStringLiteral("OK"), leftButton))
        shots.fail(variant + QStringLiteral(": SHIFT or OK took no press"));
    Shots::settle(50);
    shots.save(w, variant + QStringLiteral("-input-latched"));
    in.release(prefix + QStringLiteral("OK"), leftButton);
    w->close();
    resetProcessState();
}

} // namespace

void renderInput(Shots &shots)
{
    renderPendant(shots, 0, QStringLiteral("frmTP"), QStringLiteral("TP_KEY_"));
    renderPendant(shots, 1, QStringLiteral("frmMiniTP"), QStringLiteral("MP_KEY_"));
    renderPendant(shots, -1, QStringLiteral("frmOldTP"), QStringLiteral("TP_KEY_"));
}

} // namespace tarvisk::screens
