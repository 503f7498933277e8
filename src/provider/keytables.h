#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

namespace tarvisk {

// A keyed collection of key codes: text keys compared without regard to letter case,
// items kept in insertion order.
class KeyTable
{
public:
    struct Entry
    {
        QString name;
        int32_t code;
    };

    // Adds an entry; a key that is already present fails with 457.
    void Add(int32_t code, const QString &name);
    // The code stored under a name; an absent name fails with 5.
    int32_t Item(const QString &name) const;
    bool contains(const QString &name) const;
    int32_t Count() const { return int32_t(m_entries.size()); }
    const QList<Entry> &entries() const { return m_entries; }

private:
    QList<Entry> m_entries;
    QHash<QString, qsizetype> m_index; // case-folded name -> position
};

// Builds g_TPKeyTable and g_MPKeyTable afresh.
void InitKeyTables();

// A key control's tag without the display label after its first ":".
QString keyNameOfTag(const QString &tag);

} // namespace tarvisk
