#include "settings/clsprofile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using tarvisk::clsProfile;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A hand-edited file: comments, a foreign section, odd spacing, CR LF endings, a line without
// "=", a key before any section and a last line without a line ending.
const QByteArray HandEdited = "; written by hand\r\n"
                              "stray=before any section\r\n"
                              "\r\n"
                              "  [ $Dist$ ]  \r\n"
                              "\tIPAddress  =   10.1.2.3   \r\n"
                              "; the port below is the controller's\r\n"
                              "PORT=5011\r\n"
                              "\r\n"
                              "; leads the foreign section\r\n"
                              "[Foreign]\r\n"
                              "just some words\r\n"
                              "Colour = \"dark blue\"\r\n"
                              "Empty=\r\n"
                              "[$Pendant$]\r\n"
                              "Type=1";

} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("Tarvisk.ini"));
        QFile::remove(m_path);
    }

    void readsValuesWithThePrivateProfileRules()
    {
        writeAll(m_path, HandEdited);
        clsProfile p(m_path);
        QCOMPARE(p.GetString("$dist$", "ipaddress", "x"), QString("10.1.2.3"));
        QCOMPARE(p.GetString(" $DIST$ ", "Port", "x"), QString("5011"));
        QCOMPARE(p.GetString("foreign", "colour", "x"), QString("dark blue")); // one pair of quotes goes
        QCOMPARE(p.GetString("Foreign", "Empty", "127.0.0.1"), QString());     // present but empty
        QCOMPARE(p.GetString("$Dist$", "Missing", "127.0.0.1"), QString("127.0.0.1"));
        QCOMPARE(p.GetString("$Dist$", "Missing", ""), QString());
        QCOMPARE(p.GetString("NoSuch", "Port", "d"), QString("d"));
        QCOMPARE(p.GetString("$Pendant$", "Type", "d"), QString("1")); // last line, no line ending
        // Neither keys before the first section, comments nor lines without "=" are keys.
        QCOMPARE(p.GetString("", "stray", "d"), QString("d"));
        QCOMPARE(p.GetString("$Dist$", "; the port below is the controller's", "d"), QString("d"));
        QCOMPARE(p.GetString("Foreign", "just some words", "d"), QString("d"));

        QCOMPARE(p.GetInt("$dist$", "port", 7), 5011);
        QCOMPARE(p.GetInt("Foreign", "Empty", 7), 7);
        QCOMPARE(p.GetInt("Foreign", "Colour", 7), 0);
        QCOMPARE(p.GetInt("NoSuch", "Port", -3), -3);
    }

    void firstOccurrenceWinsAndIntegersSaturate()
    {
        writeAll(m_path, "[A]\nk=1\nK=2\nbig=99999999999\nneg=-99999999999\nmix= -12abc\n[a]\nk=3\nother=4\n");
        clsProfile p(m_path);
        QCOMPARE(p.GetString("a", "k", ""), QString("1"));
        QCOMPARE(p.GetString("A", "other", "none"), QString("none")); // only the first [A] is searched
        QCOMPARE(p.GetInt("A", "big", 0), 2147483647);
        QCOMPARE(p.GetInt("A", "neg", 0), int32_t(-2147483647 - 1));
        QCOMPARE(p.GetInt("A", "mix", 0), -12);
        QVERIFY(p.WriteString("a", "k", "9"));
        QCOMPARE(readAll(m_path), QByteArray("[A]\nk=9\nK=2\nbig=99999999999\nneg=-99999999999\nmix= -12abc\n"
                                             "[a]\nk=3\nother=4\n"));
    }

    void sectionNamesInFileOrder()
    {
        clsProfile p(m_path);
        QVERIFY(p.GetSectNames().isEmpty()); // no file
        writeAll(m_path, "; nothing but a comment\nkey=value\n");
        QVERIFY(p.GetSectNames().isEmpty());
        writeAll(m_path, "[$Dist$]\nIPAddress=1\n[$Src$]\n\n  [$Pendant$]\nType=0\n");
        QCOMPARE(p.GetSectNames(), QStringList({"$Dist$", "$Src$", "$Pendant$"}));
    }

    void writesLeaveEverythingElseByteForByte()
    {
        writeAll(m_path, HandEdited);
        clsProfile p(m_path);
        QByteArray expected = HandEdited;

        // Replacing a value keeps the key's spelling, its spacing and the line ending.
        QVERIFY(p.WriteString("$DIST$", "ipaddress", "192.168.0.7"));
        expected.replace("10.1.2.3", "192.168.0.7");
        QCOMPARE(readAll(m_path), expected);

        // A new key goes after the last key of its section, before the blank and comment lines
        // that lead the next section, with the file's CR LF.
        QVERIFY(p.WriteString("$Dist$", "Extra", "x y"));
        expected.replace("PORT=5011\r\n", "PORT=5011\r\nExtra=x y\r\n");
        QCOMPARE(readAll(m_path), expected);
        QCOMPARE(p.GetString("$Dist$", "extra", ""), QString("x y"));

        // A new key in the last section, whose last line had no line ending.
        QVERIFY(p.WriteString("$pendant$", "Style", "2"));
        expected += "\r\nStyle=2\r\n";
        QCOMPARE(readAll(m_path), expected);

        // A new section goes to the end.
        QVERIFY(p.WriteString("$Src$", "Port", "5009"));
        expected += "[$Src$]\r\nPort=5009\r\n";
        QCOMPARE(readAll(m_path), expected);
        QCOMPARE(p.GetSectNames(), QStringList({"$Dist$", "Foreign", "$Pendant$", "$Src$"}));

        // Writing the value a key already reads as changes nothing (its quotes stay); neither does Flush.
        QVERIFY(p.WriteString("foreign", "Colour", "dark blue"));
        p.Flush();
        p.Flush();
        QCOMPARE(readAll(m_path), expected);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"Tarvisk.ini"}));
    }

    void missingFileAndFolder()
    {
        clsProfile p(m_path);
        QCOMPARE(p.GetString("$Dist$", "IPAddress", "127.0.0.1"), QString("127.0.0.1"));
        QVERIFY(p.DeleteKey("$Dist$", "IPAddress"));
        QVERIFY(p.DeleteSection("$Dist$"));
        QVERIFY(!QFile::exists(m_path)); // deleting creates nothing

        QVERIFY(p.WriteString("$Dist$", "IPAddress", "127.0.0.1"));
        QVERIFY(p.WriteString("$Dist$", "Port", "5010"));
        QCOMPARE(readAll(m_path), QByteArray("[$Dist$]\nIPAddress=127.0.0.1\nPort=5010\n"));

        clsProfile nowhere(m_dir.filePath("no/such/folder/Tarvisk.ini"));
        QVERIFY(!nowhere.WriteString("A", "k", "v"));
        QCOMPARE(nowhere.GetString("A", "k", "d"), QString("d"));
    }

    void deletesKeysAndSections()
    {
        writeAll(m_path, "[A]\na=1\n; about b\nb=2\n\n; leads B\n[B]\nc=3\n[C]\n");
        clsProfile p(m_path);
        QVERIFY(p.DeleteKey("a", "B"));
        QCOMPARE(readAll(m_path), QByteArray("[A]\na=1\n; about b\n\n; leads B\n[B]\nc=3\n[C]\n"));
        QVERIFY(p.DeleteKey("A", "nothing"));
        QVERIFY(p.DeleteKey("nothing", "a"));
        QCOMPARE(readAll(m_path), QByteArray("[A]\na=1\n; about b\n\n; leads B\n[B]\nc=3\n[C]\n"));
        QVERIFY(p.DeleteSection("a"));
        QCOMPARE(readAll(m_path), QByteArray("; about b\n\n; leads B\n[B]\nc=3\n[C]\n"));
        QVERIFY(p.DeleteSection("c"));
        QCOMPARE(readAll(m_path), QByteArray("; about b\n\n; leads B\n[B]\nc=3\n"));
        QCOMPARE(p.GetSectNames(), QStringList({"B"}));
    }

    void refusesWritesThatWouldBreakTheFile_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("line break in value") << "A"
                                             << "k"
                                             << "1\n[B]\nx=2";
        QTest::newRow("CR in value") << "A"
                                     << "k"
                                     << "1\r";
        QTest::newRow("NUL in value") << "A"
                                      << "k" << QString("1") + QChar(0);
        QTest::newRow("= in key") << "A"
                                  << "k=v"
                                  << "1";
        QTest::newRow("key like a section") << "A"
                                            << "[B]"
                                            << "1";
        QTest::newRow("key like a section after a U+FEFF") << "A" << QStringLiteral("\ufeff [B]") << "1";
        QTest::newRow("key like a comment") << "A"
                                            << ";k"
                                            << "1";
        QTest::newRow("empty key") << "A"
                                   << "  "
                                   << "1";
        QTest::newRow("] in section") << "A]x"
                                      << "k"
                                      << "1";
        QTest::newRow("empty section") << ""
                                       << "k"
                                       << "1";
    }

    void refusesWritesThatWouldBreakTheFile()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QByteArray before = "[A]\nk=0\n";
        writeAll(m_path, before);
        clsProfile p(m_path);
        QVERIFY(!p.WriteString(section, key, value));
        QCOMPARE(readAll(m_path), before);
    }

    void unsafeFilesNeverCrashNorGetCorrupted()
    {
        clsProfile p(m_path);

        // A folder where the file should be: reads give defaults, writes fail, nothing changes.
        QVERIFY(QDir(m_dir.path()).mkdir("Tarvisk.ini"));
        QCOMPARE(p.GetString("A", "k", "d"), QString("d"));
        QVERIFY(!p.WriteString("A", "k", "v"));
        QVERIFY(!p.DeleteSection("A"));
        QVERIFY(QFileInfo(m_path).isDir());
        QVERIFY(QDir(m_dir.path()).rmdir("Tarvisk.ini"));

        // A folder path that runs through a file.
        clsProfile through(m_path + "/inner.ini");
        writeAll(m_path, "[A]\nk=1\n");
        QVERIFY(!through.WriteString("A", "k", "v"));
        QCOMPARE(readAll(m_path), QByteArray("[A]\nk=1\n"));

        // Binary junk with NULs, lone CRs and bytes that are no UTF-8 survives a write untouched.
        QByteArray junk(64 * 1024, '\0');
        QRandomGenerator rng(1234);
        for (char &c : junk)
            c = char(rng.bounded(256));
        junk.replace('[', '('); // keeps junk from declaring the section written below
        writeAll(m_path, junk);
        QCOMPARE(p.GetString("Tarvisk", "k", "d"), QString("d"));
        (void)p.GetSectNames();
        QVERIFY(p.WriteString("Tarvisk", "k", "v"));
        const QByteArray after = readAll(m_path);
        QVERIFY(after.startsWith(junk));
        QVERIFY(after.endsWith("[Tarvisk]\nk=v\n"));
        QCOMPARE(p.GetString("tarvisk", "K", "d"), QString("v"));

        // A line of several megabytes reads and writes whole.
        const QString huge(3 * 1024 * 1024, u'x');
        QVERIFY(p.WriteString("Big", "value", huge));
        QCOMPARE(p.GetString("Big", "value", ""), huge);
        QVERIFY(p.WriteString("Big", "value", "small"));
        QCOMPARE(p.GetString("Big", "value", ""), QString("small"));
        QVERIFY(readAll(m_path).startsWith(junk));

        // A file beyond the size limit is neither read nor rewritten.
        QFile big(m_path);
        QVERIFY(big.open(QIODevice::ReadWrite));
        QVERIFY(big.resize(clsProfile::maxFileSize() + 1));
        big.close();
        QCOMPARE(p.GetString("Tarvisk", "k", "d"), QString("d"));
        QVERIFY(!p.WriteString("Tarvisk", "k", "w"));
        QCOMPARE(QFileInfo(m_path).size(), clsProfile::maxFileSize() + 1);
        QFile::remove(m_path);

        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }

    // Every value a write accepts reads back as written: blanks around it and quotes enclosing it
    // are kept by writing it in quotes, which reading takes off again.
    void valuesReadBackAsWritten()
    {
        clsProfile p(m_path);
        const QStringList values = {" padded ", "\tlead",    "trail ", "\"quoted\"", "'single'", "\"",        "'",
                                    "\"a'",     "a \"b\" c", "",       " ",          "=x=",      "\ufeffmark"};
        for (const QString &v : values) {
            QVERIFY(p.WriteString("A", "k", v));
            QCOMPARE(p.GetString("A", "k", "default"), v);
            QVERIFY(p.WriteString("New " + QString::number(values.indexOf(v)), "k", v));
            QCOMPARE(p.GetString("New " + QString::number(values.indexOf(v)), "k", "default"), v);
        }
        // Plain values go in as they are.
        QVERIFY(p.WriteString("A", "k", "a b"));
        QVERIFY(readAll(m_path).startsWith("[A]\nk=a b\n"));
        QVERIFY(p.WriteString("A", "k", " a "));
        QVERIFY(readAll(m_path).startsWith("[A]\nk=\" a \"\n"));

        // A lone surrogate has no UTF-8 form: such names and values are refused, the file stays.
        const QByteArray before = readAll(m_path);
        const QString lone = QString(QChar(0xD800)) + u'x';
        QVERIFY(!p.WriteString("A", "k", lone));
        QVERIFY(!p.WriteString("A", lone, "v"));
        QVERIFY(!p.WriteString(lone, "k", "v"));
        QCOMPARE(readAll(m_path), before);
    }

    // A file that ends in a bare CR, or starts with a byte order mark as editors write them.
    void oddFileEndsAndStarts()
    {
        clsProfile p(m_path);
        // The CR already ends its line for reading; new lines after it must not join that line.
        writeAll(m_path, "[A]\nk=1\r");
        QVERIFY(p.WriteString("A", "j", "2"));
        QCOMPARE(readAll(m_path), QByteArray("[A]\nk=1\r\nj=2\n"));
        QCOMPARE(p.GetString("A", "k", "d"), QString("1"));
        QCOMPARE(p.GetString("A", "j", "d"), QString("2"));

        writeAll(m_path, "[A]\r\nk=1\r");
        QVERIFY(p.WriteString("B", "j", "2"));
        QCOMPARE(readAll(m_path), QByteArray("[A]\r\nk=1\r\n[B]\r\nj=2\r\n"));
        QCOMPARE(p.GetString("A", "k", "d"), QString("1"));

        writeAll(m_path, "[A]\r");
        QVERIFY(p.WriteString("a", "k", "v"));
        QCOMPARE(readAll(m_path), QByteArray("[A]\r\nk=v\n"));
        QCOMPARE(p.GetSectNames(), QStringList({"A"}));

        // The mark belongs to no line: the first section is found, and the mark stays.
        const QByteArray bom = "\xEF\xBB\xBF";
        writeAll(m_path, bom + "[$Dist$]\r\nPort=5011\r\n");
        QCOMPARE(p.GetSectNames(), QStringList({"$Dist$"}));
        QCOMPARE(p.GetString("$Dist$", "Port", "d"), QString("5011"));
        QVERIFY(p.WriteString("$Dist$", "Port", "5012"));
        QCOMPARE(readAll(m_path), bom + "[$Dist$]\r\nPort=5012\r\n");
        QVERIFY(p.DeleteSection("$Dist$"));
        QCOMPARE(readAll(m_path), bom);
        QVERIFY(p.WriteString("S", "k", "v"));
        QCOMPARE(readAll(m_path), bom + "[S]\nk=v\n");

        // A U+FEFF that starts a name is part of the name, like any other character.
        const QString marked = QStringLiteral("\ufeffName");
        QVERIFY(p.WriteString(marked, marked, "v"));
        QCOMPARE(p.GetString(marked, marked, "d"), QString("v"));
        QCOMPARE(p.GetString("Name", "Name", "d"), QString("d"));
        QCOMPARE(p.GetSectNames(), QStringList({"S", marked}));
    }

    // Files joined together carry a byte order mark before a later section: the section is there,
    // as an editor shows it. Found by fuzzing: deleting the section before such a mark moved the
    // mark to the start of the file, so a delete made a section appear.
    void byteOrderMarkBeforeALaterSection()
    {
        const QByteArray bom = "\xEF\xBB\xBF";
        writeAll(m_path, "[A]\nk=1\n" + bom + "[B]\nk=2\n" + bom + "  [C]\r\n" + bom + "k=3\n");
        clsProfile p(m_path);
        QCOMPARE(p.GetSectNames(), QStringList({"A", "B", "C"}));
        QCOMPARE(p.GetString("A", "k", "d"), QString("1"));
        QCOMPARE(p.GetString("B", "k", "d"), QString("2"));
        QCOMPARE(p.GetString("C", QStringLiteral("\ufeffk"), "d"), QString("3")); // no section follows: a character
        QVERIFY(p.WriteString("B", "j", "4"));
        QCOMPARE(readAll(m_path), "[A]\nk=1\n" + bom + "[B]\nk=2\nj=4\n" + bom + "  [C]\r\n" + bom + "k=3\n");
        QVERIFY(p.DeleteSection("B"));
        QCOMPARE(readAll(m_path), "[A]\nk=1\n" + bom + "  [C]\r\n" + bom + "k=3\n");

        // The fuzzer's input, 57 bytes: a repeated section, a lone Ctrl-Z, a mark before a later
        // header. Deleting "a" (the first of the names, "[A]") leaves every other section.
        const QByteArray input =
            QByteArray::fromBase64("HQ9bQV0Kaz0xXQprPTIKGg9bQV0NCks9Cu+7v1thXUFdCmtEMQpbYV0Kaz0yCks9Cms9MgpLPTMK");
        QCOMPARE(input.size(), 57);
        writeAll(m_path, input.mid(2));
        const QStringList before = p.GetSectNames();
        QCOMPARE(before, QStringList({"A", "a", "a"}));
        QVERIFY(p.DeleteSection("a"));
        QCOMPARE(p.GetSectNames(), before.mid(1));
        QCOMPARE(p.GetString("a", "k", "d"), QString("d")); // "kD1" has no "="
        QVERIFY(p.DeleteSection("a"));
        QCOMPARE(p.GetSectNames(), QStringList({"a"}));
        QCOMPARE(p.GetString("a", "k", "d"), QString("2"));
    }

    void utf8ValuesRoundTrip()
    {
        clsProfile p(m_path);
        QVERIFY(p.WriteString("Größe", "Schlüssel", "Wert äöü"));
        QCOMPARE(p.GetString("GRÖßE", "SCHLÜSSEL", ""), QString("Wert äöü"));
    }

    void defaultFileNameAndDestructorFlush()
    {
        {
            clsProfile p;
            QVERIFY(p.FileName().endsWith(".ini"));
            QCOMPARE(QFileInfo(p.FileName()).absolutePath(), QCoreApplication::applicationDirPath());
            p.setFileName(m_path);
            QVERIFY(p.WriteString("A", "k", "v"));
        }
        QCOMPARE(readAll(m_path), QByteArray("[A]\nk=v\n"));
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
