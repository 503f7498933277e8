#include "provider/keytables.h"

#include "common/proverror.h"
#include "provider/provstate.h"

namespace tarvisk {

void KeyTable::Add(int32_t code, const QString &name)
{
    const QString folded = name.toCaseFolded();
    if (m_index.contains(folded))
        raiseError(457, QStringLiteral("This key is already associated with an element of this collection"));
    m_index.insert(folded, m_entries.size());
    m_entries.push_back({name, code});
}

int32_t KeyTable::Item(const QString &name) const
{
    const auto it = m_index.constFind(name.toCaseFolded());
    if (it == m_index.constEnd())
        raiseError(ErrInvalidArgument);
    return m_entries[*it].code;
}

bool KeyTable::contains(const QString &name) const
{
    return m_index.contains(name.toCaseFolded());
}

namespace {

struct Seed
{
    const char *name;
    int32_t code;
};

constexpr Seed kTPKeys[] = {
    {"TP_KEY_AUTO", 3},    {"TP_KEY_MAN", 4},       {"TP_KEY_TC", 5},    {"TP_KEY_MOTOR", 6},  {"TP_KEY_LOCK", 16},
    {"TP_KEY_RSEL", 17},   {"TP_KEY_MMOD", 18},     {"TP_KEY_SPD", 19},  {"TP_KEY_STOP", 2},   {"TP_KEY_OK", 14},
    {"TP_KEY_CANCEL", 15}, {"TP_KEY_P_J1", 51},     {"TP_KEY_P_J2", 52}, {"TP_KEY_P_J3", 53},  {"TP_KEY_P_J4", 54},
    {"TP_KEY_P_J5", 55},   {"TP_KEY_P_J6", 56},     {"TP_KEY_M_J1", 41}, {"TP_KEY_M_J2", 42},  {"TP_KEY_M_J3", 43},
    {"TP_KEY_M_J4", 44},   {"TP_KEY_M_J5", 45},     {"TP_KEY_M_J6", 46}, {"TP_KEY_UP", 10},    {"TP_KEY_DOWN", 11},
    {"TP_KEY_LEFT", 12},   {"TP_KEY_RIGHT", 13},    {"TP_KEY_DEAD", 48}, {"TP_KEY_SHIFT", 20}, {"TP_KEY_F1", 21},
    {"TP_KEY_F2", 22},     {"TP_KEY_F3", 23},       {"TP_KEY_F4", 24},   {"TP_KEY_F5", 25},    {"TP_KEY_F6", 26},
    {"TP_KEY_JOG_UP", 32}, {"TP_KEY_JOG_DOWN", 31},
};

constexpr Seed kMPKeys[] = {
    {"MP_KEY_AUTO", 3},      {"MP_KEY_MAN", 4},       {"MP_KEY_TC", 5},         {"MP_KEY_MOTOR", 6},
    {"MP_KEY_RSEL", 17},     {"MP_KEY_MMOD", 18},     {"MP_KEY_SPD", 47},       {"MP_KEY_STOP", 2},
    {"MP_KEY_OK", 14},       {"MP_KEY_CANCEL", 15},   {"MP_KEY_P_J1", 20},      {"MP_KEY_P_J2", 21},
    {"MP_KEY_P_J3", 22},     {"MP_KEY_P_J4", 23},     {"MP_KEY_P_J5", 24},      {"MP_KEY_P_J6", 25},
    {"MP_KEY_M_J1", 26},     {"MP_KEY_M_J2", 27},     {"MP_KEY_M_J3", 28},      {"MP_KEY_M_J4", 29},
    {"MP_KEY_M_J5", 30},     {"MP_KEY_M_J6", 31},     {"MP_KEY_UP", 37},        {"MP_KEY_DOWN", 36},
    {"MP_KEY_LEFT", 35},     {"MP_KEY_RIGHT", 34},    {"MP_KEY_DEAD", 48},      {"MP_KEY_SHIFT", 19},
    {"MP_KEY_INTEXT", 46},   {"MP_KEY_PRO", 41},      {"MP_KEY_RUN", 45},       {"MP_KEY_STEPFWD", 44},
    {"MP_KEY_STEPBACK", 40}, {"MP_KEY_STEPSTOP", 39}, {"MP_KEY_CYCLESTOP", 43}, {"MP_KEY_CONTSTOP", 38},
    {"MP_KEY_AUX", 42},
};

template <size_t N> std::shared_ptr<KeyTable> buildTable(const Seed (&seeds)[N])
{
    auto table = std::make_shared<KeyTable>();
    for (const Seed &s : seeds)
        table->Add(s.code, QString::fromLatin1(s.name));
    return table;
}

} // namespace

void InitKeyTables()
{
    g_TPKeyTable = buildTable(kTPKeys);
    g_MPKeyTable = buildTable(kMPKeys);
}

QString keyNameOfTag(const QString &tag)
{
    const qsizetype colon = tag.indexOf(u':');
    return colon < 0 ? tag : tag.left(colon);
}

} // namespace tarvisk
