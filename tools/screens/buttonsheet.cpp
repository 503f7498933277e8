// Every face style of the drawn buttons in every look on one sheet, at 2x zoom.
#include "screenshot.h"

#include "common/twips.h"
#include "widgets/buttonex.h"
#include "widgets/buttonpaint.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <functional>
#include <vector>

namespace tarvisk::screens {

namespace {

constexpr int kZoom = 2;
constexpr int kCellWidth = 90;  // unzoomed pixels per column
constexpr int kCellHeight = 46; // unzoomed pixels per row
constexpr int kLabelWidth = 120;
const QColor kSheetColor(214, 222, 230);

QPixmap arrowPicture()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(8, 2);
    path.lineTo(14, 12);
    path.lineTo(2, 12);
    path.closeSubpath();
    p.fillPath(path, QColor(255, 255, 255));
    return pm;
}

ButtonLook pendantLook()
{
    ButtonLook look;
    look.foreColor = 0xFFFFFF;
    look.borderColor = 0x402020;
    look.backColor = 0;
    look.backGroundColor = 0x606060;
    look.radius = 210;
    look.buttonStyle = ButtonStyleRoundFrame;
    look.font = QFont(QStringLiteral("DejaVu Sans"), 9, QFont::Bold);
    look.caption = QStringLiteral("MOTOR");
    return look;
}

ButtonLook lightLook(int style)
{
    ButtonLook look;
    look.buttonStyle = style;
    look.backColor = 0xE0E0E0;
    look.backGroundColor = 0xFFFFFF;
    look.foreColor = 0;
    look.font = QFont(QStringLiteral("DejaVu Sans"), 9);
    look.caption = QStringLiteral("Button");
    return look;
}

struct Column
{
    const char *name;
    std::function<void(ButtonLook &)> apply;
};

struct Row
{
    QString name;
    ButtonLook look;
    QSize twipsSize{975, 480};
};

// A button as the screen shows it: painted, then cut to its window shape.
QImage renderButton(const ButtonLook &look, const QSize &px)
{
    QImage button(px, QImage::Format_ARGB32_Premultiplied);
    button.fill(Qt::transparent);
    {
        QPainter p(&button);
        paintButton(p, look, QRect(QPoint(0, 0), px));
    }
    if (look.buttonStyle != ButtonStyleRoundFrame)
        return button;
    QImage shaped(px, QImage::Format_ARGB32_Premultiplied);
    shaped.fill(Qt::transparent);
    QPainter p(&shaped);
    p.setClipRegion(buttonShapeRegion(px, look.radius, look.roundCorner, look.twipsPerPixelX, look.twipsPerPixelY));
    p.drawImage(0, 0, button);
    return shaped;
}

// The same key through a real bound object and widget, grabbed as the window system shows it.
QImage renderThroughWidget(QWidget *host, const QSize &px)
{
    auto *box = new QWidget(host);
    box->setGeometry(QRect(QPoint(4, 4), px));
    box->setFont(QFont(QStringLiteral("DejaVu Sans"), 9, QFont::Bold));
    auto *key = new ButtonEx(host);
    key->setPictureFrame(box);
    key->setCaption(QStringLiteral("OK"));
    key->setForeColor(0);
    key->setBorderColor(0x402020);
    key->setBackColor(0x20C020);
    key->setBackGroundColor(0x606060);
    key->setRadius(200);
    key->setRoundCorner(0);
    key->setButtonStyle(ButtonStyleRoundFrame);
    QImage image(px, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setClipRegion(box->mask());
    p.drawPixmap(0, 0, box->grab());
    return image;
}

} // namespace

// button-sheet: the rows are the styles and their options, the columns the states; the last row
// is a key bound through ButtonEx to a real widget and grabbed from it.
void renderButtonSheet(Shots &shots)
{
    const std::vector<Column> columns = {
        {"normal", [](ButtonLook &) {}},
        {"pressed", [](ButtonLook &l) { l.pressed = true; }},
        {"hot", [](ButtonLook &l) { l.hot = true; }},
        {"focused", [](ButtonLook &l) { l.focused = true; }},
        {"disabled", [](ButtonLook &l) { l.enabled = false; }},
        {"checked",
         [](ButtonLook &l) {
             l.checkBox = true;
             l.value = true;
         }},
        {"unchecked", [](ButtonLook &l) { l.checkBox = true; }},
        {"checked, red, disabled",
         [](ButtonLook &l) {
             l.checkBox = true;
             l.value = true;
             l.checkColor = 1;
             l.enabled = false;
         }},
    };

    std::vector<Row> rows;
    rows.push_back({QStringLiteral("4 round, corners 15"), pendantLook()});
    {
        Row r{QStringLiteral("4 round, corners 0"), pendantLook()};
        r.look.roundCorner = 0;
        r.look.radius = 200;
        r.look.backColor = 0x20C020;
        r.look.foreColor = 0;
        r.look.caption = QStringLiteral("OK");
        rows.push_back(r);
    }
    {
        Row r{QStringLiteral("4 round, corners 10"), pendantLook(), QSize(675, 480)};
        r.look.roundCorner = 10;
        r.look.radius = 220;
        r.look.caption = QStringLiteral("-");
        r.look.font.setPointSizeF(14.25);
        rows.push_back(r);
    }
    {
        Row r{QStringLiteral("4 round, corners 5"), pendantLook(), QSize(675, 480)};
        r.look.roundCorner = 5;
        r.look.radius = 220;
        r.look.caption = QStringLiteral("+");
        r.look.font.setPointSizeF(14.25);
        rows.push_back(r);
    }
    {
        Row r{QStringLiteral("4 round, picture"), pendantLook(), QSize(510, 510)};
        r.look.roundCorner = 0;
        r.look.radius = 225;
        r.look.caption.clear();
        r.look.hasPicture = true;
        r.look.picture = arrowPicture();
        rows.push_back(r);
    }
    {
        Row r{QStringLiteral("4 round, highlight 1"), pendantLook()};
        r.look.highlightStyle = 1;
        r.look.roundCorner = 0;
        rows.push_back(r);
    }
    {
        Row r{QStringLiteral("4 round, two lines"), pendantLook()};
        r.look.caption = QStringLiteral("Two line caption");
        r.look.roundCorner = 0;
        r.look.hasPicture = false;
        rows.push_back(r);
    }
    rows.push_back({QStringLiteral("2 gradient"), lightLook(ButtonStyleGradient)});
    {
        Row r{QStringLiteral("2 gradient, highlight 2"), lightLook(ButtonStyleGradient)};
        r.look.highlightStyle = 2;
        rows.push_back(r);
    }
    rows.push_back({QStringLiteral("3 flat"), lightLook(ButtonStyleFlat)});
    {
        Row r{QStringLiteral("3 flat, padding 60"), lightLook(ButtonStyleFlat)};
        r.look.paddingWidth = 60;
        r.look.paddingHeight = 30;
        rows.push_back(r);
    }
    rows.push_back({QStringLiteral("16 edge"), lightLook(ButtonStyleEdge)});
    rows.push_back({QStringLiteral("0 no face"), lightLook(0)});

    const int width = kLabelWidth + int(columns.size()) * kCellWidth;
    const int height = 24 + int(rows.size() + 1) * kCellHeight;
    QImage sheet(width * kZoom, height * kZoom, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(kSheetColor);
    QPainter painter(&sheet);
    painter.setPen(Qt::black);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 8 * kZoom));
    for (size_t c = 0; c < columns.size(); ++c)
        painter.drawText(QRect((kLabelWidth + int(c) * kCellWidth) * kZoom, 0, kCellWidth * kZoom, 24 * kZoom),
                         Qt::AlignCenter | Qt::TextWordWrap, QString::fromLatin1(columns[c].name));

    const double tpx = twips::perPixelX(), tpy = twips::perPixelY();
    for (size_t r = 0; r < rows.size(); ++r) {
        const int y = 24 + int(r) * kCellHeight;
        painter.drawText(QRect(4 * kZoom, y * kZoom, (kLabelWidth - 8) * kZoom, kCellHeight * kZoom),
                         Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, rows[r].name);
        const QSize px(twips::toPixels(rows[r].twipsSize.width(), tpx),
                       twips::toPixels(rows[r].twipsSize.height(), tpy));
        for (size_t c = 0; c < columns.size(); ++c) {
            ButtonLook look = rows[r].look;
            look.twipsPerPixelX = tpx;
            look.twipsPerPixelY = tpy;
            columns[c].apply(look);
            const QImage button = renderButton(look, px);
            const int x = kLabelWidth + int(c) * kCellWidth + (kCellWidth - px.width()) / 2;
            const int top = y + (kCellHeight - px.height()) / 2;
            painter.drawImage(QRect(x * kZoom, top * kZoom, px.width() * kZoom, px.height() * kZoom), button);
        }
    }

    // Last row: a key bound through ButtonEx to a real widget, grabbed from the widget.
    QWidget host;
    host.resize(200, 100);
    host.show();
    const int y = 24 + int(rows.size()) * kCellHeight;
    painter.drawText(QRect(4 * kZoom, y * kZoom, (kLabelWidth - 8) * kZoom, kCellHeight * kZoom),
                     Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, QStringLiteral("bound widget, grabbed"));
    const QSize px(twips::toPixelsX(795), twips::toPixelsY(480));
    const QImage grabbed = renderThroughWidget(&host, px);
    painter.drawImage(QRect((kLabelWidth + (kCellWidth - px.width()) / 2) * kZoom,
                            (y + (kCellHeight - px.height()) / 2) * kZoom, px.width() * kZoom, px.height() * kZoom),
                      grabbed);
    painter.end();

    shots.save(sheet, QStringLiteral("button-sheet"));
}

} // namespace tarvisk::screens
