#include "pendant/frmtpless.h"

#include "common/proverror.h"
#include "common/twips.h"
#include "pendant/paintbox.h"
#include "pendant/pendantbase.h"
#include "pendant/zoomstyle.h"
#include "provider/provstate.h"
#include "provider/windowprocs.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPainter>

namespace tarvisk {

namespace {

// The colour the see-through window paints where nothing is (0x00BBGGRR).
constexpr unsigned kKeyColour = 0xFFFF00;

} // namespace

QRegion paintedRegion(QWidget *w)
{
    QImage img(w->size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    w->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    QImage bits(w->size(), QImage::Format_MonoLSB);
    bits.setColor(0, QColor(Qt::white).rgb());
    bits.setColor(1, QColor(Qt::black).rgb());
    bits.fill(0);
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(line[x]) != 0)
                bits.setPixel(x, y, 1);
        }
    }
    return QRegion(QBitmap::fromImage(bits)).translated(w->pos());
}

frmTPLess::frmTPLess(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_QuitOnClose, true);
    setFixedSize(twips::toPixelsX(3195), twips::toPixelsY(735));
}

frmTPLess::~frmTPLess() = default;

void frmTPLess::Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    lblTPLess = new QLabel(QStringLiteral("TPLess"), this);
    lblTPLess->setObjectName(QStringLiteral("lblTPLess"));
    lblTPLess->setGeometry(twipsRect(0, 150, 3285, 330));
    lblTPLess->setFont(pendantFont(15.75, false));

    cmbState = new QComboBox(this);
    cmbState->setObjectName(QStringLiteral("cmbState"));
    cmbState->addItems(PendantWindowBase::stateNames());
    cmbState->setCurrentIndex(-1);
    cmbState->setGeometry(twipsRect(30, 30, 1725, 300));
    cmbState->setFont(pendantFont(9, false));
    cmbState->hide();

    tmrTPLess = new WindowTimer(this);
    connect(tmrTPLess, &WindowTimer::Timer, this, &frmTPLess::tmrTPLess_Timer);
    applyZoomStyle(this);
}

void frmTPLess::Unload()
{
    if (tmrTPLess)
        tmrTPLess->setEnabled(false);
    m_state->set(ConnectionState::Disconnect);
    hide();
}

void frmTPLess::Connect(int32_t)
{
    Load();
    if (!m_DebugMode)
        makeSeeThrough();
    tmrTPLess->setInterval(kFirstTickMs);
    tmrTPLess->setEnabled(true);
}

void frmTPLess::makeSeeThrough()
{
    // With a compositor the background is simply not painted: real transparency, smooth text.
    // The window must get its alpha channel before its native window exists.
    if (compositorActive() && !testAttribute(Qt::WA_WState_Created)) {
        setAttribute(Qt::WA_TranslucentBackground, true);
        setAutoFillBackground(false);
        m_seeThrough = SeeThrough::Alpha;
        return;
    }
    setBackground(this, kKeyColour);
    // A shaped window needs no compositor: what lies outside the label's text is not part of
    // the window at all. Unsmoothed glyphs keep the edge of the shape free of blended pixels.
    QFont f = lblTPLess->font();
    f.setStyleStrategy(QFont::NoAntialias);
    lblTPLess->setFont(f);
    setMask(paintedRegion(lblTPLess));
    m_seeThrough = SeeThrough::Shaped;
}

void frmTPLess::tmrTPLess_Timer()
{
    tmrTPLess->setInterval(g_TPLessInterval);
    m_state->set(ConnectionState::TPLess);
    // A failure is forgotten; the next tick comes as usual.
    try {
        if (!g_Standalone)
            sendHostMessage(0, Variant(int16_t(2)));
    } catch (const ProvError &) {
    }
}

void frmTPLess::setStateSelectorVisible(bool visible)
{
    Load();
    cmbState->setVisible(visible);
}

bool frmTPLess::isStateSelectorVisible() const
{
    return cmbState && !cmbState->isHidden();
}

void frmTPLess::closeEvent(QCloseEvent *event)
{
    // Hosted, the client owns the window's life and the keep-alive must go on.
    if (!g_Standalone) {
        event->ignore();
        return;
    }
    Unload();
    event->accept();
}

} // namespace tarvisk
