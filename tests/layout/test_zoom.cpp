// A zoomed pendant: every window laid out at 150% and 200% of the 100% layout, taking the mouse
// where it shows its keys, with key shapes as fine as the device's pixels, the display at whole
// pixels per unit and the see-through window's text free of its key colour.
#include "common/twips.h"
#include "pendant/frmminitp.h"
#include "pendant/frmoldtp.h"
#include "pendant/frmtp.h"
#include "pendant/frmtpless.h"
#include "pendant/jogdial.h"
#include "provider/keytables.h"
#include "provider/provcontroller.h"
#include "provider/provstate.h"
#include "support/hostqueue.h"
#include "support/pendantprocess.h"
#include "support/widgetprobe.h"
#include "widgets/buttonex.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <cfenv>
#include <cmath>

using namespace tarvisk;
using namespace tarvisk::testing;

namespace {

// An edge of the 100% layout at the zoom: the twips it stands for (15 a pixel at 96 dpi, all the
// layouts' twips are whole pixels there) laid out again, halves to even.
int scaled(int pixels, double zoom)
{
    std::fesetround(FE_TONEAREST);
    return int(std::nearbyint(pixels * zoom));
}

QRect scaled(const QRect &r, double zoom)
{
    const int left = scaled(r.left(), zoom), top = scaled(r.top(), zoom);
    return QRect(left, top, scaled(r.left() + r.width(), zoom) - left, scaled(r.top() + r.height(), zoom) - top);
}

// Where a control stands: in its window and in its container, each at the zoom.
struct Place
{
    QRect inWindow;
    QRect inParent;
    QPoint parentInWindow;
    bool sizedByText = false; // a label as large as its text: its place counts
};

// The named controls of a window. Qt's own inner children are left out.
QMap<QString, Place> placesOf(QWidget *window)
{
    QMap<QString, Place> places;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        Place p;
        p.inWindow = rectInWindow(w);
        p.inParent = w->geometry();
        p.parentInWindow = p.inWindow.topLeft() - p.inParent.topLeft();
        p.sizedByText = qobject_cast<QLabel *>(w) && !qobject_cast<frmTPLess *>(window);
        places.insert(name, p);
    }
    return places;
}

// A rectangle at the zoom, its edges rounded or its place and size rounded: the two ways a layout
// in twips may meet the pixel grid.
bool matches(const QRect &shown, const QRect &plain, double zoom, bool placeOnly)
{
    const QRect edges = scaled(plain, zoom);
    const QRect sized(scaled(plain.x(), zoom), scaled(plain.y(), zoom), scaled(plain.width(), zoom),
                      scaled(plain.height(), zoom));
    // A label centred on a point of the layout lands within a pixel of it.
    if (placeOnly)
        return std::abs(shown.x() - edges.x()) <= 1 && std::abs(shown.y() - edges.y()) <= 1;
    return shown == edges || shown == sized;
}

// The control laid out at the zoom on its window's grid or on its container's.
bool placedAtTheZoom(const Place &shown, const Place &plain, double zoom)
{
    return matches(shown.inWindow, plain.inWindow, zoom, plain.sizedByText) ||
           (matches(shown.inParent, plain.inParent, zoom, plain.sizedByText) &&
            shown.parentInWindow == shown.inWindow.topLeft() - shown.inParent.topLeft());
}

int codeOf(int type, const QString &keyName)
{
    return (type == 1 ? g_MPKeyTable : g_TPKeyTable)->Item(keyName);
}

// Pixels in a row of a region, from its left edge to its first pixel.
int insetOfRow(const QRegion &region, int row, int width)
{
    for (int x = 0; x < width; ++x) {
        if (region.contains(QPoint(x, row)))
            return x;
    }
    return width;
}

} // namespace

class TestZoom : public QObject
{
    Q_OBJECT

    std::shared_ptr<ProvController> controller;

    // Connected hosted, shown, past the first tick: the keys take input.
    QWidget *connectedPendant(int type, double zoom, const QString &extra = {})
    {
        startPendantProcess();
        if (!twips::setZoom(zoom))
            return nullptr;
        controller = connectController(QStringLiteral("PendantType=%1%2").arg(type).arg(extra));
        if (!controller)
            return nullptr;
        IPendantWindow *w = existingPendantWindow(pendantKindForType(type));
        if (!showHosted(*controller, w))
            return nullptr;
        if (auto *base = dynamic_cast<PendantWindowBase *>(w))
            emit base->firstConnectionTimer()->Timer();
        drainQueue(*controller);
        return w->widget();
    }

    // The key messages queued since the last call, as "number:code".
    QStringList keyMessages()
    {
        QStringList out;
        for (const QString &m : messageTexts(generalMessages(drainQueue(*controller)))) {
            if (!m.startsWith(QLatin1String("0:")))
                out << m;
        }
        return out;
    }

private slots:
    void cleanup()
    {
        endHosted(controller);
        twips::setZoom(1.0);
    }

    void zooms_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<double>("zoom");
        for (double zoom : {1.5, 2.0}) {
            const QByteArray z = QByteArray::number(int(zoom * 100));
            QTest::newRow("standard " + z) << 0 << zoom;
            QTest::newRow("mini " + z) << 1 << zoom;
            QTest::newRow("old " + z) << -1 << zoom;
            QTest::newRow("pendant-less " + z) << 2 << zoom;
        }
    }

    // The window and every control of it stand where the 100% layout's twips put them at the zoom,
    // and the fonts grow with it.
    void everyControlIsLaidOutAtTheZoom_data() { zooms_data(); }
    void everyControlIsLaidOutAtTheZoom()
    {
        QFETCH(int, type);
        QFETCH(double, zoom);
        QWidget *plain = connectedPendant(type, 1.0, QStringLiteral(", Debug"));
        QVERIFY(plain);
        const QSize plainSize = plain->size();
        const QMap<QString, Place> plainPlaces = placesOf(plain);
        const double plainPoints = plain->findChild<QComboBox *>(QStringLiteral("cmbState"))->font().pointSizeF();
        QVERIFY(plainPlaces.size() >= (type == 2 ? 2 : 40));
        endHosted(controller);

        QWidget *zoomed = connectedPendant(type, zoom, QStringLiteral(", Debug"));
        QVERIFY(zoomed);
        QCOMPARE(zoomed->size(), QSize(scaled(plainSize.width(), zoom), scaled(plainSize.height(), zoom)));
        const QMap<QString, Place> places = placesOf(zoomed);
        QCOMPARE(places.keys(), plainPlaces.keys());
        QStringList wrong;
        for (auto it = plainPlaces.cbegin(); it != plainPlaces.cend(); ++it) {
            Place plain = it.value();
            Place shown = places.value(it.key());
            // The jog slider starts below its frame's title, whose height follows the font.
            if (it.key() == QLatin1String("sldJog")) {
                for (Place *p : {&plain, &shown}) {
                    p->inWindow = QRect(p->inWindow.x(), 0, p->inWindow.width(), 0);
                    p->inParent = QRect(p->inParent.x(), 0, p->inParent.width(), 0);
                    p->parentInWindow = QPoint(p->inWindow.x() - p->inParent.x(), 0);
                }
            }
            if (!placedAtTheZoom(shown, plain, zoom))
                wrong << QStringLiteral("%1 %2,%3 %4x%5 (at 100%: %6,%7 %8x%9)")
                             .arg(it.key())
                             .arg(shown.inWindow.x())
                             .arg(shown.inWindow.y())
                             .arg(shown.inWindow.width())
                             .arg(shown.inWindow.height())
                             .arg(plain.inWindow.x())
                             .arg(plain.inWindow.y())
                             .arg(plain.inWindow.width())
                             .arg(plain.inWindow.height());
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
        const double points = zoomed->findChild<QComboBox *>(QStringLiteral("cmbState"))->font().pointSizeF();
        QCOMPARE(points, plainPoints * zoom);
    }

    // A press in the middle of each key, where the zoomed window shows it, reports that key; the
    // corner a round key leaves out is not the key's.
    void everyKeyTakesItsPressWhereItShows_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<double>("zoom");
        for (double zoom : {1.5, 2.0}) {
            const QByteArray z = QByteArray::number(int(zoom * 100));
            QTest::newRow("standard " + z) << 0 << zoom;
            QTest::newRow("mini " + z) << 1 << zoom;
            QTest::newRow("old " + z) << -1 << zoom;
        }
    }
    void everyKeyTakesItsPressWhereItShows()
    {
        QFETCH(int, type);
        QFETCH(double, zoom);
        QWidget *window = connectedPendant(type, zoom);
        QVERIFY(window);
        QList<QPair<QString, QWidget *>> keys;
        if (auto *tp = qobject_cast<frmTP *>(window)) {
            for (int i = 0; i < frmTP::kKeyCount; ++i)
                keys.append({tp->keyName(i), tp->hardKey(i)});
        } else if (auto *mini = qobject_cast<frmMiniTP *>(window)) {
            for (int i = 0; i < frmMiniTP::kKeyCount; ++i)
                keys.append({mini->keyName(i), mini->hardKey(i)});
        } else if (auto *old = qobject_cast<frmOldTP *>(window)) {
            for (int i = 0; i < frmOldTP::kKeyCount; ++i)
                keys.append({old->keyName(i), old->hardKey(i)});
        }
        QVERIFY(!keys.isEmpty());
        for (const auto &[name, key] : keys) {
            const QPoint at = rectInWindow(key).center();
            QWidget *hit = window->childAt(at);
            QVERIFY2(hit, qPrintable(name));
            QTest::mousePress(hit, Qt::LeftButton, {}, hit->mapFrom(window, at));
            QTest::mouseRelease(hit, Qt::LeftButton, {}, hit->mapFrom(window, at));
            const int code = codeOf(type, name);
            const QString c = QString::number(code);
            QCOMPARE(keyMessages(), QStringList({"1:" + c, "2:" + c, "3:" + c}));
        }
        if (auto *tp = qobject_cast<frmTP *>(window)) {
            // STOP's top-left corner pixel lies outside its rounded shape: the window's own.
            const QRect stop = rectInWindow(tp->hardKey(5));
            QCOMPARE(window->childAt(stop.topLeft()), static_cast<QWidget *>(nullptr));
            QCOMPARE(window->childAt(stop.topLeft() + QPoint(0, stop.height() / 2)), tp->hardKey(5));
        }
    }

    // Turning the zoomed dial by more than its step presses a jog key, as at 100%.
    void jogDialTurnsAtTheZoom()
    {
        auto *tp = qobject_cast<frmTP *>(connectedPendant(0, 2.0));
        QVERIFY(tp);
        QWidget *dial = tp->jogDialBox();
        const QPoint c = dial->rect().center();
        const int r = std::min(dial->width(), dial->height()) / 3;
        QTest::mousePress(dial, Qt::LeftButton, {}, c + QPoint(r, 0));
        QTest::mouseMove(dial, c + QPoint(r, r)); // 45 degrees clockwise
        QTest::mouseRelease(dial, Qt::LeftButton, {}, c + QPoint(r, r));
        const QString up = QString::number(g_TPKeyTable->Item(QStringLiteral("TP_KEY_JOG_UP")));
        QCOMPARE(keyMessages(), QStringList({"1:" + up}));
    }

    // A round key's shape follows its curve pixel by pixel at 200%, not in 2 x 2 blocks, and covers
    // the rounded rectangle's area.
    void roundKeyShapesKeepDevicePixelPrecision()
    {
        auto *tp = qobject_cast<frmTP *>(connectedPendant(0, 2.0));
        QVERIFY(tp);
        // STOP, Cancel and an arrow key: round on all four corners.
        for (int index : {5, 6, 20}) {
            QWidget *key = tp->hardKey(index);
            const QRegion mask = key->mask();
            QVERIFY(!mask.isEmpty());
            const int w = key->width(), h = key->height();
            bool oddStep = false;
            for (int row = 0; row + 1 < h / 2; row += 2)
                oddStep |= insetOfRow(mask, row, w) != insetOfRow(mask, row + 1, w);
            QVERIFY2(oddStep, qPrintable(QStringLiteral("key %1 steps in blocks").arg(index)));
            // Corner diameter of the round frame in pixels at this zoom, as the layout gives it.
            const int radiusPixels = twips::toPixelsY(tp->keyButton(index)->Radius());
            const double r = std::min({double(radiusPixels), w / 2.0, h / 2.0});
            const double expected = double(w) * h - (4.0 - M_PI) * r * r;
            qint64 area = 0;
            for (const QRect &rect : mask)
                area += qint64(rect.width()) * rect.height();
            QVERIFY2(std::abs(area - expected) < 0.02 * expected,
                     qPrintable(QStringLiteral("key %1: area %2, expected %3").arg(index).arg(area).arg(expected)));
        }
    }

    // Every unit of the display is the same whole number of pixels, drawn without smoothing.
    void displayUnitsAreWholePixels_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<int>("perUnit");
        QTest::newRow("100") << 1.0 << 2;
        QTest::newRow("150") << 1.5 << 3;
        QTest::newRow("200") << 2.0 << 4;
    }
    void displayUnitsAreWholePixels()
    {
        QFETCH(double, zoom);
        QFETCH(int, perUnit);
        auto *mini = qobject_cast<frmMiniTP *>(connectedPendant(1, zoom));
        QVERIFY(mini);
        // Solid black boxes of one unit at (10, 5) and of 3 x 2 units at (40, 30), and a text.
        Variant list =
            Variant::array({Variant::array({17, 0}), Variant::array({49, Variant::array({10, 5, 10, 5})}),
                            Variant::array({49, Variant::array({40, 30, 42, 31})}), Variant::array({17, 255}),
                            Variant::array({32, Variant::array({QStringLiteral("AB"), 60, 40, 0, 0})})});
        Variant r;
        QCOMPARE(controller->FinalExecute(QStringLiteral("drawminitp"), list, r), 0);
        QWidget *box = mini->displayBox();
        const QImage shown = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb back = MiniDisplay::toRgb(MiniDisplay::BackColor);
        const QRgb black = qRgb(0, 0, 0);
        // Only the two colours: no sample falls between them.
        for (int y = 1; y < shown.height() - 1; ++y) {
            for (int x = 1; x < shown.width() - 1; ++x) {
                const QRgb c = shown.pixel(x, y) | 0xFF000000;
                QVERIFY2(c == back || c == black, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
        }
        // The surface's origin: the first black pixel of the one-unit box, 10 and 5 units in.
        QPoint first(-1, -1);
        for (int y = 1; y < shown.height() - 1 && first.x() < 0; ++y) {
            for (int x = 1; x < shown.width() - 1; ++x) {
                if ((shown.pixel(x, y) | 0xFF000000) == black) {
                    first = QPoint(x, y);
                    break;
                }
            }
        }
        QVERIFY(first.x() >= 0);
        const QPoint origin = first - QPoint(10, 5) * perUnit;
        auto unitIsBlack = [&](int ux, int uy) {
            for (int dy = 0; dy < perUnit; ++dy) {
                for (int dx = 0; dx < perUnit; ++dx) {
                    if ((shown.pixel(origin + QPoint(ux * perUnit + dx, uy * perUnit + dy)) | 0xFF000000) != black)
                        return false;
                }
            }
            return true;
        };
        QVERIFY(unitIsBlack(10, 5));
        QVERIFY(!unitIsBlack(11, 5) && !unitIsBlack(10, 6) && !unitIsBlack(9, 5));
        for (int ux = 40; ux <= 42; ++ux)
            QVERIFY(unitIsBlack(ux, 30) && unitIsBlack(ux, 31));
        QVERIFY(!unitIsBlack(43, 30) && !unitIsBlack(40, 32));
        // The surface fits inside the border and stands in its middle.
        const int inner = box->width() - 2;
        QVERIFY(MiniDisplay::UnitsWide * perUnit <= inner);
        QVERIFY(std::abs((origin.x() - 1) - (inner - MiniDisplay::UnitsWide * perUnit - (origin.x() - 1))) <= 1);
    }

    // What the see-through window keeps of itself is its text, in the text's colour only: no pixel
    // of the key colour, and no blend of it, on the edge of its shape.
    void seeThroughTextHasNoFringe_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::newRow("100") << 1.0;
        QTest::newRow("150") << 1.5;
        QTest::newRow("200") << 2.0;
    }
    void seeThroughTextHasNoFringe()
    {
        QFETCH(double, zoom);
        auto *w = qobject_cast<frmTPLess *>(connectedPendant(2, zoom));
        QVERIFY(w);
        if (w->seeThrough() != frmTPLess::SeeThrough::Shaped)
            QSKIP("the window has an alpha channel here");
        const QRegion mask = w->mask();
        QVERIFY(!mask.isEmpty());
        const QImage shown = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb text = w->label()->palette().color(QPalette::WindowText).rgb();
        int pixels = 0;
        for (const QRect &r : mask) {
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x) {
                    ++pixels;
                    QVERIFY2((shown.pixel(x, y) | 0xFF000000) == (text | 0xFF000000),
                             qPrintable(QStringLiteral("%1,%2 is %3").arg(x).arg(y).arg(shown.pixel(x, y), 0, 16)));
                }
            }
        }
        // The text grows with the zoom: "TPLess" at 15.75 points covers some hundred pixels at 100%.
        QVERIFY2(pixels > 100 * zoom * zoom, qPrintable(QString::number(pixels)));
    }
};

QTEST_MAIN(TestZoom)
#include "test_zoom.moc"
