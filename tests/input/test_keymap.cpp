// The keyboard maps: the defaults reach every key of each window, and the user's file applies
// line by line, each bad line reported with its place and reason.
#include "inputtest.h"
#include "pendant/keymap.h"
#include "pendant/pendants.h"
#include "provider/keytables.h"
#include "provider/provstate.h"

#include <QFile>
#include <QSet>
#include <QTest>

using namespace tarvisk;
using namespace tarvisk::inputtest;

class TestKeymap : public QObject
{
    Q_OBJECT

    // The key names of a loaded window of the kind.
    static QStringList keyNamesOf(PendantKind kind)
    {
        auto *w = static_cast<PendantWindowBase *>(pendantWindow(kind).widget());
        w->Load();
        return w->input().keyNames();
    }

private slots:
    void init() { testing::startPendantProcess(); }
    void cleanup() { resetProcessState(); }

    void defaultsReachEveryKey_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("standard") << int(PendantKind::Standard);
        QTest::newRow("mini") << int(PendantKind::Mini);
        QTest::newRow("old") << int(PendantKind::Old);
    }
    void defaultsReachEveryKey()
    {
        QFETCH(int, kind);
        ConfigHome home;
        g_Standalone = true;
        auto *w = static_cast<PendantWindowBase *>(pendantWindow(PendantKind(kind)).widget());
        w->Load();
        const QStringList names = w->input().keyNames();
        const Keymap &map = w->input().keymap();
        // Every key, each switch position, both jog keys (where the window has them) and DEAD.
        QVERIFY(names.size() >= 33);
        for (const QString &name : names)
            QVERIFY2(!map.keysFor(name).isEmpty(), qPrintable(name));
        // Nothing the defaults name is missing from the window, and no keyboard key does two things.
        QCOMPARE(map.bindings().size(), Keymap::defaults(PendantKind(kind)).bindings().size());
        QSet<int> keys;
        for (const Keymap::Binding &b : map.bindings()) {
            QVERIFY2(!keys.contains(b.key), qPrintable(b.keyName));
            keys.insert(b.key);
        }
        QVERIFY(!keys.contains(Qt::Key_Control));
        QVERIFY(!keys.contains(Qt::Key_Alt));
        QVERIFY(!keys.contains(Keymap::kBindingsToggle));
        QCOMPARE(map.keyNameFor(Qt::Key_Space), w->input().enablingSwitchName());
    }

    void userFileAppliesLineByLine()
    {
        ConfigHome home;
        const QString file = home.writeKeymap("; my keys\n"
                                              "[standard]\n"
                                              "TP_KEY_OK = K\n"
                                              "tp_key_cancel =\n"
                                              "TP_KEY_NOPE = J\n"
                                              "TP_KEY_STOP = Ctrl\n"
                                              "TP_KEY_F1 = K\n"
                                              "this line has no equals sign\n"
                                              "TP_KEY_F2 = Ctrl+A\n"
                                              "TP_KEY_LOCK = Flurble\n"
                                              "[mini]\n"
                                              "MP_KEY_OK = Z\n"
                                              "[Nonsense]\n"
                                              "TP_KEY_OK = X\n"
                                              "[Standard]\n"
                                              "TP_KEY_MOTOR = F7\n"
                                              "TP_KEY_MOTOR = F8\n");
        QCOMPARE(file, Keymap::userFilePath());

        QStringList warnings;
        const Keymap map = Keymap::load(PendantKind::Standard, file, keyNamesOf(PendantKind::Standard), &warnings);
        QStringList places;
        for (const QString &w : std::as_const(warnings)) {
            QVERIFY2(w.startsWith(file + u':'), qPrintable(w));
            QVERIFY2(w.endsWith(QStringLiteral("; the line is ignored")), qPrintable(w));
            places << w.section(u':', 1, 1);
        }
        QCOMPARE(places, QStringList({"5", "6", "7", "8", "9", "10", "13"}));
        QVERIFY(warnings[0].contains(QStringLiteral("no key \"TP_KEY_NOPE\"")));
        QVERIFY(warnings[1].contains(QStringLiteral("Ctrl cannot be bound")));
        QVERIFY(warnings[2].contains(QStringLiteral("already bound to TP_KEY_OK on line 3")));
        QVERIFY(warnings[5].contains(QStringLiteral("\"Flurble\" is not a keyboard key name")));

        QCOMPARE(map.keysFor(QStringLiteral("TP_KEY_OK")), QList<int>{Qt::Key_K});
        QCOMPARE(map.keyNameFor(Qt::Key_Return), QString());
        QVERIFY(map.keysFor(QStringLiteral("TP_KEY_CANCEL")).isEmpty());
        QCOMPARE(map.keysFor(QStringLiteral("TP_KEY_F1")), QList<int>{Qt::Key_F1});
        QCOMPARE(map.keysFor(QStringLiteral("TP_KEY_STOP")), QList<int>{Qt::Key_Backspace});
        QCOMPARE(map.keysFor(QStringLiteral("TP_KEY_MOTOR")), (QList<int>{Qt::Key_F7, Qt::Key_F8}));
        QCOMPARE(map.keyNameFor(Qt::Key_M), QString());
        QCOMPARE(map.keyNameFor(Qt::Key_X), QString());
        QCOMPARE(map.keyNameFor(Qt::Key_Z), QString());

        // The mini pendant reads its own section; the others' lines are not its business.
        warnings.clear();
        const Keymap mini = Keymap::load(PendantKind::Mini, file, keyNamesOf(PendantKind::Mini), &warnings);
        QCOMPARE(warnings.size(), 1);
        QVERIFY(warnings[0].startsWith(file + QStringLiteral(":13: unknown section")));
        QCOMPARE(mini.keyNameFor(Qt::Key_Z), QStringLiteral("MP_KEY_OK"));
        QCOMPARE(mini.keyNameFor(Qt::Key_Return), QString());
    }

    // The example in docs/input.md, run: the map it gives and the warning it shows.
    void documentedExampleHolds()
    {
        QFile doc(qEnvironmentVariable("TARVISK_SOURCE_DIR") + QStringLiteral("/docs/input.md"));
        QVERIFY(doc.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(doc.readAll());
        const qsizetype ini = text.indexOf(QStringLiteral("```ini\n"));
        QVERIFY(ini >= 0);
        const qsizetype iniEnd = text.indexOf(QStringLiteral("```"), ini + 7);
        const qsizetype shown = text.indexOf(QStringLiteral("```\n"), iniEnd + 3);
        QVERIFY(shown >= 0);
        const QString warning = text.mid(shown + 4, text.indexOf(u'\n', shown + 4) - shown - 4);

        ConfigHome home;
        const QString file = home.writeKeymap(text.mid(ini + 7, iniEnd - ini - 7).toUtf8());
        QStringList warnings;
        const Keymap map = Keymap::load(PendantKind::Standard, file, keyNamesOf(PendantKind::Standard), &warnings);
        QCOMPARE(warnings, QStringList{QString(warning).replace(QStringLiteral("/home/me/.config"), home.path())});
        QCOMPARE(map.keysFor(QStringLiteral("TP_KEY_OK")), QList<int>{Qt::Key_K});
        QCOMPARE(map.keyNameFor(Qt::Key_Insert), QStringLiteral("TP_KEY_DEAD"));
        QCOMPARE(map.keyNameFor(Qt::Key_Space), QString());
        QVERIFY(map.keysFor(QStringLiteral("TP_KEY_CANCEL")).isEmpty());
        const Keymap mini = Keymap::load(PendantKind::Mini, file, keyNamesOf(PendantKind::Mini), nullptr);
        QCOMPARE(mini.keysFor(QStringLiteral("MP_KEY_OK")), (QList<int>{Qt::Key_Return, Qt::Key_Z}));
        const Keymap old = Keymap::load(PendantKind::Old, file, keyNamesOf(PendantKind::Old), nullptr);
        QCOMPARE(old.keyNameFor(Qt::Key_Home), QStringLiteral("TP_KEY_JOG_UP"));
        QCOMPARE(old.keyNameFor(Qt::Key_PageUp), QString());
    }

    void missingFileLeavesTheDefaults()
    {
        ConfigHome home;
        QStringList warnings;
        const QStringList names = keyNamesOf(PendantKind::Old);
        const Keymap map = Keymap::load(PendantKind::Old, Keymap::userFilePath(), names, &warnings);
        QVERIFY(warnings.isEmpty());
        QCOMPARE(map.keyNameFor(Qt::Key_PageDown), QStringLiteral("TP_KEY_JOG_DOWN"));
        QCOMPARE(map.keyNameFor(Qt::Key_Space), QStringLiteral("TP_KEY_DEAD"));
    }
};

QObject *makeKeymapTest()
{
    return new TestKeymap;
}

#include "test_keymap.moc"
