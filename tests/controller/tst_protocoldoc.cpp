// The examples of docs/link-protocol.md, run: each drawing list through the controller's "draw"
// command onto a real display, each controller command through the controller's parser, and the
// key tables against the key tables of the program. The datagram examples are run by link_wire.

#include "commands.h"
#include "jsonvariant.h"

#include "pendant/minidisplay.h"
#include "provider/keytables.h"
#include "provider/provstate.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace tarvisk;
using namespace tarvisk::controller;

namespace {

const QRgb Lit = MiniDisplay::toRgb(MiniDisplay::Black);
const QRgb Unlit = MiniDisplay::toRgb(MiniDisplay::BackColor);

QString documentText()
{
    QFile file(qEnvironmentVariable("TARVISK_SOURCE_DIR") + QStringLiteral("/docs/link-protocol.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The blocks after a marker "<!-- KIND: NAME -->": a fenced block of the given language.
QMap<QString, QString> blocks(const QString &text, const QString &kind, const QString &language)
{
    QMap<QString, QString> out;
    const QRegularExpression re(QStringLiteral("<!-- %1: ([A-Za-z_-]+) -->\\s*```%2\\n(.*?)```").arg(kind, language),
                                QRegularExpression::DotMatchesEverythingOption);
    auto it = re.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out.insert(m.captured(1), m.captured(2));
    }
    return out;
}

// Units as pixels: the rectangle of units (x1, y1) to (x2, y2), both included.
QRect units(int x1, int y1, int x2, int y2)
{
    constexpr int u = MiniDisplay::PixelsPerUnit;
    return QRect(QPoint(x1 * u, y1 * u), QPoint((x2 + 1) * u - 1, (y2 + 1) * u - 1));
}

int count(const QImage &image, const QRect &rect, QRgb colour)
{
    int n = 0;
    const QRect r = rect & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

// Lit pixels outside all of the rectangles.
int litOutside(const QImage &image, const QList<QRect> &rects)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool inside =
                std::any_of(rects.begin(), rects.end(), [&](const QRect &r) { return r.contains(x, y); });
            n += !inside && image.pixel(x, y) == Lit;
        }
    }
    return n;
}

} // namespace

class TestProtocolDocument : public QObject
{
    Q_OBJECT
private slots:
    void keyTablesAreTheProgramsTables();
    void drawingExamplesDrawWhatTheySay();
    void controllerCommandsAreUnderstood();

private:
    // The drawing list of a named example, as the controller's "draw" command sends it.
    Variant drawing(const QString &name);
    QMap<QString, QString> m_drawings;
};

void TestProtocolDocument::keyTablesAreTheProgramsTables()
{
    const QString text = documentText();
    QVERIFY2(!text.isEmpty(), "docs/link-protocol.md is readable");
    InitKeyTables();
    static const QRegularExpression row(
        QStringLiteral("^\\| (\\d+) \\| (\\d) \\| (\\d) \\| `([0-9a-f]{2})` \\| `([A-Z_0-9]+)` \\|$"),
        QRegularExpression::MultilineOption);
    for (const auto &[prefix, table] : {std::pair(QStringLiteral("TP_KEY_"), g_TPKeyTable.get()),
                                        std::pair(QStringLiteral("MP_KEY_"), g_MPKeyTable.get())}) {
        const qsizetype start = text.indexOf(QStringLiteral("<!-- keys: %1 -->").arg(prefix));
        QVERIFY2(start >= 0, qPrintable(prefix));
        const qsizetype end = text.indexOf(QStringLiteral("\n\n"), text.indexOf(u'|', start));
        QMap<QString, int> documented;
        auto it = row.globalMatch(text.mid(start, end - start));
        while (it.hasNext()) {
            const auto m = it.next();
            const int code = m.captured(1).toInt();
            QCOMPARE(m.captured(2).toInt(), code / 8);
            QCOMPARE(m.captured(3).toInt(), code % 8);
            QCOMPARE(m.captured(4).toInt(nullptr, 16), 1 << (code % 8));
            documented.insert(m.captured(5), code);
        }
        QMap<QString, int> program;
        for (const KeyTable::Entry &e : table->entries())
            program.insert(e.name, e.code);
        QCOMPARE(documented, program);
    }
}

Variant TestProtocolDocument::drawing(const QString &name)
{
    const ParsedCommand p = parseCommand(QStringLiteral("draw ") + m_drawings.value(name));
    if (!p.error.isEmpty() || p.command.kind != Command::Kind::Send || p.command.number != 259)
        qWarning().noquote() << name << p.error;
    return p.command.value;
}

void TestProtocolDocument::drawingExamplesDrawWhatTheySay()
{
    m_drawings = blocks(documentText(), QStringLiteral("draw"), QStringLiteral("json"));
    QCOMPARE(m_drawings.keys(), (QStringList{"bar", "box-and-lines", "clear", "framed", "stops", "title"}));
    for (auto it = m_drawings.cbegin(); it != m_drawings.cend(); ++it) {
        Variant v;
        QString error;
        QVERIFY2(variantFromJson(it.value(), &v, &error), qPrintable(it.key() + u' ' + error));
        QVERIFY2(parseCommand(QStringLiteral("draw ") + it.value()).error.isEmpty(), qPrintable(it.key()));
    }

    // "clear" clears a display that was lit all over, whatever pen and fill it had.
    MiniDisplay display;
    display.DrawDisplay(Variant::array({Variant::array({Variant(17), Variant(0)}),
                                        Variant::array({Variant(49), Variant::array({-5, -5, 200, 200})})}));
    QCOMPARE(count(display.image(), display.image().rect(), Lit), MiniDisplay::PixelWidth * MiniDisplay::PixelHeight);
    display.DrawDisplay(drawing(QStringLiteral("clear")));
    QCOMPARE(count(display.image(), display.image().rect(), Unlit), MiniDisplay::PixelWidth * MiniDisplay::PixelHeight);

    // "title": lit letters in the five cells from (2, 1), and the whole of row 10.
    display.DrawDisplay(drawing(QStringLiteral("title")));
    const QRect cells = units(2, 1, 2 + 5 * 8 - 1, 8);
    const QRect rule = units(0, 10, 125, 10);
    QVERIFY(count(display.image(), cells, Lit) > 100);
    QCOMPARE(count(display.image(), rule, Lit), rule.width() * rule.height());
    QCOMPARE(litOutside(display.image(), {cells, rule}), 0);

    // "bar": seven cells from (3, 20), mostly lit, the letters unlit; the fill is transparent again.
    MiniDisplay bar;
    bar.DrawDisplay(drawing(QStringLiteral("bar")));
    const QRect barCells = units(3, 20, 3 + 7 * 8 - 1, 27);
    QVERIFY(count(bar.image(), barCells, Lit) > barCells.width() * barCells.height() * 6 / 10);
    QVERIFY(count(bar.image(), barCells, Unlit) > 50);
    QCOMPARE(litOutside(bar.image(), {barCells}), 0);
    QVERIFY(!bar.fillSolid());

    // "framed": the ring (39, 29)-(56, 38) lit all round, the letters inside it.
    MiniDisplay framed;
    framed.DrawDisplay(drawing(QStringLiteral("framed")));
    const QRect outer = units(39, 29, 56, 38);
    const QRect inner = units(40, 30, 55, 37);
    QCOMPARE(count(framed.image(), outer, Lit) - count(framed.image(), inner, Lit),
             outer.width() * outer.height() - inner.width() * inner.height());
    QVERIFY(count(framed.image(), inner, Lit) > 30);
    QCOMPARE(litOutside(framed.image(), {outer}), 0);

    // "box-and-lines": the lines add nothing to the box.
    MiniDisplay both, boxOnly;
    const Variant list = drawing(QStringLiteral("box-and-lines"));
    both.DrawDisplay(list);
    VariantArray boxItems = *list.arrayItems();
    boxItems.resize(3);
    boxOnly.DrawDisplay(Variant(boxItems));
    QCOMPARE(both.image(), boxOnly.image());
    QCOMPARE(count(both.image(), both.image().rect(), Lit), 2 * 21 * 4 + 2 * 9 * 4);

    // "stops": the first line, and nothing after the bad text item.
    MiniDisplay stops;
    stops.DrawDisplay(drawing(QStringLiteral("stops")));
    QCOMPARE(count(stops.image(), units(0, 60, 125, 60), Lit), 126 * 4);
    QCOMPARE(litOutside(stops.image(), {units(0, 60, 125, 60)}), 0);
}

void TestProtocolDocument::controllerCommandsAreUnderstood()
{
    const QMap<QString, QString> sessions =
        blocks(documentText(), QStringLiteral("controller"), QStringLiteral("controller"));
    QVERIFY(!sessions.isEmpty());
    QList<int32_t> sent;
    for (const QString &text : sessions) {
        for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts)) {
            const ParsedCommand p = parseCommand(line);
            QVERIFY2(p.error.isEmpty(), qPrintable(line + QStringLiteral(": ") + p.error));
            if (p.command.kind == Command::Kind::Send)
                sent << p.command.number;
        }
    }
    QCOMPARE(sent, (QList<int32_t>{257, 256, 259, 0}));
}

QTEST_GUILESS_MAIN(TestProtocolDocument)
#include "tst_protocoldoc.moc"
