#pragma once

#include "automation/pendantfollower.h"
#include "automation/recording.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>

namespace tarvisk {

// Writes a session as it happens: the window loaded, every key reported with its source, and every
// LED, beeper, display and state change, one JSON line each, flushed as it is written so that
// nothing is lost when the process ends abruptly. See recording.h.
class Recorder : public QObject
{
    Q_OBJECT
public:
    explicit Recorder(QObject *parent = nullptr);
    // Writes "end" when the recording is still open.
    ~Recorder() override;

    // Creates the file (and its folder) and writes the "start" line; the clock starts here.
    // False with the reason when the file exists already (a recording is never overwritten) or
    // cannot be written.
    bool open(const QString &path, const QString &setting, const QStringList &arguments, QString *error);
    // Writes "end" and closes the file.
    void finish();

    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    // Milliseconds since open.
    int64_t elapsed() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }

private:
    void write(recording::Event event);
    void recordWindow();

    PendantFollower m_follower;
    QFile m_file;
    QElapsedTimer m_clock;
};

} // namespace tarvisk
