#include "settings/clsprofile.h"

#include "settings/initext.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tarvisk {

namespace {

enum class Load { Missing, Ok, Failed };

Load loadFile(const QString &path, QByteArray *data)
{
    data->clear();
    if (path.isEmpty())
        return Load::Failed;
    const QFileInfo info(path);
    if (!info.exists())
        return info.isSymLink() ? Load::Failed : Load::Missing; // a dangling link is not ours to replace
    if (info.isDir() || info.size() > clsProfile::maxFileSize())
        return Load::Failed;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Load::Failed;
    // Read in pieces sized by what the file holds: one read of the whole limit would reserve all
    // of it for every lookup. One byte past the limit is enough to tell a file that is too large.
    const qint64 cap = clsProfile::maxFileSize() + 1;
    qint64 want = std::min(info.size() + 1, cap);
    while (want > 0) {
        const QByteArray piece = file.read(want);
        if (piece.isEmpty())
            break;
        data->append(piece);
        want = std::min<qint64>(64 * 1024, cap - data->size());
    }
    if (data->size() > clsProfile::maxFileSize() || file.error() != QFileDevice::NoError) {
        data->clear();
        return Load::Failed;
    }
    return Load::Ok;
}

// The file for a lookup; a file that cannot be read reads as empty.
QByteArray readForLookup(const QString &path)
{
    QByteArray data;
    if (loadFile(path, &data) != Load::Ok)
        data.clear();
    return data;
}

bool store(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Replaces the file's content by what change makes of it. A missing file counts as empty, and an
// unchanged content is not written (so nothing creates an empty file).
template <typename Change> bool rewrite(const QString &path, Change change)
{
    QByteArray old;
    const Load load = loadFile(path, &old);
    if (load == Load::Failed)
        return false;
    const std::optional<QByteArray> out = change(old);
    if (!out)
        return false;
    return *out == old || store(path, *out);
}

QString defaultFileName()
{
    if (!QCoreApplication::instance())
        return QStringLiteral("Tarvisk.ini");
    const QFileInfo program(QCoreApplication::applicationFilePath());
    return QCoreApplication::applicationDirPath() + u'/' + program.completeBaseName() + QStringLiteral(".ini");
}

} // namespace

clsProfile::clsProfile()
    : m_fileName(defaultFileName())
{}

clsProfile::clsProfile(const QString &fileName)
    : m_fileName(fileName)
{}

clsProfile::~clsProfile()
{
    Flush();
}

QString clsProfile::GetString(const QString &section, const QString &key, const QString &defaultValue) const
{
    return initext::value(readForLookup(m_fileName), section, key).value_or(defaultValue);
}

int32_t clsProfile::GetInt(const QString &section, const QString &key, int32_t defaultValue) const
{
    const std::optional<QString> value = initext::value(readForLookup(m_fileName), section, key);
    if (!value || value->isEmpty())
        return defaultValue;
    return initext::leadingInteger(*value);
}

QStringList clsProfile::GetSectNames() const
{
    return initext::sectionNames(readForLookup(m_fileName));
}

bool clsProfile::WriteString(const QString &section, const QString &key, const QString &value)
{
    if (!initext::isWritableSection(section) || !initext::isWritableKey(key) || !initext::isWritableValue(value))
        return false;
    return rewrite(m_fileName, [&](const QByteArray &old) { return initext::withValue(old, section, key, value); });
}

bool clsProfile::DeleteKey(const QString &section, const QString &key)
{
    return rewrite(m_fileName, [&](const QByteArray &old) {
        return std::optional<QByteArray>(initext::withoutKey(old, section, key));
    });
}

bool clsProfile::DeleteSection(const QString &section)
{
    return rewrite(m_fileName, [&](const QByteArray &old) {
        return std::optional<QByteArray>(initext::withoutSection(old, section));
    });
}

void clsProfile::Flush()
{
    // Writes go to disk before they return; nothing is held back.
}

} // namespace tarvisk
