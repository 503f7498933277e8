#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace tarvisk::recording {

// A recorded session: JSON lines, one event a line, each with "t" (milliseconds since the
// recording started) and "event". The first line is "start", the last "end" (written when the
// session ends in order, also on SIGTERM; a file without it is refused). Inputs ("press",
// "release": each key reported pressed or let go, with the source that did it) are what the
// replay plays; outputs ("led", "beeper", "display", "state") are what it compares. Format in
// docs/automation.md.
constexpr int kFormatVersion = 1;
const char *const kFormatName = "tarvisk-recording";

enum class Type { Start, Pendant, Press, Release, Led, Beeper, Display, State, End };

struct Event
{
    int64_t t = 0;
    Type type = Type::Start;
    // start
    int version = kFormatVersion;
    QString setting; // "standalone" or "hosted"
    QStringList arguments;
    // pendant: the pendant type of the window loaded (-1, 0, 1, 2)
    int pendantType = 0;
    // press, release
    QString key;
    // mouse, keyboard, touch, script, replay, latch (a latch gesture's hold or its end), program
    // (what the window did by itself: the default mode at the first tick, a key let go on a way out)
    QString source;
    // led
    int number = 0;
    int mode = 0;
    // beeper
    bool sounding = false;
    int milliseconds = 0;
    // display: the digest of the pixels and the picture one bit a unit (common/unitbitmap.h)
    QString digest;
    QByteArray bits;
    // state
    QString state;

    bool isInput() const { return type == Type::Press || type == Type::Release; }
    bool isOutput() const
    {
        return type == Type::Led || type == Type::Beeper || type == Type::Display || type == Type::State;
    }
    // Which outputs are compared with each other, in order: "LED 1", "beeper", "display", "state".
    QString stream() const;
    // The output's value as a report shows it ("mode 2", "sounding 300 ms", "CONNECT").
    QString valueText() const;
    // Whether two outputs of one stream agree.
    bool sameOutput(const Event &other) const;
};

QString typeName(Type type);
// The line, without its newline.
QByteArray toJsonLine(const Event &event);
// One line; false with the fault in *error (without the line number).
bool parseLine(const QByteArray &line, Event &event, QString *error);

// A whole file: false with "FILE, line N: fault" (or the reason it cannot be read) in *error.
// Lines are in time order, the first is "start" of a known version, the last is "end".
bool readRecording(const QString &path, QList<Event> &events, QString *error);

// FILE as given when it names a folder, else $XDG_STATE_HOME/Tarvisk/FILE (~/.local/state when
// the variable is unset or not absolute).
QString resolvePath(const QString &file);

// "12.345 s".
QString timeText(int64_t ms);

} // namespace tarvisk::recording
