#include "provider/startup.h"

#include "common/diagnostics.h"
#include "common/leadingnumber.h"
#include "common/variant.h"
#include "link/pendantlink.h"
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

        if (!env.startedByUser)
            return true;

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
        }

        g_Standalone = true;
        if (!env.createLink)
            raiseError(ErrNotSupported, QStringLiteral("No pendant link is available"));
        g_TPComm = env.createLink();
        if (!g_TPComm)
            raiseError(ErrObjectNotSet);
        g_TPComm->Open(QStringLiteral("TPComm"), linkOptions(args[1], args[2], args[3], args[4]));
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
