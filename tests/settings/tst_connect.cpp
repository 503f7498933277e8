#include "common/diagnostics.h"
#include "common/twips.h"
#include "settings/clsprofile.h"
#include "settings/frmconnect.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using tarvisk::CapturingDiagnostics;
using tarvisk::clsProfile;
using tarvisk::ConnectField;
using tarvisk::frmConnect;

namespace {

const QByteArray DefaultFile = "[$Dist$]\nIPAddress=127.0.0.1\nPort=5010\n"
                               "[$Src$]\nIPAddress=255.255.255.255\nPort=5009\nUseIPAddress=True\nUsePort=True\n"
                               "[$Pendant$]\nType=0\nZoom=100\n";

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll();
}

QStringList texts(const std::array<ConnectField *, 4> &boxes)
{
    QStringList out;
    for (auto *b : boxes)
        out << b->text();
    return out;
}

// Types into a field the way a user does: focus by Tab from the field before it (or a click for
// the first one) unless it has the focus already, then the keys, which replace the text selected
// on focus.
void typeInto(frmConnect &d, ConnectField *field, const QString &keys)
{
    if (QApplication::focusWidget() == field) {
        // Already there, as the first field is when the dialog opens: its text is selected.
    } else if (field != d.txtDestIP[0]) {
        QWidget *before = field->previousInFocusChain();
        before->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(before, Qt::Key_Tab);
    } else {
        QTest::mouseClick(field, Qt::LeftButton, {}, field->rect().center());
    }
    QTRY_COMPARE(QApplication::focusWidget(), field);
    QCOMPARE(field->selectedText(), field->text());
    QTest::keyClicks(field, keys);
}

} // namespace

class TestConnect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        m_path = m_config.filePath("Tarvisk/Tarvisk.ini");
        QCOMPARE(frmConnect::settingsFilePath(), m_path);
    }

    void init()
    {
        QFile::remove(m_path);
        m_diag.clear();
    }

    void settingsFollowTheConfigHome()
    {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", "relative/dir");
        QCOMPARE(frmConnect::settingsFilePath(), QDir::homePath() + "/.config/Tarvisk/Tarvisk.ini");
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(frmConnect::settingsFilePath(), QDir::homePath() + "/.config/Tarvisk/Tarvisk.ini");
        qputenv("XDG_CONFIG_HOME", saved);
    }

    void layoutCaptionsAndTabOrder()
    {
        frmConnect d;
        QCOMPARE(d.windowTitle(), QString("Connect to Ostrel"));
        auto px = [](int l, int t, int w, int h) {
            using namespace tarvisk::twips;
            return QRect(screenToPixelsX(l), screenToPixelsY(t), screenToPixelsX(w), screenToPixelsY(h));
        };
        QCOMPARE(d.size(), px(0, 0, 4230, 2970).size());
        QCOMPARE(d.fraConn->geometry(), px(60, 60, 4095, 2355));
        QCOMPARE(d.fraConn->title(), QString());
        const struct
        {
            QWidget *w;
            QString caption;
            QRect r;
        } table[] = {
            {d.lblConn[0], "Ostrel IP : ", px(180, 330, 1065, 180)},
            {d.txtDestIP[0], "127", px(1320, 270, 495, 300)},
            {d.txtDestIP[1], "0", px(1920, 270, 495, 300)},
            {d.txtDestIP[2], "0", px(2520, 270, 495, 300)},
            {d.txtDestIP[3], "1", px(3120, 270, 495, 300)},
            {d.txtDestPort, "5010", px(1320, 690, 975, 300)},
            {d.lblConn[1], "Ostrel Port : ", px(180, 750, 1065, 240)},
            {d.txtSrcIP[0], "255", px(1320, 1110, 495, 300)},
            {d.txtSrcIP[3], "255", px(3120, 1110, 495, 300)},
            {d.txtSrcPort, "5009", px(1320, 1530, 975, 300)},
            {d.cmdOK, "OK", px(1680, 2490, 1185, 375)},
            {d.cmdCancel, "Cancel", px(2970, 2490, 1185, 375)},
            {d.cmbType, "TP", px(1320, 1935, 1560, 300)},
            {d.lblConn[4], "Type : ", px(180, 1950, 1065, 240)},
            {d.chkSrcIP, "   My IP : ", px(225, 1155, 1005, 240)},
            {d.chkSrcPort, "My Port : ", px(225, 1575, 1095, 240)},
            {d.lblZoom, "Zoom : ", px(240, 2558, 645, 240)},
            {d.cmbZoom, "100 %", px(720, 2490, 885, 375)},
        };
        for (const auto &row : table) {
            QVERIFY(row.w);
            const bool onWindow = row.w == d.cmdOK || row.w == d.cmdCancel || row.w == d.lblZoom || row.w == d.cmbZoom;
            QCOMPARE(row.w->parentWidget(), onWindow ? static_cast<QWidget *>(&d) : d.fraConn);
            QCOMPARE(row.w->geometry(), row.r);
            QString caption;
            if (auto *l = qobject_cast<QLabel *>(row.w))
                caption = l->text();
            else if (auto *e = qobject_cast<QLineEdit *>(row.w))
                caption = e->text();
            else if (auto *b = qobject_cast<QAbstractButton *>(row.w))
                caption = b->text();
            else if (auto *c = qobject_cast<QComboBox *>(row.w))
                caption = c->currentText();
            QCOMPARE(caption, row.caption);
        }
        QVERIFY(!d.lblConn[2] && !d.lblConn[3]);
        QCOMPARE(d.cmbType->count(), 3);
        QCOMPARE(d.cmbType->itemText(2), QString("OldTP"));
        QCOMPARE(d.cmbType->itemData(1).toInt(), 1);
        QCOMPARE(d.cmbType->itemData(2).toInt(), -1);
        QVERIFY(!d.chkSrcIP->isChecked() && !d.chkSrcPort->isChecked());
        QVERIFY(d.cmdOK->isDefault());
        QVERIFY(d.m_bCancel);

        // Tab walks the fields, the buttons, the list and the check boxes, then starts over.
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QCOMPARE(QApplication::focusWidget(), d.txtDestIP[0]);
        const QList<QWidget *> order{d.txtDestIP[1], d.txtDestIP[2], d.txtDestIP[3], d.txtDestPort,
                                     d.txtSrcIP[0],  d.txtSrcIP[1],  d.txtSrcIP[2],  d.txtSrcIP[3],
                                     d.txtSrcPort,   d.cmdOK,        d.cmdCancel,    d.cmbType,
                                     d.chkSrcIP,     d.chkSrcPort,   d.cmbZoom,      d.txtDestIP[0]};
        for (QWidget *next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void noFileGivesTheDefaultsAndOkCreatesIt()
    {
        frmConnect d;
        d.LoadIni();
        QVERIFY(!QFile::exists(m_path));
        QCOMPARE(texts(d.txtDestIP), QStringList({"127", "0", "0", "1"}));
        QCOMPARE(d.txtDestPort->text(), QString("5010"));
        QCOMPARE(texts(d.txtSrcIP), QStringList({"255", "255", "255", "255"}));
        QCOMPARE(d.txtSrcPort->text(), QString("5009"));
        QVERIFY(d.chkSrcIP->isChecked() && d.chkSrcPort->isChecked());
        for (auto *e : d.txtSrcIP)
            QVERIFY(e->isEnabled());
        QVERIFY(d.txtSrcPort->isEnabled());
        QCOMPARE(d.cmbType->currentText(), QString("TP"));

        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QTest::keyClick(d.txtDestIP[0], Qt::Key_Return); // Enter anywhere is OK
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(!d.m_bCancel);
        QCOMPARE(readAll(m_path), DefaultFile);
        QVERIFY(m_diag.boxes.isEmpty());
    }

    void storedValuesFillTheFields()
    {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        clsProfile p(m_path);
        p.WriteString("$Dist$", "IPAddress", "10.0.5");
        p.WriteString("$Dist$", "Port", "6000");
        p.WriteString("$Src$", "IPAddress", "1.2.3.4.5");
        p.WriteString("$Src$", "UseIPAddress", "false");
        p.WriteString("$Src$", "UsePort", "0");
        p.WriteString("$Pendant$", "Type", "2");

        frmConnect d;
        d.LoadIni();
        QCOMPARE(texts(d.txtDestIP), QStringList({"10", "0", "5", "1"}));
        QCOMPARE(d.txtDestPort->text(), QString("6000"));
        QCOMPARE(texts(d.txtSrcIP), QStringList({"1", "2", "3", "4"}));
        QVERIFY(!d.chkSrcIP->isChecked() && !d.chkSrcPort->isChecked());
        for (auto *e : d.txtSrcIP)
            QVERIFY(!e->isEnabled());
        QVERIFY(!d.txtSrcPort->isEnabled());
        QCOMPARE(d.m_lType, 2);
        QCOMPARE(d.cmbType->currentText(), QString("TP")); // no entry has code 2

        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        d.cmdOK->click();
        QVERIFY(!d.m_bCancel);
        QCOMPARE(d.m_strDestIP, QString("10.0.5.1"));
        QCOMPARE(d.m_strSrcIP, QString("1.2.3.4"));
        QVERIFY(!d.m_bUseSrcIP && !d.m_bUseSrcPort);
        QCOMPARE(d.m_lType, 0);
        QCOMPARE(p.GetString("$Src$", "IPAddress", ""), QString("1.2.3.4"));
        QCOMPARE(p.GetString("$Src$", "UseIPAddress", ""), QString("False"));
        QCOMPARE(p.GetString("$Src$", "UsePort", ""), QString("False"));
        QCOMPARE(p.GetString("$Pendant$", "Type", ""), QString("0"));

        // A mini pendant stored selects its entry.
        p.WriteString("$Pendant$", "Type", "1");
        frmConnect mini;
        mini.LoadIni();
        QCOMPARE(mini.cmbType->currentText(), QString("MiniTP"));
    }

    void emptyStoredAddressesKeepTheBoxes()
    {
        // An empty address has no pieces: every box keeps its text, and OK hands it back whole.
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[$Dist$]\nIPAddress=\n[$Src$]\nIPAddress=10\n");
        f.close();
        frmConnect d;
        d.LoadIni();
        QCOMPARE(d.m_strDestIP, QString());
        QCOMPARE(texts(d.txtDestIP), QStringList({"127", "0", "0", "1"}));
        QCOMPARE(texts(d.txtSrcIP), QStringList({"10", "255", "255", "255"})); // one piece, one box
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
        QVERIFY(!d.m_bCancel);
        QCOMPARE(d.m_strDestIP, QString("127.0.0.1"));
        QCOMPARE(d.m_strSrcIP, QString("10.255.255.255"));
        QCOMPARE(clsProfile(m_path).GetString("$Dist$", "IPAddress", "-"), QString("127.0.0.1"));
    }

    void unreadableStoredValuesFallBackToTheDefaults()
    {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[$Dist$]\nPort=abc\n[$Src$]\nPort=70000\nUseIPAddress=maybe\n[$Pendant$]\nType=-1\nZoom=1000\n");
        f.close();
        frmConnect d;
        d.LoadIni();
        QCOMPARE(d.m_iDestPort, uint16_t(5010));
        QCOMPARE(d.m_iSrcPort, uint16_t(5009));
        QVERIFY(d.m_bUseSrcIP);
        QCOMPARE(d.txtSrcPort->text(), QString("5009"));
        QCOMPARE(d.cmbType->currentText(), QString("OldTP")); // the good value after the bad ones
        QCOMPARE(d.cmbZoom->currentText(), QString("100 %"));
        QCOMPARE(frmConnect::storedZoomPercent(), 100);
        QCOMPARE(m_diag.debugLines.size(), 5); // the zoom's twice: the dialog's and the start-up's reading
        QVERIFY(m_diag.debugLines[3].contains("Zoom \"1000\""));
        QVERIFY(m_diag.debugLines[1].contains("70000"));
    }

    void fieldCheckWhenTheFocusLeaves_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("trailing junk") << "12abc"
                                       << "12";
        QTest::newRow("no number") << "abc"
                                   << "0";
        QTest::newRow("half down to even") << "2.5"
                                           << "2";
        QTest::newRow("half up to even") << "3.5"
                                         << "4";
        QTest::newRow("blanks between digits") << "50 1 0"
                                               << "5010";
        QTest::newRow("exponent") << "1.5e3x"
                                  << "1500";
        QTest::newRow("hexadecimal") << "&H1F"
                                     << "31";
        QTest::newRow("negative passes") << "-7"
                                         << "-7";
        QTest::newRow("32-bit maximum") << "2147483647"
                                        << "2147483647";
    }

    void fieldCheckWhenTheFocusLeaves()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        frmConnect d;
        d.LoadIni();
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        for (ConnectField *field : {d.txtDestIP[2], d.txtDestPort, d.txtSrcPort}) {
            typeInto(d, field, typed);
            QTest::keyClick(field, Qt::Key_Tab);
            QCOMPARE(field->text(), shown);
            QTest::qWait(0);
            if (field == d.txtDestIP[2] && !tarvisk::addressPartInRange(shown)) {
                // No part of an address: checked, then refused (the address test below).
                QTRY_COMPARE(QApplication::focusWidget(), field);
                typeInto(d, field, "0");
                QTest::keyClick(field, Qt::Key_Tab);
                QTest::qWait(0);
            }
            QVERIFY(QApplication::focusWidget() != field);
        }
    }

    void addressPartAbove255IsRefused()
    {
        frmConnect d;
        d.LoadIni();
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        // On leaving the field: the focus comes back with the text selected, and a message says why.
        typeInto(d, d.txtDestIP[3], "999");
        QTest::keyClick(d.txtDestIP[3], Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), d.txtDestIP[3]);
        QCOMPARE(d.txtDestIP[3]->selectedText(), QString("999"));
        QTRY_COMPARE(m_diag.boxes.size(), 1);
        QCOMPARE(m_diag.boxes[0].text, QString("An address part must be a whole number from 0 to 255."));
        QCOMPARE(m_diag.boxes[0].icon, tarvisk::Diagnostics::Icon::Exclamation);

        // Enter from inside the field does not get it past OK either: nothing is written.
        QTest::keyClick(d.txtDestIP[3], Qt::Key_Return);
        QVERIFY(d.isVisible());
        QVERIFY(d.m_bCancel);
        QVERIFY(!QFile::exists(m_path));
        QCOMPARE(QApplication::focusWidget(), d.txtDestIP[3]);
        QCOMPARE(m_diag.boxes.size(), 2);

        // The own address counts too while it is used, and not while it is not.
        typeInto(d, d.txtDestIP[3], "9");
        typeInto(d, d.txtSrcIP[0], "256");
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
        QTRY_COMPARE(QApplication::focusWidget(), d.txtSrcIP[0]);
        QVERIFY(d.isVisible());
        QTest::mouseClick(d.chkSrcIP, Qt::LeftButton, {}, QPoint(8, d.chkSrcIP->height() / 2));
        QVERIFY(!d.txtSrcIP[0]->isEnabled());
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.m_strDestIP, QString("127.0.0.9"));
        QCOMPARE(clsProfile(m_path).GetString("$Dist$", "IPAddress", ""), QString("127.0.0.9"));
    }

    void outOfRangeKeepsTheFocus()
    {
        frmConnect d;
        d.LoadIni();
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        typeInto(d, d.txtDestIP[1], "99999999999");
        QTest::keyClick(d.txtDestIP[1], Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), d.txtDestIP[1]);
        QCOMPARE(d.txtDestIP[1]->text(), QString("99999999999"));
        QCOMPARE(d.txtDestIP[1]->selectedText(), QString("99999999999"));
        QCOMPARE(d.txtDestIP[2]->text(), QString("0")); // the field passed over is untouched

        // A click elsewhere does not get away either; a correction does.
        QTest::mouseClick(d.txtDestPort, Qt::LeftButton, {}, d.txtDestPort->rect().center());
        QTRY_COMPARE(QApplication::focusWidget(), d.txtDestIP[1]);
        QTest::keyClicks(d.txtDestIP[1], "-2147483649");
        QTest::keyClick(d.txtDestIP[1], Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), d.txtDestIP[1]);
        QTest::keyClicks(d.txtDestIP[1], "8");
        QTest::keyClick(d.txtDestIP[1], Qt::Key_Tab);
        QTest::qWait(0);
        QCOMPARE(QApplication::focusWidget(), d.txtDestIP[2]);
        QCOMPARE(d.txtDestIP[1]->text(), QString("8"));
        QVERIFY(d.isVisible());
    }

    void focusSelectsTheWholeText()
    {
        frmConnect d;
        d.LoadIni();
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QTest::mouseClick(d.txtSrcPort, Qt::LeftButton, {}, QPoint(3, d.txtSrcPort->height() / 2));
        QCOMPARE(QApplication::focusWidget(), d.txtSrcPort);
        QCOMPARE(d.txtSrcPort->selectedText(), QString("5009"));
        QTest::keyClick(d.txtSrcPort, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), d.txtSrcIP[3]);
        QCOMPARE(d.txtSrcIP[3]->selectedText(), QString("255"));
        // A second click inside the focused field places the caret as usual.
        QTest::mouseClick(d.txtSrcIP[3], Qt::LeftButton, {}, QPoint(3, d.txtSrcIP[3]->height() / 2));
        QVERIFY(!d.txtSrcIP[3]->hasSelectedText());
    }

    void checkBoxesEnableTheirFields()
    {
        frmConnect d;
        d.LoadIni();
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        d.chkSrcIP->setFocus(Qt::TabFocusReason);
        QTest::keyClick(d.chkSrcIP, Qt::Key_Space);
        QVERIFY(!d.m_bUseSrcIP);
        for (auto *e : d.txtSrcIP)
            QVERIFY(!e->isEnabled());
        QVERIFY(d.txtSrcPort->isEnabled());
        QTest::mouseClick(d.chkSrcPort, Qt::LeftButton, {}, QPoint(8, d.chkSrcPort->height() / 2));
        QVERIFY(!d.m_bUseSrcPort);
        QVERIFY(!d.txtSrcPort->isEnabled());
        QTest::keyClick(d.chkSrcIP, Qt::Key_Space);
        QVERIFY(d.m_bUseSrcIP);
        QVERIFY(d.txtSrcIP[0]->isEnabled());
    }

    void cancelWritesNothing()
    {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("; mine\r\n[$Dist$]\r\nIPAddress = 10.9.8.7\r\n");
        f.close();
        const QByteArray before = readAll(m_path);

        for (int how = 0; how < 3; ++how) {
            frmConnect d;
            d.LoadIni();
            d.show();
            QVERIFY(QTest::qWaitForWindowActive(&d));
            typeInto(d, d.txtDestPort, "6001");
            if (how == 0) {
                QTest::mouseClick(d.cmdCancel, Qt::LeftButton);
            } else if (how == 1) {
                QTest::keyClick(d.txtDestPort, Qt::Key_Escape);
            } else {
                d.close(); // the close box
            }
            QVERIFY(!d.isVisible());
            QVERIFY(d.m_bCancel);
            if (how < 2) {
                QCOMPARE(d.m_strDestIP, QString());
                QCOMPARE(d.m_strSrcIP, QString());
                QCOMPARE(d.m_iDestPort, uint16_t(0));
                QCOMPARE(d.m_iSrcPort, uint16_t(0));
            } else {
                QCOMPARE(d.m_strDestIP, QString("10.9.8.7"));
            }
            QCOMPARE(readAll(m_path), before);
        }
    }

    void okHandsBackAndWritesTheChoice()
    {
        frmConnect d;
        d.LoadIni();
        // Driven through exec(), as the start-up does.
        QTimer::singleShot(0, &d, [&] {
            QVERIFY(QTest::qWaitForWindowActive(&d));
            typeInto(d, d.txtDestIP[0], "192");
            typeInto(d, d.txtDestIP[1], "168");
            typeInto(d, d.txtDestIP[3], "20");
            typeInto(d, d.txtDestPort, "65535");
            typeInto(d, d.txtSrcPort, "6010");
            QTest::keyClick(d.txtSrcPort, Qt::Key_Tab);
            d.chkSrcIP->setFocus(Qt::TabFocusReason);
            QTest::keyClick(d.chkSrcIP, Qt::Key_Space);
            d.cmbType->setFocus(Qt::TabFocusReason);
            QTest::keyClick(d.cmbType, Qt::Key_Down);
            QTest::keyClick(d.cmbType, Qt::Key_Down);
            QCOMPARE(d.cmbType->currentText(), QString("OldTP"));
            d.cmbZoom->setFocus(Qt::TabFocusReason);
            QTest::keyClick(d.cmbZoom, Qt::Key_Down);
            QTest::keyClick(d.cmbZoom, Qt::Key_Down);
            QCOMPARE(d.cmbZoom->currentText(), QString("150 %"));
            QTest::mouseClick(d.cmdOK, Qt::LeftButton);
        });
        QCOMPARE(d.exec(), int(QDialog::Accepted));
        QVERIFY(!d.m_bCancel);
        QCOMPARE(d.m_strDestIP, QString("192.168.0.20"));
        QCOMPARE(d.m_iDestPort, uint16_t(65535));
        QVERIFY(!d.m_bUseSrcIP);
        QCOMPARE(d.m_strSrcIP, QString("255.255.255.255"));
        QVERIFY(d.m_bUseSrcPort);
        QCOMPARE(d.m_iSrcPort, uint16_t(6010));
        QCOMPARE(d.m_lType, -1);
        QCOMPARE(d.m_lZoom, 150);
        QCOMPARE(readAll(m_path), QByteArray("[$Dist$]\nIPAddress=192.168.0.20\nPort=65535\n"
                                             "[$Src$]\nIPAddress=255.255.255.255\nPort=6010\nUseIPAddress=False\n"
                                             "UsePort=True\n[$Pendant$]\nType=-1\nZoom=150\n"));

        // The next opening shows what was stored.
        frmConnect again;
        again.LoadIni();
        QCOMPARE(texts(again.txtDestIP), QStringList({"192", "168", "0", "20"}));
        QVERIFY(!again.chkSrcIP->isChecked());
        QCOMPARE(again.cmbType->currentText(), QString("OldTP"));
        QCOMPARE(again.cmbZoom->currentText(), QString("150 %"));
        QCOMPARE(frmConnect::storedZoomPercent(), 150);
    }

    // A zoom the list does not offer, stored by hand or given with --zoom, joins it in order.
    void zoomOutsideTheListJoinsIt()
    {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        clsProfile(m_path).WriteString("$Pendant$", "Zoom", "130");
        frmConnect d;
        d.LoadIni();
        QCOMPARE(d.cmbZoom->currentText(), QString("130 %"));
        QCOMPARE(d.cmbZoom->itemText(d.cmbZoom->currentIndex() - 1), QString("125 %"));
        QCOMPARE(d.cmbZoom->itemText(d.cmbZoom->currentIndex() + 1), QString("150 %"));
        d.setZoomPercent(175); // in the list already: chosen, nothing added
        QCOMPARE(d.cmbZoom->currentText(), QString("175 %"));
        QCOMPARE(d.cmbZoom->count(), 9);
        QCOMPARE(d.m_lZoom, 175);
    }

    void okRefusesPortsThatAreNoUdpPort_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("above 65535") << "70000";
        QTest::newRow("negative") << "-1";
        QTest::newRow("beyond 32 bits") << "99999999999";
    }

    void okRefusesPortsThatAreNoUdpPort()
    {
        QFETCH(QString, typed);
        frmConnect d;
        d.LoadIni();
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        typeInto(d, d.txtDestPort, typed);
        QTest::keyClick(d.txtDestPort, Qt::Key_Return); // OK without the focus leaving the field
        QVERIFY(d.isVisible());
        QVERIFY(d.m_bCancel);
        QCOMPARE(QApplication::focusWidget(), d.txtDestPort);
        QCOMPARE(d.txtDestPort->selectedText(), d.txtDestPort->text());
        QVERIFY(!QFile::exists(m_path));
        if (typed == "70000") {
            QCOMPARE(m_diag.boxes.size(), 1);
            QCOMPARE(m_diag.boxes[0].icon, tarvisk::Diagnostics::Icon::Exclamation);
        }

        // Also by a click on OK, and for the own port while it is used.
        typeInto(d, d.txtDestPort, "5010");
        typeInto(d, d.txtSrcPort, typed);
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
        QTRY_COMPARE(QApplication::focusWidget(), d.txtSrcPort);
        QVERIFY(d.isVisible());

        // An own port that is not used does not hold the dialog up; the default goes back.
        QTest::mouseClick(d.chkSrcPort, Qt::LeftButton, {}, QPoint(8, d.chkSrcPort->height() / 2));
        QVERIFY(!d.txtSrcPort->isEnabled());
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QVERIFY(!d.m_bCancel);
        QCOMPARE(d.m_iDestPort, uint16_t(5010));
        QCOMPARE(d.m_iSrcPort, uint16_t(5009));
        QVERIFY(!d.m_bUseSrcPort);
        QCOMPARE(clsProfile(m_path).GetString("$Src$", "Port", ""), QString("5009"));
    }

    void enterInsideAFieldAppliesItsCheck()
    {
        frmConnect d;
        d.LoadIni();
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        typeInto(d, d.txtDestIP[3], "12abc");
        QTest::keyClick(d.txtDestIP[3], Qt::Key_Enter);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.m_strDestIP, QString("127.0.0.12"));
    }

    void unwritableSettingsStillHandBackTheChoice()
    {
        // A file where the settings folder should be: the folder cannot be made.
        QVERIFY(QDir(m_config.filePath("Tarvisk")).removeRecursively());
        QFile blocker(m_config.filePath("Tarvisk"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        frmConnect d;
        d.LoadIni();
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        d.cmdOK->click();
        QVERIFY(!d.isVisible());
        QVERIFY(!d.m_bCancel);
        QCOMPARE(d.m_strDestIP, QString("127.0.0.1"));
        QCOMPARE(m_diag.debugLines.size(), 1);
        QVERIFY(QFile::remove(m_config.filePath("Tarvisk")));
    }

private:
    QTemporaryDir m_config;
    QString m_path;
    CapturingDiagnostics m_diag;
};

QTEST_MAIN(TestConnect)
#include "tst_connect.moc"
