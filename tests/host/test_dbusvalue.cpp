// The Variant <-> D-Bus mapping, through real messages on a private bus: what a client sends
// arrives with its type, what does not decode is refused with a reason, and a real client we did
// not write (gdbus) can spell every tag.
#include "host/dbusvalue.h"
#include "support/busclient.h"
#include "support/privatebus.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QTest>

#include <cmath>
#include <limits>

using namespace tarvisk;
using namespace tarvisk::testing;
namespace tag = tarvisk::dbusvalue::tag;

namespace {

const QString kEchoInterface = QStringLiteral("test.tarvisk.Echo");

class EchoObject : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "test.tarvisk.Echo")
public slots:
    tarvisk::DBusValue Echo(const tarvisk::DBusValue &value)
    {
        if (!value.ok())
            sendErrorReply(QDBusError::InvalidArgs, value.error);
        return value;
    }
    // What the value decoded to, for a caller that cannot read tagged values back.
    QString Describe(const tarvisk::DBusValue &value)
    {
        if (!value.ok())
            sendErrorReply(QDBusError::InvalidArgs, value.error);
        return value.value.debugText();
    }
};

Variant nested(int depth)
{
    Variant v = Variant(int32_t(depth));
    for (int i = 0; i < depth; ++i)
        v = Variant::array({v});
    return v;
}

int depthOf(const Variant &v)
{
    return v.type() == Variant::Type::Array && !v.arrayItems()->isEmpty() ? 1 + depthOf(v.arrayItems()->first())
           : v.type() == Variant::Type::Array                             ? 1
                                                                          : 0;
}

} // namespace

class TestDBusValue : public QObject
{
    Q_OBJECT

    PrivateBus bus;
    QDBusConnection server{QString()};
    QDBusConnection client{QString()};
    EchoObject echoObject;

    // Sends a value through the echo object and gives back what came home, or the error.
    QDBusMessage call(const QString &method, const QVariant &argument)
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(server.baseService(), QStringLiteral("/echo"), kEchoInterface, method);
        message << argument;
        return callServed(client, message, 10000);
    }

    Variant echo(const Variant &value)
    {
        const QDBusMessage reply = call(QStringLiteral("Echo"), QVariant::fromValue(DBusValue(value)));
        if (reply.type() != QDBusMessage::ReplyMessage) {
            qWarning() << "echo failed:" << reply.errorName() << reply.errorMessage();
            return Variant(QStringLiteral("<call failed>"));
        }
        return qdbus_cast<DBusValue>(reply.arguments().first()).value;
    }

    RunResult gdbusDescribe(const QString &text)
    {
        return gdbusCall(bus.environment(), server.baseService(), QStringLiteral("/echo"),
                         kEchoInterface + QStringLiteral(".Describe"), {text});
    }

private slots:
    void initTestCase()
    {
        registerDBusValueTypes();
        QString error;
        QVERIFY2(bus.start({}, &error), qPrintable(error));
        server = QDBusConnection::connectToBus(bus.address(), QStringLiteral("server"));
        client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("client"));
        QVERIFY(server.isConnected() && client.isConnected());
        QVERIFY(server.registerObject(QStringLiteral("/echo"), &echoObject, QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        bus.stop();
    }

    void busRoundTrip_data()
    {
        QTest::addColumn<Variant>("value");
        QTest::newRow("Empty") << Variant();
        QTest::newRow("Null") << Variant::null();
        QTest::newRow("True") << Variant(true);
        QTest::newRow("False") << Variant(false);
        QTest::newRow("Byte 0") << Variant(uint8_t(0));
        QTest::newRow("Byte 255") << Variant(uint8_t(255));
        QTest::newRow("Integer min") << Variant(int16_t(-32768));
        QTest::newRow("Integer max") << Variant(int16_t(32767));
        QTest::newRow("Long min") << Variant(std::numeric_limits<int32_t>::min());
        QTest::newRow("Long max") << Variant(std::numeric_limits<int32_t>::max());
        QTest::newRow("Single") << Variant(0.1f);
        QTest::newRow("Single max") << Variant(std::numeric_limits<float>::max());
        QTest::newRow("Single -inf") << Variant(-std::numeric_limits<float>::infinity());
        QTest::newRow("Double") << Variant(0.1);
        QTest::newRow("Double tiny") << Variant(std::numeric_limits<double>::denorm_min());
        QTest::newRow("String empty") << Variant(QString());
        QTest::newRow("String wide") << Variant(QStringLiteral("Ärger ✓ \U0001F600 \"q\""));
        QTest::newRow("ByteArray empty") << Variant(QByteArray());
        QTest::newRow("ByteArray") << Variant(QByteArray("\x00\xff\x10", 3));
        QTest::newRow("Array empty") << Variant(VariantArray());
        QTest::newRow("Array mixed") << Variant::array(
            {Variant(int32_t(14)), Variant(true), Variant("x"), Variant(uint8_t(1)), Variant(1.5f)});
        QTest::newRow("Array nested") << Variant::array(
            {Variant::array({Variant(), Variant::array({Variant::null(), Variant()})}), Variant(QByteArray("ab"))});
        QTest::newRow("Array deepest") << nested(dbusvalue::kMaxArrayDepth);
    }

    void busRoundTrip()
    {
        QFETCH(Variant, value);
        const Variant back = echo(value);
        QCOMPARE(back.debugText(), value.debugText());
        QVERIFY(back == value); // same types all the way down
        // The tagged form outside a message agrees with the bus.
        Variant local;
        QString error;
        const dbusvalue::TaggedItem tagged = dbusvalue::toTagged(value);
        QVERIFY2(dbusvalue::decodeTagged(tagged.tag, tagged.content, local, error), qPrintable(error));
        QVERIFY(local == value);
    }

    void emptyStaysApartFromLookalikes()
    {
        const Variant value =
            Variant::array({Variant(), Variant(QString()), Variant(int32_t(0)), Variant(int16_t(0)), Variant(false),
                            Variant(VariantArray()), Variant(QByteArray()), Variant::array({Variant()})});
        const Variant back = echo(value);
        QCOMPARE(back.upperBound(), 7);
        const QList<Variant::Type> types = {Variant::Type::Empty,     Variant::Type::String,  Variant::Type::Long,
                                            Variant::Type::Integer,   Variant::Type::Boolean, Variant::Type::Array,
                                            Variant::Type::ByteArray, Variant::Type::Array};
        for (int i = 0; i < types.size(); ++i)
            QCOMPARE(back.at(i).type(), types[i]);
        QVERIFY(back.at(7).at(0).isEmpty());
    }

    void whatCannotTravelIsCaught()
    {
        QString why;
        struct Thing : VariantObject
        {
        };
        const Variant object(std::make_shared<Thing>());
        QVERIFY(!dbusvalue::isTransferable(object, &why));
        QVERIFY(why.contains(u"object"));
        QVERIFY(!dbusvalue::isTransferable(Variant::array({Variant(1), object}), &why));
        QVERIFY(!dbusvalue::isTransferable(Variant(QStringLiteral("a") + QChar(0) + u'b'), &why));
        QVERIFY(why.contains(u"NUL"));
        QVERIFY(dbusvalue::isTransferable(nested(dbusvalue::kMaxArrayDepth)));
        QVERIFY(!dbusvalue::isTransferable(nested(dbusvalue::kMaxArrayDepth + 1), &why));
        QVERIFY(why.contains(u"deeper"));

        // Sent anyway, the writer keeps the message valid: the part that cannot travel is Empty.
        QCOMPARE(echo(Variant::array({Variant(1), object})).debugText(), QStringLiteral("Array(Long 1, Empty)"));
        const Variant cut = echo(nested(dbusvalue::kMaxArrayDepth + 1));
        QCOMPARE(depthOf(cut), dbusvalue::kMaxArrayDepth);
    }

    void refusedContent_data()
    {
        using dbusvalue::TaggedItem;
        using dbusvalue::TaggedList;
        QTest::addColumn<int>("tagByte");
        QTest::addColumn<QVariant>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown tag") << int('z') << QVariant::fromValue(uchar(0)) << "unknown tag 'z' (0x7a)";
        QTest::newRow("Boolean as int") << int(tag::Boolean) << QVariant::fromValue(1) << "needs the content b, not i";
        QTest::newRow("Byte as int") << int(tag::Byte) << QVariant::fromValue(1) << "needs the content y, not i";
        QTest::newRow("Integer as int") << int(tag::Integer) << QVariant::fromValue(1) << "content n, not i";
        QTest::newRow("Long as int16") << int(tag::Long) << QVariant::fromValue(short(1)) << "content i, not n";
        QTest::newRow("Long as text") << int(tag::Long) << QVariant::fromValue(QStringLiteral("1")) << "not s";
        QTest::newRow("Single as int") << int(tag::Single) << QVariant::fromValue(1) << "content d, not i";
        QTest::newRow("Single too large") << int(tag::Single) << QVariant::fromValue(1e300) << "Single range";
        QTest::newRow("Double as text") << int(tag::Double) << QVariant::fromValue(QStringLiteral("1")) << "not s";
        QTest::newRow("String with NUL") << int(tag::String)
                                         << QVariant::fromValue(QStringLiteral("a") + QChar(0) + u'b') << "NUL";
        QTest::newRow("String as bytes") << int(tag::String) << QVariant::fromValue(QByteArray("x")) << "not ay";
        QTest::newRow("ByteArray as text")
            << int(tag::ByteArray) << QVariant::fromValue(QStringLiteral("x")) << "content ay, not s";
        QTest::newRow("Array of plain values")
            << int(tag::Array) << QVariant::fromValue(QStringList{"a"}) << "content a(yv), not as";
        QTest::newRow("bad element") << int(tag::Array)
                                     << QVariant::fromValue(TaggedList{{tag::Long, QVariant::fromValue(1)},
                                                                       {tag::Long, QVariant::fromValue(1.0)}})
                                     << "content i, not d";
        QVariant deep = QVariant::fromValue(TaggedList{});
        for (int i = 0; i < dbusvalue::kMaxArrayDepth; ++i)
            deep = QVariant::fromValue(TaggedList{{tag::Array, deep}});
        QTest::newRow("too deep") << int(tag::Array) << deep << "deeper than 16";
    }

    void refusedContent()
    {
        QFETCH(int, tagByte);
        QFETCH(QVariant, content);
        QFETCH(QString, reason);
        Variant out(int32_t(99));
        QString error;
        QVERIFY(!dbusvalue::decodeTagged(uint8_t(tagByte), content, out, error));
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    // The tags as a client spells them: gdbus writes each one from its text form.
    void gdbusSpellsEveryTag_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("Empty") << "(0x45, <byte 0>)"
                               << "Empty";
        QTest::newRow("Empty, any content") << "(0x45, <'whatever'>)"
                                            << "Empty";
        QTest::newRow("Null") << "(0x4e, <byte 0>)"
                              << "Null";
        QTest::newRow("Boolean") << "(0x62, <true>)"
                                 << "Boolean True";
        QTest::newRow("Byte") << "(0x79, <byte 200>)"
                              << "Byte 200";
        QTest::newRow("Integer") << "(0x6e, <int16 -5>)"
                                 << "Integer -5";
        QTest::newRow("Long") << "(0x69, <14>)"
                              << "Long 14";
        QTest::newRow("Single") << "(0x66, <1.5>)"
                                << "Single 1.5";
        QTest::newRow("Double") << "(0x64, <1.5>)"
                                << "Double 1.5";
        QTest::newRow("String") << "(0x73, <'show'>)"
                                << "String \"show\"";
        QTest::newRow("ByteArray") << "(0x42, <[byte 1, 255]>)"
                                   << "ByteArray(01 ff)";
        QTest::newRow("Array empty") << "(0x61, <@a(yv) []>)"
                                     << "Array()";
        QTest::newRow("Array") << "(0x61, <@a(yv) [(0x69, <1>), (0x45, <byte 0>), (0x61, <@a(yv) []>)]>)"
                               << "Array(Long 1, Empty, Array())";
    }

    void gdbusSpellsEveryTag()
    {
        QFETCH(QString, text);
        QFETCH(QString, decoded);
        const RunResult r = gdbusDescribe(text);
        QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(r.out.trimmed(), QStringLiteral("('%1',)").arg(decoded));
    }

    void gdbusMalformedIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown tag") << "(0x7a, <1>)"
                                     << "unknown tag 'z'";
        QTest::newRow("Long as text") << "(0x69, <'14'>)"
                                      << "needs the content i, not s";
        QTest::newRow("Single out of range") << "(0x66, <1e300>)"
                                             << "outside the Single range";
        QTest::newRow("Array of ints") << "(0x61, <[1, 2]>)"
                                       << "needs the content a(yv), not ai";
        QTest::newRow("bad element") << "(0x61, <@a(yv) [(0x69, <1>), (0x62, <1>)]>)"
                                     << "needs the content b, not i";
        QString deep = QStringLiteral("(0x61, <@a(yv) []>)");
        for (int i = 0; i < dbusvalue::kMaxArrayDepth; ++i)
            deep = QStringLiteral("(0x61, <@a(yv) [%1]>)").arg(deep);
        QTest::newRow("too deep") << deep << "deeper than 16";
    }

    void gdbusMalformedIsRefused()
    {
        QFETCH(QString, text);
        QFETCH(QString, reason);
        const RunResult r = gdbusDescribe(text);
        QVERIFY(r.finished);
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains(u"org.freedesktop.DBus.Error.InvalidArgs"), qPrintable(r.err));
        QVERIFY2(r.err.contains(reason), qPrintable(r.err));
        // The receiver is unharmed.
        QCOMPARE(echo(Variant(int32_t(7))), Variant(int32_t(7)));
    }
};

QTEST_GUILESS_MAIN(TestDBusValue)
#include "test_dbusvalue.moc"
