#include "settings/frmconnect.h"

#include "common/diagnostics.h"
#include "common/leadingnumber.h"
#include "common/proverror.h"
#include "common/twips.h"
#include "common/variant.h"
#include "settings/clsprofile.h"
#include "settings/selectalltext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace tarvisk {

namespace {

const QString SectDist = QStringLiteral("$Dist$");
const QString SectSrc = QStringLiteral("$Src$");
const QString SectPendant = QStringLiteral("$Pendant$");
const QString KeyIPAddress = QStringLiteral("IPAddress");
const QString KeyPort = QStringLiteral("Port");
const QString KeyUseIPAddress = QStringLiteral("UseIPAddress");
const QString KeyUsePort = QStringLiteral("UsePort");
const QString KeyType = QStringLiteral("Type");
const QString KeyZoom = QStringLiteral("Zoom");

// The zooms the dialog offers; another stored or given value joins them in order.
constexpr int32_t kZoomChoices[] = {100, 125, 150, 175, 200, 250, 300, 400};

const QString DefaultDestIP = QStringLiteral("127.0.0.1");
const QString DefaultSrcIP = QStringLiteral("255.255.255.255");

QRect twipRect(int left, int top, int width, int height)
{
    return QRect(twips::screenToPixelsX(left), twips::screenToPixelsY(top), twips::screenToPixelsX(width),
                 twips::screenToPixelsY(height));
}

const QString kAddressPartRange = QStringLiteral("An address part must be a whole number from 0 to 255.");

std::optional<uint16_t> portOf(const QString &text)
{
    const double v = roundHalfEven(leadingNumber(text));
    if (v >= 0 && v <= 65535)
        return uint16_t(v);
    return std::nullopt;
}

QString boolText(bool b)
{
    return b ? QStringLiteral("True") : QStringLiteral("False");
}

void reportBadValue(const QString &section, const QString &key, const QString &text, const QString &used)
{
    debugPrint(QStringLiteral("Tarvisk: %1 %2 \"%3\" in the settings file is not valid; %4 is used instead")
                   .arg(section, key, text, used));
}

uint16_t readPort(const clsProfile &profile, const QString &section, uint16_t defaultPort)
{
    const QString text = profile.GetString(section, KeyPort, QString::number(defaultPort));
    try {
        const int32_t v = Variant(text).toLong();
        if (v >= 0 && v <= 65535)
            return uint16_t(v);
    } catch (const ProvError &) {
    }
    reportBadValue(section, KeyPort, text, QString::number(defaultPort));
    return defaultPort;
}

bool readFlag(const clsProfile &profile, const QString &key)
{
    const QString text = profile.GetString(SectSrc, key, boolText(true));
    try {
        return Variant(text).toBool();
    } catch (const ProvError &) {
    }
    reportBadValue(SectSrc, key, text, boolText(true));
    return true;
}

int32_t readType(const clsProfile &profile)
{
    const QString text = profile.GetString(SectPendant, KeyType, QStringLiteral("0"));
    try {
        return Variant(text).toLong();
    } catch (const ProvError &) {
    }
    reportBadValue(SectPendant, KeyType, text, QStringLiteral("0"));
    return 0;
}

int32_t readZoom(const clsProfile &profile)
{
    const QString text = profile.GetString(SectPendant, KeyZoom, QStringLiteral("100"));
    bool isNumber = false;
    const int32_t v = text.trimmed().toInt(&isNumber);
    if (isNumber && v >= twips::kMinZoomPercent && v <= twips::kMaxZoomPercent)
        return v;
    reportBadValue(SectPendant, KeyZoom, text, QStringLiteral("100"));
    return 100;
}

// Pieces 0 to min(3, last) of the dotted text go to the boxes; boxes without a piece keep their text.
// Empty text has no pieces at all (not one empty piece), so it leaves every box as it was.
void fillAddress(const std::array<ConnectField *, 4> &boxes, const QString &address)
{
    if (address.isEmpty())
        return;
    const QStringList pieces = address.split(u'.');
    const qsizetype n = std::min<qsizetype>(3, pieces.size() - 1);
    for (qsizetype i = 0; i <= n; ++i)
        boxes[i]->setText(pieces[i]);
}

QString joinAddress(const std::array<ConnectField *, 4> &boxes)
{
    QStringList parts;
    for (const ConnectField *box : boxes)
        parts << box->text();
    return parts.join(u'.');
}

} // namespace

bool addressPartInRange(const QString &normalized)
{
    bool ok = false;
    const qint64 v = normalized.toLongLong(&ok);
    return ok && v >= 0 && v <= 255;
}

bool checkFieldText(const QString &text, QString *normalized)
{
    const double v = roundHalfEven(leadingNumber(text));
    if (!(v >= -2147483648.0 && v <= 2147483647.0))
        return false;
    *normalized = QString::number(qint64(v));
    return true;
}

void ConnectField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    // The press that brought the focus places the caret next; the release selects again.
    m_selectOnRelease = event->reason() == Qt::MouseFocusReason;
    SelectAllText(this);
}

void ConnectField::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    m_selectOnRelease = false;
    emit focusLeft(event->reason());
}

void ConnectField::mouseReleaseEvent(QMouseEvent *event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (m_selectOnRelease && !hasSelectedText())
        SelectAllText(this);
    m_selectOnRelease = false;
}

frmConnect::frmConnect(QWidget *parent)
    : QDialog(parent)
{
    buildControls();
    m_bCancel = true;
    cmbType->addItem(QStringLiteral("TP"), 0);
    cmbType->addItem(QStringLiteral("MiniTP"), 1);
    cmbType->addItem(QStringLiteral("OldTP"), -1);
    cmbType->setCurrentIndex(0);
    for (int32_t percent : kZoomChoices)
        cmbZoom->addItem(QStringLiteral("%1 %").arg(percent), percent);
    setZoomPercent(100);
}

void frmConnect::setZoomPercent(int32_t percent)
{
    int index = cmbZoom->findData(percent);
    if (index < 0) {
        index = 0;
        while (index < cmbZoom->count() && cmbZoom->itemData(index).toInt() < percent)
            ++index;
        cmbZoom->insertItem(index, QStringLiteral("%1 %").arg(percent), percent);
    }
    cmbZoom->setCurrentIndex(index);
    m_lZoom = percent;
}

int32_t frmConnect::storedZoomPercent()
{
    clsProfile p;
    p.setFileName(settingsFilePath());
    return readZoom(p);
}

frmConnect::~frmConnect()
{
    // The fields outlive this part of the object: the focused one still reports losing the focus
    // while the base class destroys the children.
    for (ConnectField *e : fields())
        disconnect(e, nullptr, this, nullptr);
}

void frmConnect::buildControls()
{
    setWindowTitle(QStringLiteral("Connect to Ostrel"));
    // The captions were measured for a narrow 9-point face; a condensed face comes closest here.
    QFont f = font();
    f.setFamilies({QStringLiteral("MS UI Gothic"), QStringLiteral("DejaVu Sans")});
    f.setStretch(QFont::Condensed);
    f.setPointSize(9);
    setFont(f);
    setFixedSize(twips::screenToPixelsX(4230), twips::screenToPixelsY(2970));

    fraConn = new QGroupBox(this);
    fraConn->setGeometry(twipRect(60, 60, 4095, 2355));

    auto label = [this](int index, const char *caption, QRect r) {
        lblConn[index] = new QLabel(QString::fromLatin1(caption), fraConn);
        lblConn[index]->setGeometry(r);
    };
    auto field = [this](const char *text, QRect r) {
        auto *edit = new ConnectField(QString::fromLatin1(text), fraConn);
        edit->setGeometry(r);
        connect(edit, &ConnectField::focusLeft, this, [this, edit](Qt::FocusReason why) { fieldLeft(edit, why); });
        return edit;
    };
    const std::array<int, 4> partLeft{1320, 1920, 2520, 3120};

    // Created in tab order, so the natural focus chain is already the wanted one.
    label(0, "Ostrel IP : ", twipRect(180, 330, 1065, 180));
    for (int i = 0; i < 4; ++i)
        txtDestIP[i] = field(i == 3 ? "1" : i == 0 ? "127" : "0", twipRect(partLeft[i], 270, 495, 300));
    txtDestPort = field("5010", twipRect(1320, 690, 975, 300));
    label(1, "Ostrel Port : ", twipRect(180, 750, 1065, 240));
    for (int i = 0; i < 4; ++i)
        txtSrcIP[i] = field("255", twipRect(partLeft[i], 1110, 495, 300));
    txtSrcPort = field("5009", twipRect(1320, 1530, 975, 300));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setGeometry(twipRect(1680, 2490, 1185, 375));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setGeometry(twipRect(2970, 2490, 1185, 375));

    cmbType = new QComboBox(fraConn);
    cmbType->setGeometry(twipRect(1320, 1935, 1560, 300));
    label(4, "Type : ", twipRect(180, 1950, 1065, 240));
    chkSrcIP = new QCheckBox(QStringLiteral("   My IP : "), fraConn);
    chkSrcIP->setGeometry(twipRect(225, 1155, 1005, 240));
    chkSrcPort = new QCheckBox(QStringLiteral("My Port : "), fraConn);
    chkSrcPort->setGeometry(twipRect(225, 1575, 1095, 240));
    // The pendant's zoom shares the buttons' row, left of OK, so the dialog keeps its size.
    lblZoom = new QLabel(QStringLiteral("Zoom : "), this);
    lblZoom->setGeometry(twipRect(240, 2558, 645, 240));
    cmbZoom = new QComboBox(this);
    cmbZoom->setGeometry(twipRect(720, 2490, 885, 375));
    cmbZoom->setToolTip(QStringLiteral("How large the pendant is drawn"));

    QList<QWidget *> order;
    for (ConnectField *e : txtDestIP)
        order << e;
    order << txtDestPort;
    for (ConnectField *e : txtSrcIP)
        order << e;
    order << txtSrcPort << cmdOK << cmdCancel << cmbType << chkSrcIP << chkSrcPort << cmbZoom;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    txtDestIP[0]->setFocus(Qt::OtherFocusReason);

    connect(cmdOK, &QPushButton::clicked, this, &frmConnect::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConnect::cmdCancel_Click);
    connect(chkSrcIP, &QCheckBox::stateChanged, this, &frmConnect::chkSrcIP_Click);
    connect(chkSrcPort, &QCheckBox::stateChanged, this, &frmConnect::chkSrcPort_Click);
}

QString frmConnect::settingsFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/Tarvisk/Tarvisk.ini"));
}

clsProfile &frmConnect::profile()
{
    if (!m_profile)
        m_profile = std::make_unique<clsProfile>();
    return *m_profile;
}

void frmConnect::LoadIni()
{
    clsProfile &p = profile();
    p.setFileName(settingsFilePath());
    m_strDestIP = p.GetString(SectDist, KeyIPAddress, DefaultDestIP);
    m_iDestPort = readPort(p, SectDist, DefaultDestPort);
    m_strSrcIP = p.GetString(SectSrc, KeyIPAddress, DefaultSrcIP);
    m_iSrcPort = readPort(p, SectSrc, DefaultSrcPort);
    m_bUseSrcIP = readFlag(p, KeyUseIPAddress);
    m_bUseSrcPort = readFlag(p, KeyUsePort);
    m_lType = readType(p);
    m_lZoom = readZoom(p);

    fillAddress(txtDestIP, m_strDestIP);
    txtDestPort->setText(QString::number(m_iDestPort));
    fillAddress(txtSrcIP, m_strSrcIP);
    txtSrcPort->setText(QString::number(m_iSrcPort));
    chkSrcIP->setChecked(m_bUseSrcIP);
    chkSrcIP_Click();
    chkSrcPort->setChecked(m_bUseSrcPort);
    chkSrcPort_Click();
    const int index = cmbType->findData(m_lType);
    if (index >= 0)
        cmbType->setCurrentIndex(index);
    setZoomPercent(m_lZoom);
}

void frmConnect::chkSrcIP_Click()
{
    m_bUseSrcIP = chkSrcIP->checkState() != Qt::Unchecked;
    for (ConnectField *e : txtSrcIP)
        e->setEnabled(m_bUseSrcIP);
}

void frmConnect::chkSrcPort_Click()
{
    m_bUseSrcPort = chkSrcPort->checkState() != Qt::Unchecked;
    txtSrcPort->setEnabled(m_bUseSrcPort);
}

std::array<ConnectField *, 10> frmConnect::fields() const
{
    return {txtDestIP[0], txtDestIP[1], txtDestIP[2], txtDestIP[3], txtDestPort,
            txtSrcIP[0],  txtSrcIP[1],  txtSrcIP[2],  txtSrcIP[3],  txtSrcPort};
}

void frmConnect::fieldLeft(ConnectField *field, Qt::FocusReason reason)
{
    // Switching to another window or opening a popup is no leaving of the field; neither is the
    // dialog going away, nor the focus coming back to a field this check sent it to.
    if (m_refocusing || !isVisible() || reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    QString normalized;
    bool outOfRange = false;
    if (checkFieldText(field->text(), &normalized)) {
        field->setText(normalized);
        outOfRange = isAddressPart(field) && !addressPartInRange(normalized);
        if (!outOfRange)
            return;
    }
    SelectAllText(field);
    // The focus is moving right now; it is taken back once the move is over.
    QTimer::singleShot(0, this, [this, outOfRange, guarded = QPointer<ConnectField>(field)] {
        if (!guarded || !isVisible() || !guarded->isEnabled())
            return;
        focusField(guarded);
        if (outOfRange)
            showMessage(kAddressPartRange, Diagnostics::Icon::Exclamation, windowTitle());
    });
}

bool frmConnect::isAddressPart(const ConnectField *field) const
{
    return std::find(txtDestIP.begin(), txtDestIP.end(), field) != txtDestIP.end() ||
           std::find(txtSrcIP.begin(), txtSrcIP.end(), field) != txtSrcIP.end();
}

void frmConnect::focusField(ConnectField *field)
{
    m_refocusing = true;
    field->setFocus(Qt::OtherFocusReason);
    m_refocusing = false;
    SelectAllText(field);
}

void frmConnect::cmdOK_Click()
{
    // Enter inside a field reaches OK with the focus still there, so its check has not run yet.
    for (ConnectField *e : fields()) {
        QString normalized;
        if (checkFieldText(e->text(), &normalized)) {
            e->setText(normalized);
        } else if (e->isEnabled()) {
            focusField(e);
            return;
        }
    }
    for (ConnectField *e : fields()) {
        if (e->isEnabled() && isAddressPart(e) && !addressPartInRange(e->text())) {
            showMessage(kAddressPartRange, Diagnostics::Icon::Exclamation, windowTitle());
            focusField(e);
            return;
        }
    }
    const std::optional<uint16_t> destPort = portOf(txtDestPort->text());
    std::optional<uint16_t> srcPort = portOf(txtSrcPort->text());
    ConnectField *badPort = !destPort ? txtDestPort : (!srcPort && chkSrcPort->isChecked()) ? txtSrcPort : nullptr;
    if (badPort) {
        showMessage(QStringLiteral("The port must be a whole number from 0 to 65535."), Diagnostics::Icon::Exclamation,
                    windowTitle());
        focusField(badPort);
        return;
    }

    m_bCancel = false;
    m_strDestIP = joinAddress(txtDestIP);
    m_iDestPort = *destPort;
    m_strSrcIP = joinAddress(txtSrcIP);
    m_bUseSrcIP = chkSrcIP->isChecked();
    // A source port that is not used and holds no port is handed back as the default.
    m_iSrcPort = srcPort.value_or(DefaultSrcPort);
    m_bUseSrcPort = chkSrcPort->isChecked();
    m_lType = cmbType->currentData().toInt();
    m_lZoom = cmbZoom->currentData().toInt();

    clsProfile &p = profile();
    const QString path = settingsFilePath();
    p.setFileName(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    bool written = p.WriteString(SectDist, KeyIPAddress, m_strDestIP);
    written = p.WriteString(SectDist, KeyPort, QString::number(m_iDestPort)) && written;
    written = p.WriteString(SectSrc, KeyIPAddress, m_strSrcIP) && written;
    written = p.WriteString(SectSrc, KeyPort, QString::number(m_iSrcPort)) && written;
    written = p.WriteString(SectSrc, KeyUseIPAddress, boolText(m_bUseSrcIP)) && written;
    written = p.WriteString(SectSrc, KeyUsePort, boolText(m_bUseSrcPort)) && written;
    written = p.WriteString(SectPendant, KeyType, QString::number(m_lType)) && written;
    written = p.WriteString(SectPendant, KeyZoom, QString::number(m_lZoom)) && written;
    if (!written)
        debugPrint(QStringLiteral("Tarvisk: the connection settings could not be written to ") + path);
    accept();
}

void frmConnect::cmdCancel_Click()
{
    m_strDestIP.clear();
    m_strSrcIP.clear();
    m_iDestPort = 0;
    m_iSrcPort = 0;
    reject();
}

void frmConnect::keyPressEvent(QKeyEvent *event)
{
    // Esc acts as the Cancel button; the close box (reject) leaves the members as they were.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tarvisk
