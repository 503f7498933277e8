#include "pendant/pendantparts.h"

#include "pendant/frmminitp.h"
#include "pendant/frmoldtp.h"
#include "pendant/frmtp.h"
#include "pendant/frmtpless.h"
#include "provider/keytables.h"
#include "provider/provstate.h"

namespace tarvisk {

const KeyTable *PendantParts::keyTable() const
{
    if (!window || kind == PendantKind::TPLess)
        return nullptr;
    return kind == PendantKind::Mini ? g_MPKeyTable.get() : g_TPKeyTable.get();
}

QString PendantParts::keyName(int32_t code) const
{
    if (const KeyTable *table = keyTable()) {
        for (const KeyTable::Entry &e : table->entries()) {
            if (e.code == code)
                return e.name;
        }
    }
    return QString();
}

QStringList PendantParts::modeKeyNames() const
{
    const QString prefix = kind == PendantKind::Mini ? QStringLiteral("MP_KEY_") : QStringLiteral("TP_KEY_");
    return {prefix + QStringLiteral("AUTO"), prefix + QStringLiteral("MAN"), prefix + QStringLiteral("TC")};
}

PendantParts pendantParts(IPendantWindow *window)
{
    PendantParts parts;
    if (!window)
        return parts;
    parts.window = window;
    parts.kind = window->kind();
    parts.widget = window->widget();
    if (auto *w = dynamic_cast<frmTPLess *>(window)) {
        parts.state = &w->connectionState();
        return parts;
    }
    if (auto *w = dynamic_cast<PendantWindowBase *>(window)) {
        parts.keyed = w;
        parts.keys = &w->keys();
        parts.state = &w->connectionState();
    }
    if (auto *w = dynamic_cast<frmTP *>(window)) {
        parts.leds = w->leds();
        parts.beeper = w->beeper();
    } else if (auto *w = dynamic_cast<frmMiniTP *>(window)) {
        parts.leds = w->leds();
        parts.beeper = w->beeper();
        parts.display = &w->display();
    } else if (auto *w = dynamic_cast<frmOldTP *>(window)) {
        parts.leds = w->leds();
        parts.beeper = w->beeper();
    }
    return parts;
}

IPendantWindow *loadedPendantWindow()
{
    IPendantWindow *loaded = nullptr;
    for (PendantKind kind : {PendantKind::Standard, PendantKind::Mini, PendantKind::Old, PendantKind::TPLess}) {
        IPendantWindow *w = existingPendantWindow(kind);
        if (!w || !w->isLoaded())
            continue;
        if (w->widget() && w->widget()->isVisible())
            return w;
        if (!loaded)
            loaded = w;
    }
    return loaded;
}

QString pendantKindName(PendantKind kind)
{
    switch (kind) {
    case PendantKind::Old:
        return QStringLiteral("old");
    case PendantKind::Mini:
        return QStringLiteral("mini");
    case PendantKind::TPLess:
        return QStringLiteral("pendant-less");
    case PendantKind::Standard:
        break;
    }
    return QStringLiteral("standard");
}

} // namespace tarvisk
