#include "pendant/keymap.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QKeySequence>
#include <QStandardPaths>
#include <QTextStream>

namespace tarvisk {

namespace {

// The standard and old pendants share their key names; the mini pendant's digits follow its
// keys' own captions ("-/1" is MP_KEY_M_J1, "+/6/MNO" is MP_KEY_P_J1).
struct DefaultBinding
{
    const char *key; // as Qt names it
    const char *name;
};

const DefaultBinding kCommon[] = {
    {"Space", "DEAD"},     {"Shift", "SHIFT"}, {"Return", "OK"}, {"Esc", "CANCEL"},
    {"Backspace", "STOP"}, {"M", "MOTOR"},     {"S", "RSEL"},    {"D", "MMOD"},
    {"V", "SPD"},          {"Up", "UP"},       {"Down", "DOWN"}, {"Left", "LEFT"},
    {"Right", "RIGHT"},    {"F9", "AUTO"},     {"F10", "MAN"},   {"F11", "TC"},
};

const DefaultBinding kStandard[] = {
    {"L", "LOCK"}, {"1", "P_J1"},      {"2", "P_J2"},          {"3", "P_J3"}, {"4", "P_J4"}, {"5", "P_J5"},
    {"6", "P_J6"}, {"Q", "M_J1"},      {"W", "M_J2"},          {"E", "M_J3"}, {"R", "M_J4"}, {"T", "M_J5"},
    {"Y", "M_J6"}, {"F1", "F1"},       {"F2", "F2"},           {"F3", "F3"},  {"F4", "F4"},  {"F5", "F5"},
    {"F6", "F6"},  {"PgUp", "JOG_UP"}, {"PgDown", "JOG_DOWN"},
};

const DefaultBinding kMini[] = {
    {"I", "INTEXT"},     {"1", "M_J1"},      {"2", "M_J2"}, {"3", "M_J3"},      {"4", "M_J4"},     {"5", "M_J5"},
    {"-", "M_J6"},       {"6", "P_J1"},      {"7", "P_J2"}, {"8", "P_J3"},      {"9", "P_J4"},     {"0", "P_J5"},
    {".", "P_J6"},       {"F1", "PRO"},      {"F2", "RUN"}, {"F3", "STEPBACK"}, {"F4", "STEPFWD"}, {"F5", "STEPSTOP"},
    {"F6", "CYCLESTOP"}, {"F7", "CONTSTOP"}, {"F8", "AUX"},
};

// What Shift makes of a key on a US layout, back to the key itself.
const QHash<int, int> &shiftedKeys()
{
    static const QHash<int, int> map = {
        {Qt::Key_Exclam, Qt::Key_1},
        {Qt::Key_At, Qt::Key_2},
        {Qt::Key_NumberSign, Qt::Key_3},
        {Qt::Key_Dollar, Qt::Key_4},
        {Qt::Key_Percent, Qt::Key_5},
        {Qt::Key_AsciiCircum, Qt::Key_6},
        {Qt::Key_Ampersand, Qt::Key_7},
        {Qt::Key_Asterisk, Qt::Key_8},
        {Qt::Key_ParenLeft, Qt::Key_9},
        {Qt::Key_ParenRight, Qt::Key_0},
        {Qt::Key_Underscore, Qt::Key_Minus},
        {Qt::Key_Plus, Qt::Key_Equal},
        {Qt::Key_Colon, Qt::Key_Semicolon},
        {Qt::Key_Less, Qt::Key_Comma},
        {Qt::Key_Greater, Qt::Key_Period},
        {Qt::Key_Question, Qt::Key_Slash},
        {Qt::Key_AsciiTilde, Qt::Key_QuoteLeft},
        {Qt::Key_BraceLeft, Qt::Key_BracketLeft},
        {Qt::Key_BraceRight, Qt::Key_BracketRight},
        {Qt::Key_Bar, Qt::Key_Backslash},
        {Qt::Key_QuoteDbl, Qt::Key_Apostrophe},
        {Qt::Key_Backtab, Qt::Key_Tab},
    };
    return map;
}

QString prefixOf(PendantKind kind)
{
    return kind == PendantKind::Mini ? QStringLiteral("MP_KEY_") : QStringLiteral("TP_KEY_");
}

QString warning(const QString &path, int line, const QString &reason)
{
    return QStringLiteral("%1:%2: %3; the line is ignored").arg(QDir::toNativeSeparators(path)).arg(line).arg(reason);
}

} // namespace

Keymap Keymap::defaults(PendantKind kind)
{
    Keymap map;
    const QString prefix = prefixOf(kind);
    auto add = [&](const DefaultBinding &b) {
        map.m_bindings.push_back({prefix + QString::fromLatin1(b.name), parseKey(QString::fromLatin1(b.key))});
    };
    for (const DefaultBinding &b : kCommon)
        add(b);
    if (kind == PendantKind::Mini) {
        for (const DefaultBinding &b : kMini)
            add(b);
    } else {
        for (const DefaultBinding &b : kStandard)
            add(b);
    }
    return map;
}

QString Keymap::sectionName(PendantKind kind)
{
    switch (kind) {
    case PendantKind::Mini:
        return QStringLiteral("mini");
    case PendantKind::Old:
        return QStringLiteral("old");
    default:
        return QStringLiteral("standard");
    }
}

QString Keymap::userFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tarvisk/keymap.ini");
}

int Keymap::normalizedKey(int qtKey)
{
    if (qtKey == Qt::Key_Enter)
        return Qt::Key_Return;
    return shiftedKeys().value(qtKey, qtKey);
}

int Keymap::parseKey(const QString &text, QString *why)
{
    auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return 0;
    };
    const QString t = text.trimmed();
    if (t.isEmpty())
        return fail(QStringLiteral("no keyboard key given"));
    // Qt reads these names only as modifiers of another key.
    static const QHash<QString, int> modifierKeys = {
        {QStringLiteral("ctrl"), Qt::Key_Control}, {QStringLiteral("control"), Qt::Key_Control},
        {QStringLiteral("alt"), Qt::Key_Alt},      {QStringLiteral("altgr"), Qt::Key_AltGr},
        {QStringLiteral("meta"), Qt::Key_Meta},    {QStringLiteral("super"), Qt::Key_Meta},
        {QStringLiteral("shift"), Qt::Key_Shift},
    };
    int key = modifierKeys.value(t.toLower(), 0);
    if (!key) {
        const QKeySequence seq = QKeySequence::fromString(t, QKeySequence::PortableText);
        if (seq.count() != 1 || seq[0].key() == Qt::Key_unknown)
            return fail(
                QStringLiteral("\"%1\" is not a keyboard key name (examples: Space, PgUp, F3, Q, 1, Shift)").arg(t));
        if (seq[0].keyboardModifiers() != Qt::NoModifier)
            return fail(QStringLiteral("\"%1\" has a modifier; a binding is one key alone").arg(t));
        key = seq[0].key();
    }
    switch (key) {
    case Qt::Key_Control:
        return fail(QStringLiteral("Ctrl cannot be bound: it shows the latch view and latches keys"));
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return fail(QStringLiteral("Alt cannot be bound: it shows the state selector"));
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return fail(QStringLiteral("the Meta key belongs to the desktop and cannot be bound"));
    case kBindingsToggle:
        return fail(QStringLiteral("F12 draws the bindings on the keys and cannot be bound"));
    default:
        break;
    }
    return normalizedKey(key);
}

QString Keymap::keyText(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
        return QStringLiteral("Shift");
    case Qt::Key_Space:
        return QStringLiteral("Space");
    case Qt::Key_Return:
        return QStringLiteral("Enter");
    case Qt::Key_Backspace:
        return QStringLiteral("Bksp");
    case Qt::Key_PageDown:
        return QStringLiteral("PgDn");
    default:
        return QKeySequence(qtKey).toString(QKeySequence::NativeText);
    }
}

QString Keymap::keyNameFor(int qtKey) const
{
    const int key = normalizedKey(qtKey);
    for (const Binding &b : m_bindings) {
        if (b.key == key)
            return b.keyName;
    }
    return {};
}

QList<int> Keymap::keysFor(const QString &keyName) const
{
    QList<int> keys;
    for (const Binding &b : m_bindings) {
        if (b.keyName.compare(keyName, Qt::CaseInsensitive) == 0)
            keys << b.key;
    }
    return keys;
}

void Keymap::bind(const QString &keyName, int qtKey)
{
    const int key = normalizedKey(qtKey);
    m_bindings.removeIf([key](const Binding &b) { return b.key == key; });
    m_bindings.push_back({keyName, key});
}

void Keymap::unbind(const QString &keyName)
{
    m_bindings.removeIf([&](const Binding &b) { return b.keyName.compare(keyName, Qt::CaseInsensitive) == 0; });
}

Keymap Keymap::load(PendantKind kind, const QString &path, const QStringList &knownKeyNames, QStringList *warnings)
{
    Keymap map = defaults(kind);
    // Defaults for keys this window does not have (a jog key of a window without jog) go.
    map.m_bindings.removeIf([&](const Binding &b) { return !knownKeyNames.contains(b.keyName, Qt::CaseInsensitive); });

    QFile file(path);
    if (!file.exists())
        return map;
    auto warn = [&](int line, const QString &reason) {
        if (warnings)
            *warnings << warning(path, line, reason);
    };
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (warnings)
            *warnings << QStringLiteral("%1: cannot be read (%2); the default keys apply")
                             .arg(QDir::toNativeSeparators(path), file.errorString());
        return map;
    }

    const QStringList sections = {QStringLiteral("standard"), QStringLiteral("mini"), QStringLiteral("old")};
    const QString mine = sectionName(kind);
    QString section;
    QHash<int, int> boundOnLine; // keyboard key -> the line of this section that bound it
    QTextStream in(&file);
    int lineNumber = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']')) {
                warn(lineNumber, QStringLiteral("a section header must end with \"]\""));
                section = QString();
                continue;
            }
            section = line.mid(1, line.size() - 2).trimmed().toLower();
            if (!sections.contains(section))
                warn(lineNumber,
                     QStringLiteral("unknown section \"%1\" (the sections are [standard], [mini] and [old])")
                         .arg(line.mid(1, line.size() - 2).trimmed()));
            continue;
        }
        if (section != mine)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) {
            warn(lineNumber, QStringLiteral("expected \"KEY_NAME = key\""));
            continue;
        }
        const QString name = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        const auto known = std::find_if(knownKeyNames.begin(), knownKeyNames.end(),
                                        [&](const QString &k) { return k.compare(name, Qt::CaseInsensitive) == 0; });
        if (known == knownKeyNames.end()) {
            warn(lineNumber, QStringLiteral("the %1 pendant has no key \"%2\"").arg(mine, name));
            continue;
        }
        if (value.isEmpty()) {
            map.unbind(*known);
            continue;
        }
        QString why;
        const int key = parseKey(value, &why);
        if (!key) {
            warn(lineNumber, why);
            continue;
        }
        if (boundOnLine.contains(key)) {
            warn(lineNumber, QStringLiteral("\"%1\" is already bound to %2 on line %3")
                                 .arg(value, map.keyNameFor(key))
                                 .arg(boundOnLine.value(key)));
            continue;
        }
        // The first line for a pendant key replaces its default keys; later lines add to them.
        const bool firstForKey = std::none_of(boundOnLine.keyBegin(), boundOnLine.keyEnd(), [&](int k) {
            return map.keyNameFor(k).compare(*known, Qt::CaseInsensitive) == 0;
        });
        if (firstForKey)
            map.unbind(*known);
        map.bind(*known, key);
        boundOnLine.insert(key, lineNumber);
    }
    return map;
}

} // namespace tarvisk
