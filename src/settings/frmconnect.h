#pragma once

#include <QDialog>
#include <QLineEdit>

#include <array>
#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace tarvisk {

class clsProfile;

// A text field of the connection dialog: selects its whole text whenever it gets the focus (also
// by a mouse click that does not drag a selection of its own) and reports when it loses the focus.
class ConnectField : public QLineEdit
{
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

signals:
    void focusLeft(Qt::FocusReason reason);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_selectOnRelease = false;
};

// The modal dialog of a standalone start that chooses where the pendant link connects.
//
// Use:
//     frmConnect dialog;
//     dialog.LoadIni();
//     dialog.exec();
//     if (dialog.m_bCancel) ... // the user cancelled or closed the window: nothing was written
//     else ... m_strDestIP, m_iDestPort, m_bUseSrcIP / m_strSrcIP, m_bUseSrcPort / m_iSrcPort, m_lType,
//              m_lZoom
//
// OK writes the choice to settingsFilePath(); a confirmed dialog always hands back ports from 0 to
// 65535 (OK keeps the dialog open on a port field that holds no such number).
class frmConnect : public QDialog
{
    Q_OBJECT
public:
    explicit frmConnect(QWidget *parent = nullptr);
    ~frmConnect() override;

    // "$XDG_CONFIG_HOME/Tarvisk/Tarvisk.ini", with ~/.config when the variable is unset, empty or
    // not an absolute path. The folder is created when OK writes the file.
    static QString settingsFilePath();

    // The zoom the settings file holds ("$Pendant$" "Zoom", percent), 100 when there is none or
    // it is no whole number within the zoom range (with a line on the debugging output).
    static int32_t storedZoomPercent();
    // Shows a zoom as the choice (a value outside the list joins it); the command line's --zoom
    // takes the stored one's place this way.
    void setZoomPercent(int32_t percent);

    // Reads the settings file into the members and fills the controls. A missing file or key gives
    // the defaults; a stored value that does not convert (a port outside 0 to 65535, a flag that is
    // neither True, False nor a number, a type that is no 32-bit number) gives that key's default
    // and a line on the debugging output.
    void LoadIni();

    // What the dialog hands back. After Cancel the addresses are empty and the ports 0.
    QString m_strDestIP;
    uint16_t m_iDestPort = 0;
    QString m_strSrcIP;
    uint16_t m_iSrcPort = 0;
    bool m_bUseSrcIP = false;
    bool m_bUseSrcPort = false;
    int32_t m_lType = 0;   // 0 standard, 1 mini, -1 old pendant
    int32_t m_lZoom = 100; // the pendant's zoom in percent
    bool m_bCancel = true;

    // The controls, reachable by name like the dialog's own fields.
    QGroupBox *fraConn = nullptr;
    std::array<QLabel *, 5> lblConn{}; // indices 0, 1 and 4 exist; 2 and 3 stay null
    std::array<ConnectField *, 4> txtDestIP{};
    ConnectField *txtDestPort = nullptr;
    std::array<ConnectField *, 4> txtSrcIP{};
    ConnectField *txtSrcPort = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
    QComboBox *cmbType = nullptr;
    QCheckBox *chkSrcIP = nullptr;
    QCheckBox *chkSrcPort = nullptr;
    QLabel *lblZoom = nullptr;
    QComboBox *cmbZoom = nullptr;

    static constexpr uint16_t DefaultDestPort = 5010;
    static constexpr uint16_t DefaultSrcPort = 5009;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void cmdOK_Click();
    void cmdCancel_Click();
    void chkSrcIP_Click();
    void chkSrcPort_Click();
    void fieldLeft(ConnectField *field, Qt::FocusReason reason);
    void focusField(ConnectField *field);
    bool isAddressPart(const ConnectField *field) const;
    std::array<ConnectField *, 10> fields() const;
    clsProfile &profile();

    std::unique_ptr<clsProfile> m_profile;
    bool m_refocusing = false;
};

// The field check applied when the focus leaves a field: the number the text begins with, rounded
// to a whole number with halves to the even neighbour. True, with the decimal text in *normalized,
// when it lies within the signed 32-bit range.
bool checkFieldText(const QString &text, QString *normalized);
// Whether a checked field's text is a part of a dotted IPv4 address, 0 to 255. The dialog refuses
// other numbers in its address fields, on leaving the field and on OK.
bool addressPartInRange(const QString &normalized);

} // namespace tarvisk
