// What the input path costs: a key pressed and let go on a standalone standard pendant, from the
// event to the key state handed to the link, by the mouse, by the keyboard and by two sources on
// one key, beside two baselines in the same run: the bare key model (press and release of the
// code), and the same behind a plain widget's own event filter (the event's delivery, no path).
//   bench_input [rounds]
#include "link/pendantlink.h"
#include "pendant/frmtp.h"
#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/provstate.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tarvisk;

namespace {

// Counts the key states; the link itself costs nothing here.
class CountingLink : public IPendantLink
{
public:
    void Open(const QString &, const QString &) override {}
    std::shared_ptr<ILinkVariable> GetVariable(const QString &, const QString &) override { return nullptr; }
    Variant Execute(const QString &, const Variant &) override
    {
        ++states;
        return {};
    }
    void Close() override {}
    long states = 0;
};

void mouse(QWidget *w, QEvent::Type type)
{
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void key(QWindow *w, QEvent::Type type, int k)
{
    QKeyEvent e(type, k, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// A widget whose filter presses and releases the key on the mouse's events, as a window with a
// filter of its own and no path would.
class PlainFilter : public QObject
{
public:
    PlainFilter(PendantKeys &keys, int32_t code)
        : m_keys(keys)
        , m_code(code)
    {}

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::MouseButtonPress)
            m_keys.press(m_code);
        else if (e->type() == QEvent::MouseButtonRelease)
            m_keys.release(m_code);
        return e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease;
    }

private:
    PendantKeys &m_keys;
    int32_t m_code;
};

struct Figures
{
    double median;
    double p99;
};

// Times one press-and-release round `rounds` times; checks that it gave two key states.
Figures measure(int rounds, CountingLink &link, const std::function<void()> &round)
{
    std::vector<double> us;
    us.reserve(size_t(rounds));
    QElapsedTimer t;
    for (int i = 0; i < rounds; ++i) {
        const long before = link.states;
        t.start();
        round();
        us.push_back(double(t.nsecsElapsed()) / 1000.0);
        if (link.states != before + 2) {
            std::fprintf(stderr, "round %d gave %ld key states\n", i, link.states - before);
            std::exit(1);
        }
        if (i % 64 == 0)
            QCoreApplication::processEvents();
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[size_t(double(us.size()) * 0.99)]};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20000;
    registerPendantWindows();
    InitKeyTables();
    auto link = std::make_shared<CountingLink>();
    g_Standalone = true;
    g_TPComm = link;
    ShowPendant(0, 0, false, false);
    auto *tp = static_cast<frmTP *>(existingPendantWindow(PendantKind::Standard));
    emit tp->firstConnectionTimer()->Timer();
    QWidget *ok = tp->hardKey(7);
    QWindow *window = tp->windowHandle();
    const int32_t code = g_TPKeyTable->Item(QStringLiteral("TP_KEY_OK"));

    const Figures bare = measure(rounds, *link, [&] {
        tp->keys().press(code);
        tp->keys().release(code);
    });
    QWidget plain;
    plain.resize(50, 30);
    PlainFilter filter(tp->keys(), code);
    plain.installEventFilter(&filter);
    const Figures delivered = measure(rounds, *link, [&] {
        mouse(&plain, QEvent::MouseButtonPress);
        mouse(&plain, QEvent::MouseButtonRelease);
    });
    const Figures byMouse = measure(rounds, *link, [&] {
        mouse(ok, QEvent::MouseButtonPress);
        mouse(ok, QEvent::MouseButtonRelease);
    });
    const Figures byKeyboard = measure(rounds, *link, [&] {
        key(window, QEvent::KeyPress, Qt::Key_Return);
        key(window, QEvent::KeyRelease, Qt::Key_Return);
    });
    const Figures both = measure(rounds, *link, [&] {
        mouse(ok, QEvent::MouseButtonPress);
        key(window, QEvent::KeyPress, Qt::Key_Return);
        mouse(ok, QEvent::MouseButtonRelease);
        key(window, QEvent::KeyRelease, Qt::Key_Return);
    });

    std::printf("press and release of OK to two key states, %d rounds each (median, p99; ratio of medians to "
                "a plain widget's filter)\n",
                rounds);
    auto line = [&](const char *what, const Figures &f) {
        std::printf("  %-38s %7.2f us  %7.2f us  x%.2f\n", what, f.median, f.p99, f.median / delivered.median);
    };
    line("bare key model (no event)", bare);
    line("plain widget's filter (no path)", delivered);
    line("mouse, through the path", byMouse);
    line("keyboard, through the path", byKeyboard);
    line("mouse and keyboard on one key", both);
    tp->close();
    resetProcessState();
    return 0;
}
