// The drawn button bound to a real child widget in a real window, driven by mouse events.

#include "widgets/buttonex.h"

#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

using namespace tarvisk;

namespace {

// Counts the paint events a widget receives; installed after the button, so it sees them first.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

ColorValue at(const QImage &image, int x, int y)
{
    return fromQColor(QColor(image.pixel(x, y)));
}

} // namespace

class TestButtonEx : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void leftClickTogglesAndClicksOnce();
    void rightClickRedrawsWithoutClick();
    void doubleClickIsASecondPress();
    void doubleClickAfterPlatformPressAddsNoPress();
    void refreshCancelsPressedLook();
    void sameCaptionKeepsPressedLook();
    void propertiesLiveInTheBox();
    void paddingAndRadiusValidation();
    void windowMask();
    void disabledBoxIgnoresTheMouse();
    void hostForwarding();

private:
    // Top row and bottom row of the face, inside the frame, as the widget shows it now.
    bool showsPressedFace();

    QWidget *m_window = nullptr;
    QWidget *m_box = nullptr;
    ButtonEx *m_key = nullptr;
};

void TestButtonEx::init()
{
    m_window = new QWidget;
    m_window->resize(200, 120);
    m_box = new QWidget(m_window);
    m_box->setGeometry(10, 10, 65, 32); // 975 x 480 twips
    m_box->setFont(QFont(QStringLiteral("DejaVu Sans"), 9, QFont::Bold));
    m_key = new ButtonEx(m_window);
    m_key->setPictureFrame(m_box);
    m_key->setCaption(QStringLiteral("MOTOR"));
    m_key->Redraw();
    m_key->setForeColor(0xFFFFFF);
    m_key->setBorderColor(0x402020);
    m_key->setBackColor(0);
    m_key->setBackGroundColor(0x606060);
    m_key->setRadius(210);
    m_key->setButtonStyle(ButtonStyleRoundFrame);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestButtonEx::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

bool TestButtonEx::showsPressedFace()
{
    const QImage image = m_box->grab().toImage();
    const int top = redOf(at(image, 30, 1)), bottom = redOf(at(image, 30, 30));
    return top < bottom;
}

void TestButtonEx::leftClickTogglesAndClicksOnce()
{
    QSignalSpy clicks(m_key, &ButtonEx::Click);
    QSignalSpy downs(m_key, &ButtonEx::mouseDownRaised);
    QSignalSpy ups(m_key, &ButtonEx::mouseUpRaised);
    QVERIFY(!m_key->value());
    QVERIFY(!showsPressedFace());

    QTest::mousePress(m_box, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 10));
    QVERIFY(m_key->CheckKeyDown());
    QVERIFY(showsPressedFace());
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(downs.count(), 1);
    QCOMPARE(downs[0][0].value<qint16>(), qint16(1));
    QCOMPARE(downs[0][1].value<qint16>(), qint16(1));
    QCOMPARE(downs[0][2].toFloat(), 300.0f); // twips of the box
    QCOMPARE(downs[0][3].toFloat(), 150.0f);

    QTest::mouseRelease(m_box, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    QCOMPARE(clicks.count(), 1);
    QVERIFY(m_key->value());
    QVERIFY(!m_key->CheckKeyDown());
    QVERIFY(!showsPressedFace());
    QCOMPARE(ups.count(), 1);

    QTest::mouseClick(m_box, Qt::LeftButton);
    QCOMPARE(clicks.count(), 2);
    QVERIFY(!m_key->value());
}

void TestButtonEx::rightClickRedrawsWithoutClick()
{
    QSignalSpy clicks(m_key, &ButtonEx::Click);
    QSignalSpy downs(m_key, &ButtonEx::mouseDownRaised);
    PaintCounter counter;
    m_box->installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;

    QTest::mousePress(m_box, Qt::RightButton);
    QVERIFY(m_key->CheckKeyDown());
    QTRY_VERIFY(counter.paints >= 1);
    QVERIFY(showsPressedFace());
    const int afterPress = counter.paints;

    QTest::mouseRelease(m_box, Qt::RightButton);
    QVERIFY(!m_key->CheckKeyDown());
    QTRY_VERIFY(counter.paints > afterPress);
    QVERIFY(!showsPressedFace());
    QCOMPARE(clicks.count(), 0);
    QVERIFY(!m_key->value());
    QCOMPARE(downs[0][0].value<qint16>(), qint16(2));

    // A right press does not arm a later left release either.
    QTest::mousePress(m_box, Qt::RightButton);
    QTest::mouseRelease(m_box, Qt::LeftButton);
    QCOMPARE(clicks.count(), 0);
    m_box->removeEventFilter(&counter);
}

void TestButtonEx::doubleClickIsASecondPress()
{
    QSignalSpy clicks(m_key, &ButtonEx::Click);
    QSignalSpy downs(m_key, &ButtonEx::mouseDownRaised);
    QTest::mousePress(m_box, Qt::LeftButton);
    QTest::mouseRelease(m_box, Qt::LeftButton);
    QTest::mouseDClick(m_box, Qt::LeftButton);
    QCOMPARE(downs.count(), 2);
    QVERIFY(m_key->CheckKeyDown());
    // The second press arrives as a left press at the box's origin.
    QCOMPARE(downs[1][0].value<qint16>(), qint16(1));
    QCOMPARE(downs[1][2].toFloat(), 0.0f);
    QCOMPARE(downs[1][3].toFloat(), 0.0f);
    QTest::mouseRelease(m_box, Qt::LeftButton);
    QCOMPARE(clicks.count(), 2);
    QVERIFY(!m_key->value()); // flipped twice
}

void TestButtonEx::doubleClickAfterPlatformPressAddsNoPress()
{
    // Qt's own platforms deliver press, release, press, double click, release.
    QSignalSpy clicks(m_key, &ButtonEx::Click);
    QSignalSpy downs(m_key, &ButtonEx::mouseDownRaised);
    QTest::mousePress(m_box, Qt::LeftButton);
    QTest::mouseRelease(m_box, Qt::LeftButton);
    QTest::mousePress(m_box, Qt::LeftButton);
    QTest::mouseDClick(m_box, Qt::LeftButton);
    QTest::mouseRelease(m_box, Qt::LeftButton);
    QCOMPARE(downs.count(), 2);
    QCOMPARE(clicks.count(), 2);
}

void TestButtonEx::refreshCancelsPressedLook()
{
    QSignalSpy clicks(m_key, &ButtonEx::Click);
    QTest::mousePress(m_box, Qt::LeftButton);
    QVERIFY(showsPressedFace());
    m_key->setBorderColor(0x402021);
    QVERIFY(!m_key->CheckKeyDown());
    QVERIFY(!showsPressedFace());
    // The press was forgotten with the look: its release completes no click.
    QTest::mouseRelease(m_box, Qt::LeftButton);
    QCOMPARE(clicks.count(), 0);

    // Colour changes repaint without touching the looks.
    QTest::mousePress(m_box, Qt::LeftButton);
    m_key->setBackColor(0x101010);
    QVERIFY(m_key->CheckKeyDown());
    QVERIFY(showsPressedFace());
    QTest::mouseRelease(m_box, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);

    // Looks set directly stay until a Refresh.
    m_key->setCheckMouseOver(true);
    m_key->setCheckFocused(true);
    m_key->Redraw();
    QVERIFY(m_key->CheckMouseOver() && m_key->CheckFocused());
    m_key->setValue(true);
    QVERIFY(!m_key->CheckMouseOver() && !m_key->CheckFocused());
}

void TestButtonEx::sameCaptionKeepsPressedLook()
{
    QSignalSpy clicks(m_key, &ButtonEx::Click);
    QTest::mousePress(m_box, Qt::LeftButton);
    m_key->setCaption(QStringLiteral("MOTOR"));
    QVERIFY(m_key->CheckKeyDown());
    QVERIFY(showsPressedFace());
    QTest::mouseRelease(m_box, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);

    QTest::mousePress(m_box, Qt::LeftButton);
    m_key->setCaption(QStringLiteral("motor")); // differs only in case: a change
    QVERIFY(!m_key->CheckKeyDown());
    QCOMPARE(m_key->Caption(), QStringLiteral("motor"));
}

void TestButtonEx::propertiesLiveInTheBox()
{
    m_key->setBackColor(0x20C020);
    QCOMPARE(m_box->property("BackColor").value<qint32>(), 0x20C020);
    QCOMPARE(m_key->BackGroundColor(), 0x606060);
    QCOMPARE(m_key->ForeColor(), 0xFFFFFF);
    // A second object bound to the same box reads the same colours.
    ButtonEx other;
    other.setPictureFrame(m_box);
    QCOMPARE(other.BackColor(), 0x20C020);
    other.setPictureFrame(nullptr);

    m_key->setEnabled(false);
    QVERIFY(!m_box->isEnabled());
    QVERIFY(!m_key->Enabled());
    m_key->setEnabled(true);
    QVERIFY(m_box->isEnabled());

    // Writing back the own state of a box inside a disabled window does not pin it disabled.
    m_window->setEnabled(false);
    QVERIFY(m_key->Enabled());
    m_key->setPicture(QPixmap());
    m_window->setEnabled(true);
    QVERIFY(m_box->isEnabled());

    QPixmap pm(8, 8);
    pm.fill(Qt::red);
    m_key->setPicture(pm);
    QVERIFY(m_key->look().hasPicture);
    m_key->setPicture(QPixmap());
    QVERIFY(!m_key->look().hasPicture);
}

void TestButtonEx::paddingAndRadiusValidation()
{
    m_key->setPaddingWidth(60);
    QCOMPARE(m_key->PaddingWidth(), 60);
    m_key->setPaddingWidth(-1);
    QCOMPARE(m_key->PaddingWidth(), 60);
    m_key->setPaddingWidth(488); // 976 > 975 twips
    QCOMPARE(m_key->PaddingWidth(), 60);
    m_key->setPaddingWidth(487);
    QCOMPARE(m_key->PaddingWidth(), 487);
    m_key->setPaddingHeight(241); // 482 > 480
    QCOMPARE(m_key->PaddingHeight(), 0);
    m_key->setPaddingHeight(240);
    QCOMPARE(m_key->PaddingHeight(), 240);

    m_key->setRoundCorner(0);
    const QRegion before = m_box->mask();
    QTest::mousePress(m_box, Qt::LeftButton);
    m_key->setRadius(-5);
    QCOMPARE(m_key->Radius(), 210);
    QCOMPARE(m_box->mask(), before);
    QVERIFY(m_key->CheckKeyDown()); // ignored entirely: no Refresh
}

void TestButtonEx::windowMask()
{
    // Default corners 15: the mask is the full rectangle.
    QCOMPARE(m_box->mask(), QRegion(0, 0, 65, 32));
    m_key->setRoundCorner(0);
    QCOMPARE(m_box->mask(), buttonShapeRegion(QSize(65, 32), 210, 0, 15, 15));
    QVERIFY(!m_box->mask().contains(QPoint(0, 0)));
    QVERIFY(m_box->mask().contains(QPoint(32, 0)));

    m_box->resize(30, 30);
    m_key->setRadius(120);
    m_key->setRoundCorner(10);
    const QRegion mask = m_box->mask();
    QCOMPARE(mask, buttonShapeRegion(QSize(30, 30), 120, 10, 15, 15));
    QVERIFY(mask.contains(QPoint(29, 0)) && mask.contains(QPoint(29, 29)));
    QVERIFY(!mask.contains(QPoint(0, 0)) && !mask.contains(QPoint(0, 29)));

    // The shape follows the box's size.
    m_box->resize(60, 30);
    QCOMPARE(m_box->mask(), buttonShapeRegion(QSize(60, 30), 120, 10, 15, 15));

    // Any other style removes the mask.
    m_key->setButtonStyle(ButtonStyleFlat);
    QVERIFY(m_box->mask().isEmpty());
    m_key->setButtonStyle(ButtonStyleRoundFrame);
    QVERIFY(!m_box->mask().isEmpty());
}

void TestButtonEx::disabledBoxIgnoresTheMouse()
{
    QSignalSpy clicks(m_key, &ButtonEx::Click);
    m_key->setEnabled(false);
    QTest::mouseClick(m_box, Qt::LeftButton);
    QCOMPARE(clicks.count(), 0);
    QVERIFY(!m_key->value());
    const QImage image = m_box->grab().toImage();
    // Disabled: no frame in the border colour along the top edge.
    QVERIFY(at(image, 20, 0) != 0x402020);
}

void TestButtonEx::hostForwarding()
{
    m_key->setEventRouting(ButtonEx::EventRouting::PaintOnly);
    QSignalSpy clicks(m_key, &ButtonEx::Click);
    QTest::mouseClick(m_box, Qt::LeftButton);
    QCOMPARE(clicks.count(), 0);
    m_key->MouseDown(1, 0, 0, 0);
    QVERIFY(showsPressedFace()); // painting is still automatic
    m_key->MouseUp(1, 0, 0, 0);
    QCOMPARE(clicks.count(), 1);
}

QTEST_MAIN(TestButtonEx)
#include "test_buttonex.moc"
