#include "provider/startup.h"

#include "common/diagnostics.h"
#include "common/leadingnumber.h"
#include "common/twips.h"
#include "common/variant.h"
#include "link/pendantlink.h"
#include "link/udplink.h"
#include "provider/keytables.h"
#include "provider/provstate.h"

namespace tarvisk {

namespace {

constexpr int kArgCount = 5;
const char *const kDefaultDestIP = "127.0.0.1";
const char *const kDefaultDestPort = "5010";
const char *const kDefaultSrcIP = "255.255.255.255";
const char *const kDefaultSrcPort = "5009";

bool isArgBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Where the four link values of a start came from, to name them in an error.
struct ValueOrigin
{
    bool fromDialog = false;
    int given = 0; // how many came from the command line
};

QString partName(LinkOptionError::Part part)
{
    switch (part) {
    case LinkOptionError::Part::ControllerAddress:
        return QStringLiteral("controller address");
    case LinkOptionError::Part::ControllerPort:
        return QStringLiteral("controller port");
    case LinkOptionError::Part::OwnAddress:
        return QStringLiteral("own address");
    case LinkOptionError::Part::OwnPort:
        break;
    }
    return QStringLiteral("own port");
}

QString partAdvice(LinkOptionError::Part part)
{
    switch (part) {
    case LinkOptionError::Part::ControllerAddress:
        return QStringLiteral(
            "Give an IPv4 address such as 192.168.0.10, or an IPv6 address in brackets such as [::1].");
    case LinkOptionError::Part::ControllerPort:
        return QStringLiteral("Give a port from 1 to 65535.");
    case LinkOptionError::Part::OwnAddress:
        return QStringLiteral("Give an address of this machine, 255.255.255.255 for any, of the same IP version as "
                              "the controller's.");
    case LinkOptionError::Part::OwnPort:
        break;
    }
    return QStringLiteral("Give a port from 0 to 65535; 0 takes any free port.");
}

// The place a value came from: " (argument 2)", " from the connection dialog", or nothing for a default.
QString originText(const ValueOrigin &origin, int element)
{
    if (origin.fromDialog)
        return QStringLiteral(" from the connection dialog");
    if (element <= origin.given)
        return QStringLiteral(" (argument %1)").arg(element);
    return {};
}

// An option fault of the link, told in the user's terms: which value, where it came from,
// what is wrong and what to give instead. The link's own text names its option string, which
// the user never typed.
[[noreturn]] void raiseValueError(const LinkOptionError &e, const ValueOrigin &origin)
{
    const int element = int(e.part()) + 1;
    const QString value = e.value().isEmpty() ? QStringLiteral("\"\" (empty)") : u'"' + e.value() + u'"';
    QString text = QStringLiteral("The %1 %2%3 %4. %5")
                       .arg(partName(e.part()), value, originText(origin, element), e.reason(), partAdvice(e.part()));
    text[0] = text[0].toUpper();
    raiseError(e.number(), text);
}

// A colon would split the link's endpoint in the wrong place; only an IPv6 address in brackets
// may hold one.
void checkNoStrayColon(const QStringList &args, const ValueOrigin &origin)
{
    static const LinkOptionError::Part parts[] = {LinkOptionError::Part::ControllerAddress,
                                                  LinkOptionError::Part::ControllerPort,
                                                  LinkOptionError::Part::OwnAddress, LinkOptionError::Part::OwnPort};
    for (int element = 1; element <= 4; ++element) {
        const QString &value = args[element];
        const bool bracketed = value.startsWith(u'[') && value.endsWith(u']');
        if (value.contains(u':') && !bracketed)
            raiseValueError(
                LinkOptionError(QString(), parts[element - 1], value, QStringLiteral("holds a \":\" outside brackets")),
                origin);
    }
}

// Percent to the pendant's zoom; 0 (none asked for) leaves 100%, and so does a value out of range,
// which the command line and the dialog never hand on.
void applyZoom(int percent)
{
    if (percent > 0)
        twips::setZoom(percent / 100.0);
}

} // namespace

QString joinCommandLine(const QStringList &arguments)
{
    QStringList parts;
    for (const QString &a : arguments) {
        const bool needsQuotes = a.isEmpty() || a.contains(u' ') || a.contains(u'\t');
        parts << (needsQuotes ? u'"' + a + u'"' : a);
    }
    return parts.join(u' ');
}

int16_t SplitCommandLine(QStringList &args, const QString &commandLine)
{
    args = QStringList(kArgCount + 1);
    if (commandLine.isEmpty())
        return 0;
    int state = 0;
    int current = 1;
    bool stopped = false;
    for (QChar c : commandLine) {
        if (state == 0) {
            if (c == u'"') {
                state = 2;
            } else if (!isArgBlank(c)) {
                args[current] += c;
                state = 1;
            }
        } else if (state == 1) {
            if (isArgBlank(c)) {
                if (current < kArgCount) {
                    ++current;
                    state = 0;
                } else {
                    stopped = true;
                    break;
                }
            } else {
                args[current] += c;
            }
        } else {
            if (c == u'"') {
                if (current < kArgCount) {
                    ++current;
                    state = 0;
                } else {
                    stopped = true;
                    break;
                }
            } else {
                args[current] += c;
            }
        }
    }
    const int n = (stopped || state != 0) ? current : current - 1;
    return int16_t(n > 0 ? n : 0);
}

QString linkOptions(const QString &destIP, const QString &destPort, const QString &srcIP, const QString &srcPort)
{
    return QStringLiteral("TPClient, UDP=") + destIP + u':' + destPort + u':' + srcIP + u':' + srcPort;
}

bool Main(const StartupEnvironment &env)
{
    g_TPLessInterval = 10000;
    try {
        InitKeyTables();
        int32_t pendantType = 0;
        QStringList args;
        const int16_t n = SplitCommandLine(args, env.commandLine);
        if (n <= 0)
            args[1] = QString::fromLatin1(kDefaultDestIP);
        if (n <= 1)
            args[2] = QString::fromLatin1(kDefaultDestPort);
        if (n <= 2)
            args[3] = QString::fromLatin1(kDefaultSrcIP);
        if (n <= 3)
            args[4] = QString::fromLatin1(kDefaultSrcPort);
        if (n == 5)
            pendantType = Variant(leadingNumber(args[5])).toLong();

        if (!env.startedByUser) {
            applyZoom(env.zoomPercent);
            return true;
        }

        if (n == 0) {
            if (!env.runConnectDialog)
                raiseError(ErrNotSupported, QStringLiteral("No connection dialog is available"));
            const ConnectChoice choice = env.runConnectDialog();
            if (choice.cancel) {
                CloseStandaloneLink();
                return true;
            }
            args[1] = choice.destIP;
            args[2] = QString::number(choice.destPort);
            if (choice.useSrcIP)
                args[3] = choice.srcIP;
            if (choice.useSrcPort)
                args[4] = QString::number(choice.srcPort);
            pendantType = choice.type;
            applyZoom(choice.zoomPercent);
        } else {
            applyZoom(env.zoomPercent ? env.zoomPercent : env.storedZoomPercent ? env.storedZoomPercent() : 0);
        }

        g_Standalone = true;
        if (!env.createLink)
            raiseError(ErrNotSupported, QStringLiteral("No pendant link is available"));
        g_TPComm = env.createLink();
        if (!g_TPComm)
            raiseError(ErrObjectNotSet);
        const ValueOrigin origin{n == 0, n};
        checkNoStrayColon(args, origin);
        try {
            g_TPComm->Open(QStringLiteral("TPComm"), linkOptions(args[1], args[2], args[3], args[4]));
        } catch (const LinkOptionError &e) {
            raiseValueError(e, origin);
        } catch (const ProvError &e) {
            if (e.number() != ErrLinkNetwork)
                throw;
            // Mostly a port that another program holds already.
            raiseError(e.number(),
                       e.description() + (origin.fromDialog ? QStringLiteral(". Choose another own port in the dialog, "
                                                                             "or leave \"My Port\" unchecked.")
                                                            : QStringLiteral(". Give another own port as argument 4; 0 "
                                                                             "takes any free port.")));
        }
        const std::shared_ptr<ILinkVariable> enabled = g_TPComm->GetVariable(QStringLiteral("@Enabled"), QString());
        if (!enabled)
            raiseError(ErrObjectNotSet);
        enabled->setValue(Variant(true));

        ShowPendant(pendantType, 1, false, false);
        return true;
    } catch (const ProvError &e) {
        showMessage(e.description(), Diagnostics::Icon::Exclamation);
        g_TPComm.reset();
        return false;
    }
}

void CloseStandaloneLink()
{
    if (!g_TPComm)
        return;
    try {
        g_TPComm->Close();
    } catch (const ProvError &) {
        // Closing is best effort; the link is dropped either way.
    }
    g_TPComm.reset();
}

} // namespace tarvisk
