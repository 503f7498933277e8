#pragma once

#include "automation/ledrecord.h"
#include "automation/pendantfollower.h"
#include "pendant/scriptsource.h"

#include <QByteArray>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>

namespace tarvisk {

// ZephProv.Halvex.Tarvisk.Pendant: the pendant window that is loaded, driven and read as a hand
// and an eye would. The generated adaptor calls these methods and relays the signals; a refusal
// answers the call with a D-Bus error whose message says what was wrong and what is allowed.
// Called in-process (tests), a refusal leaves its name and message in lastError().
class PendantObject : public QObject, protected QDBusContext
{
    Q_OBJECT
public:
    static const QString kPath;      // "/ZephProv/Halvex/Tarvisk/Pendant"
    static const QString kInterface; // "ZephProv.Halvex.Tarvisk.Pendant"
    static const QString kErrorPrefix;

    explicit PendantObject(QObject *parent = nullptr);
    ~PendantObject() override;

    // The last refusal: the D-Bus error name and its message; empty after a call that succeeded.
    const QString &lastErrorName() const { return m_errorName; }
    const QString &lastError() const { return m_error; }

    // Input.
    void Press(const QString &key);
    void Release(const QString &key);
    void Tap(const QString &key, uint milliseconds);
    void ReleaseAll();
    void SetMode(const QString &mode);
    void Jog(int direction, uint milliseconds);

    // Output.
    QByteArray GetKeyState();
    QStringList GetHeldKeys();
    QStringList GetKeyNames();
    LedRecordList GetLeds();
    bool GetBeeper(int &milliseconds);
    uint GetDisplay(uint &height, QByteArray &bits);
    QByteArray GetDisplayPng(uint scale);
    QByteArray GetWindowPng();
    QString GetState();
    int GetPendantType();
    QString GetLinkStatus(QString &text, QString &controller);

    static constexpr uint kMaxHoldMs = uint(ScriptSource::kMaxHoldMs);
    static constexpr uint kMaxPngScale = 16;

signals:
    void KeyChanged(const QString &key, bool held);
    void LedChanged(int number, int mode);
    void BeeperChanged(bool sounding, int milliseconds);
    void DisplayChanged();
    void StateChanged(const QString &state);
    void LinkStatusChanged(const QString &state, const QString &text);

private:
    // Answers the call with the error (suffix after kErrorPrefix) and returns false.
    bool refuse(const QString &name, const QString &message);
    void succeed();
    // The followed window, or a NoPendant refusal.
    bool requireWindow();
    // The window's keys, or a NotOffered refusal for the pendant-less window.
    bool requireKeys(const QString &what);
    // The followed window's script source, or nullptr after a refusal.
    ScriptSource *scriptSource();
    // True for a success; a refusal answers the call with the matching error.
    bool outcome(const ScriptSource::Outcome &o);
    bool checkTime(uint milliseconds);
    // Answers the call later, once the returned function runs; nothing when called in-process.
    ScriptSource::Done delayedReply();

    PendantFollower m_follower;
    QString m_errorName;
    QString m_error;
};

} // namespace tarvisk
