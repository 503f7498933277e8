// Start-up to first window shown, and resident memory with the window up: the real tarvisk on
// the X server of DISPLAY beside two minimal Qt Widgets windows of the same size, a bare one and
// one showing a label of text, measured the same way in the same run, one fresh process per
// measurement:
//   bench_startup [runs per row]        (DISPLAY must name an X server; tests/with-xvfb.sh gives one)
// "Shown" is when the window is mapped and most of it painted, as the X server holds it (the X
// server's root is made black first, so a window not painted yet reads black); for the
// see-through window, which paints only black text, when it is mapped. The resident memory is
// read half a second later. Every figure is a median over the runs.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QUdpSocket>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Shown
{
    double ms = -1;
    long rssKb = -1;
};

long residentKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    auto *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(r);
    return a;
}

uint32_t windowPid(xcb_connection_t *c, xcb_window_t w)
{
    auto *r =
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, atom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1), nullptr);
    uint32_t pid = 0;
    if (r && xcb_get_property_value_length(r) == 4)
        std::memcpy(&pid, xcb_get_property_value(r), 4);
    free(r);
    return pid;
}

// The share of the window's pixels that are painted (not the black of a fresh window).
double paintedShare(xcb_connection_t *c, xcb_window_t w)
{
    auto *g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    if (!g)
        return 0;
    const int width = g->width, height = g->height;
    free(g);
    auto *img = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, 0, 0, uint16_t(width), uint16_t(height), ~0u), nullptr);
    if (!img)
        return 0;
    const auto *px = reinterpret_cast<const uint32_t *>(xcb_get_image_data(img));
    const int n = xcb_get_image_data_length(img) / 4;
    int painted = 0;
    for (int i = 0; i < n; ++i)
        painted += (px[i] & 0xFFFFFF) != 0;
    free(img);
    return n ? double(painted) / n : 0;
}

// Starts the program and waits until its window is mapped and painted.
Shown measure(xcb_connection_t *c, const QString &program, const QStringList &arguments, bool waitForPaint)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    p.start(program, arguments);
    if (!p.waitForStarted(10000))
        return {};
    const qint64 pid = p.processId();
    xcb_window_t window = XCB_WINDOW_NONE;
    Shown shown;
    while (t.elapsed() < 20000) {
        if (window == XCB_WINDOW_NONE) {
            xcb_generic_event_t *e = xcb_poll_for_event(c);
            if (!e) {
                QThread::usleep(200);
                continue;
            }
            if ((e->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(e);
                if (windowPid(c, map->window) == uint32_t(pid))
                    window = map->window;
            }
            free(e);
        } else if (!waitForPaint || paintedShare(c, window) > 0.5) {
            shown.ms = t.nsecsElapsed() / 1e6;
            break;
        } else {
            QThread::usleep(500);
        }
    }
    QThread::msleep(500);
    shown.rssKb = residentKb(pid);
    p.kill();
    p.waitForFinished(5000);
    const uint32_t none = 0;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &none);
    while (xcb_generic_event_t *e = xcb_poll_for_event(c))
        free(e);
    return shown;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Row
{
    const char *name;
    int type;
    int width, height; // of the pendant's window, for the baseline
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "bench_startup: no X server on DISPLAY (run it under tests/with-xvfb.sh)\n");
        return 2;
    }
    // A black root: what a window shows before it paints.
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t black = screen->black_pixel;
    xcb_change_window_attributes(c, screen->root, XCB_CW_BACK_PIXEL, &black);
    xcb_clear_area(c, 0, screen->root, 0, 0, 0, 0);
    xcb_flush(c);
    const QString tarvisk = QStringLiteral(TARVISK_EXE);
    const QString minimal = QStringLiteral(MINIMAL_WINDOW_EXE);
    QUdpSocket controller;
    controller.bind(QHostAddress::LocalHost, 0);
    // The platform is chosen by tarvisk itself, as for a user.
    qunsetenv("QT_QPA_PLATFORM");

    const Row rows[] = {
        {"standard", 0, 213, 489}, {"mini", 1, 280, 632}, {"old", -1, 189, 489}, {"pendant-less", 2, 213, 49}};
    std::printf("tarvisk on xcb beside a minimal Qt Widgets window of the same size, bare and with one label,\n"
                "%d runs each (medians; ratios: tarvisk / bare, tarvisk / label)\n",
                runs);
    std::printf("%-13s %9s %9s %9s %6s %6s %8s %8s %8s %6s %6s\n", "pendant", "shown ms", "bare ms", "label ms",
                "/bare", "/label", "RSS MiB", "bare", "label", "/bare", "/label");
    for (const Row &row : rows) {
        std::vector<double> ms, bareMs, labelMs, rss, bareRss, labelRss;
        const QStringList size = {QString::number(row.width), QString::number(row.height)};
        for (int i = 0; i < runs; ++i) {
            // Interleaved, so that a change of the machine's load falls on all three alike.
            // The see-through window paints nothing but its black text: mapped is shown.
            const bool paint = row.type != 2;
            const Shown bare = measure(c, minimal, size, paint);
            const Shown label = measure(c, minimal, size + QStringList{QStringLiteral("label")}, paint);
            const Shown real = measure(c, tarvisk,
                                       {QStringLiteral("127.0.0.1"), QString::number(controller.localPort()),
                                        QStringLiteral("127.0.0.1"), QStringLiteral("0"), QString::number(row.type)},
                                       paint);
            if (bare.ms < 0 || label.ms < 0 || real.ms < 0) {
                std::fprintf(stderr, "%s: no window shown\n", row.name);
                return 1;
            }
            ms.push_back(real.ms);
            bareMs.push_back(bare.ms);
            labelMs.push_back(label.ms);
            rss.push_back(real.rssKb / 1024.0);
            bareRss.push_back(bare.rssKb / 1024.0);
            labelRss.push_back(label.rssKb / 1024.0);
        }
        std::printf("%-13s %9.1f %9.1f %9.1f %6.2f %6.2f %8.1f %8.1f %8.1f %6.2f %6.2f\n", row.name, median(ms),
                    median(bareMs), median(labelMs), median(ms) / median(bareMs), median(ms) / median(labelMs),
                    median(rss), median(bareRss), median(labelRss), median(rss) / median(bareRss),
                    median(rss) / median(labelRss));
        std::fflush(stdout);
    }
    xcb_disconnect(c);
    return 0;
}
