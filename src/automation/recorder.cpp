#include "automation/recorder.h"

#include "automation/outputevents.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace tarvisk {

using recording::Event;
using recording::Type;

Recorder::Recorder(QObject *parent)
    : QObject(parent)
{
    connect(&m_follower, &PendantFollower::windowChanged, this, &Recorder::recordWindow);
    connect(&m_follower, &PendantFollower::keyReported, this,
            [this](const QString &key, bool held, const QString &source) {
                Event e;
                e.type = held ? Type::Press : Type::Release;
                e.key = key;
                e.source = source;
                write(e);
            });
    connectOutputEvents(m_follower, this, [this](const Event &e) { write(e); });
}

Recorder::~Recorder()
{
    finish();
}

bool Recorder::open(const QString &path, const QString &setting, const QStringList &arguments, QString *error)
{
    const QFileInfo info(path);
    if (info.exists()) {
        *error = QStringLiteral("the recording %1 exists already; a recording is never overwritten: give another "
                                "name, or remove it first")
                     .arg(path);
        return false;
    }
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create the folder %1 for the recording").arg(info.absolutePath());
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = QStringLiteral("cannot write the recording %1: %2").arg(path, m_file.errorString());
        return false;
    }
    m_clock.start();
    Event start;
    start.type = Type::Start;
    start.setting = setting;
    start.arguments = arguments;
    write(start);
    if (m_follower.parts().isValid())
        recordWindow();
    return true;
}

void Recorder::finish()
{
    if (!m_file.isOpen())
        return;
    Event end;
    end.type = Type::End;
    write(end);
    m_file.close();
}

void Recorder::write(Event e)
{
    if (!m_file.isOpen())
        return;
    e.t = m_clock.elapsed();
    const QByteArray line = recording::toJsonLine(e) + '\n';
    if (m_file.write(line) != line.size() || !m_file.flush()) {
        std::fprintf(stderr, "tarvisk: the recording %s stopped: %s\n", qPrintable(m_file.fileName()),
                     qPrintable(m_file.errorString()));
        m_file.close();
    }
}

void Recorder::recordWindow()
{
    const PendantParts &parts = m_follower.parts();
    if (!parts.isValid())
        return;
    Event e;
    e.type = Type::Pendant;
    e.pendantType = int(parts.kind);
    write(e);
}

} // namespace tarvisk
