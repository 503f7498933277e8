#include "provider/provcontroller.h"

#include "common/twips.h"
#include "provider/pendantwindow.h"
#include "provider/provstate.h"
#include "provider/windowprocs.h"

#include <QWidget>

namespace tarvisk {

ProvController::ProvController() = default;
ProvController::~ProvController() = default;

namespace {

// Trims the blanks (spaces) the option items may carry around them.
QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.mid(b, e - b);
}

enum class OptionKey { PendantType, StateDestination, DefaultMode, TPLessInterval, IsPellino, Debug, None };

OptionKey matchOption(const QString &item)
{
    static const std::pair<const char16_t *, OptionKey> keys[] = {
        {u"PendantType", OptionKey::PendantType}, {u"StateDestination", OptionKey::StateDestination},
        {u"DefaultMode", OptionKey::DefaultMode}, {u"TPLessInterval", OptionKey::TPLessInterval},
        {u"IsPellino", OptionKey::IsPellino},     {u"Debug", OptionKey::Debug},
    };
    for (const auto &[key, which] : keys) {
        if (item.startsWith(QStringView(key), Qt::CaseInsensitive))
            return which;
    }
    return OptionKey::None;
}

QString sourceForType(int32_t type)
{
    switch (pendantKindForType(type)) {
    case PendantKind::Mini:
        return QString::number(26);
    case PendantKind::TPLess:
        return {};
    default:
        return QString::number(17);
    }
}

} // namespace

void ProvController::parseOptions(const QString &options, bool &debug)
{
    const QStringList pieces = options.split(u',');
    for (const QString &piece : pieces) {
        const QString item = trimBlanks(piece);
        if (item.isEmpty())
            continue;
        const OptionKey key = matchOption(item);
        if (key == OptionKey::None)
            continue;
        const qsizetype eq = piece.indexOf(u'=');
        const Variant value(eq < 0 ? item : trimBlanks(piece.mid(eq + 1)));
        switch (key) {
        case OptionKey::PendantType:
            m_lPendantType = value.toLong();
            break;
        case OptionKey::StateDestination:
            m_strStateDestination = value.toString();
            break;
        case OptionKey::DefaultMode:
            m_lDefaultMode = value.toLong();
            break;
        case OptionKey::TPLessInterval: {
            const int32_t interval = value.toLong();
            // A period of 0 or less would stop the keep-alive after its first message.
            if (interval <= 0)
                raiseError(
                    ErrInvalidArgument,
                    QStringLiteral("TPLessInterval must be a positive number of milliseconds, not %1").arg(interval));
            SetTPLessInterval(interval);
            break;
        }
        case OptionKey::IsPellino:
            g_IsPellino = value.toBool();
            break;
        case OptionKey::Debug:
            debug = true;
            break;
        case OptionKey::None:
            break;
        }
    }
}

int32_t ProvController::FinalConnect(Variant &parameters)
{
    return statusOf([&] {
        const Variant options = parameters.at(1);
        bool debug = false;
        // Null compares as unknown, which the platform treats as not different from "".
        if (!options.isEmpty() && !options.isNull()) {
            if (options.type() != Variant::Type::String)
                raiseError(ErrTypeMismatch);
            const QString text = options.toString();
            if (!text.isEmpty())
                parseOptions(text, debug);
        }
        parameters.setAt(2, Variant(true));
        g_Controller = shared_from_this();
        m_strSource = sourceForType(m_lPendantType);
        m_debug = debug;
        ShowPendant(m_lPendantType, m_lDefaultMode, true, debug);
    });
}

int32_t ProvController::FinalDisconnect()
{
    return statusOf([&] {
        const PendantKind kinds[] = {PendantKind::Standard, PendantKind::Mini, PendantKind::Old, PendantKind::TPLess};
        // The keys held at this moment are let go first: "DISCONNECT" stays the last message.
        for (PendantKind kind : kinds) {
            if (IPendantWindow *window = existingPendantWindow(kind))
                window->releaseHeldKeys();
        }
        int32_t number = 0;
        const int32_t status = CreateMessage(number, Variant(int16_t(0)));
        if (status != 0)
            raiseError(status);
        for (PendantKind kind : kinds)
            unloadPendantWindow(kind);
        g_Controller.reset();
    });
}

int32_t ProvController::FinalExecute(const QString &command, const Variant &parameter, Variant &result)
{
    result = Variant();
    // The windows get the controller's own copy, so what they do to it never reaches the host.
    Variant copy = parameter;
    Variant out;
    const int32_t status = statusOf([&] { execute(command, copy, out); });
    if (status == 0)
        result = std::move(out);
    return status;
}

void ProvController::execute(const QString &command, Variant &parameter, Variant &result)
{
    IPendantWindow &window = pendantWindow(pendantKindForType(m_lPendantType));
    window.Load();
    const bool tpLess = m_lPendantType == 2;
    QWidget *w = window.widget();
    const QString name = command.toLower();

    if (name == u"getvisible") {
        result = Variant(w->isVisible());
    } else if (name == u"gethwnd") {
        result = Variant(NativeWindowHandle(w));
    } else if (name == u"show") {
        const int32_t handle = parameter.isEmpty() ? 0 : parameter.toLong();
        if (handle != 0)
            SetZOrder(w, handle);
        else if (!w->isVisible())
            SetAppWindow(w, false, true);
        else if (isMinimized(w))
            RestoreWindow(w); // shown in name only: the client asked to see it
    } else if (name == u"hide") {
        w->hide();
    } else if (name == u"move") {
        const float left = parameter.at(0).toSingle();
        const float top = parameter.at(1).toSingle();
        MoveWindow(w, QPoint(twips::screenToPixelsX(left), twips::screenToPixelsY(top)));
    } else if (name == u"led") {
        if (!tpLess)
            window.SetLED(parameter);
    } else if (name == u"getkeystate") {
        if (!tpLess)
            result = window.GetKeyState();
    } else if (name == u"beep") {
        if (!tpLess)
            window.SetBeep(parameter);
    } else if (name == u"drawminitp") {
        if (!tpLess)
            window.DrawDisplay(parameter);
    } else if (name == u"lcd") {
        if (!tpLess)
            window.SetLCD(parameter);
    } else if (name == u"setinproceventkey") {
        if (!tpLess)
            window.SetInprocEventKey(parameter);
    } else if (name == u"getinproceventkey") {
        if (!tpLess)
            result = window.GetInprocEventKey();
    } else if (name == u"backlight") {
        if (m_lPendantType != 0)
            raiseError(ErrInvalidArgument);
    }
    // "resetudpdest", "setkeystate", "setpanelstate" and unknown names are accepted as they are.
}

int32_t ProvController::FinalGetAttribute(int32_t &out)
{
    out = 0;
    return 0;
}

int32_t ProvController::FinalGetHelp(QString &out)
{
    out.clear();
    return 0;
}

#define TARVISK_EMPTY_NAMES(fn)                                                                                        \
    int32_t ProvController::fn(const QString &, Variant &out)                                                          \
    {                                                                                                                  \
        out = Variant();                                                                                               \
        return 0;                                                                                                      \
    }
TARVISK_EMPTY_NAMES(FinalGetCommandNames)
TARVISK_EMPTY_NAMES(FinalGetExtensionNames)
TARVISK_EMPTY_NAMES(FinalGetFileNames)
TARVISK_EMPTY_NAMES(FinalGetRobotNames)
TARVISK_EMPTY_NAMES(FinalGetTaskNames)
TARVISK_EMPTY_NAMES(FinalGetVariableNames)
#undef TARVISK_EMPTY_NAMES

int32_t ProvController::FinalGetID(Variant &out)
{
    out = Variant();
    return 0;
}

int32_t ProvController::FinalPutID(const Variant &)
{
    return 0;
}

int32_t ProvController::GetMessage(std::shared_ptr<ProvMessage> &out)
{
    out.reset();
    if (!m_colMessage.empty()) {
        out = std::move(m_colMessage.front());
        m_colMessage.pop_front();
    }
    return 0;
}

int32_t ProvController::CreateMessage(int32_t &number, const Variant &value)
{
    return statusOf([&] {
        auto general = std::make_shared<ProvMessage>();
        if (number < 0 || number > 3) {
            Variant init = Variant::array({Variant(number), value, Variant(m_strSource)});
            if (const int32_t s = general->FinalInitialize(init))
                raiseError(s);
            m_colMessage.push_back(std::move(general));
            return;
        }
        Variant payload;
        bool addressed = true;
        if (value.isArray()) {
            const Variant flag = value.at(1);
            payload = value.at(0);
            addressed = flag.toBool();
        } else {
            payload = value;
        }
        if (!m_strStateDestination.isEmpty() && addressed) {
            auto copy = std::make_shared<ProvMessage>();
            Variant init =
                Variant::array({Variant(number), payload, Variant(m_strSource), Variant(m_strStateDestination)});
            if (const int32_t s = copy->FinalInitialize(init))
                raiseError(s);
            m_colMessage.push_back(std::move(copy));
        }
        Variant init = Variant::array({Variant(number), payload, Variant(m_strSource)});
        if (const int32_t s = general->FinalInitialize(init))
            raiseError(s);
        m_colMessage.push_back(std::move(general));
    });
}

} // namespace tarvisk
