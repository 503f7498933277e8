// Writes the seed corpus of link_datagram_fuzzer into the folder given as the argument: one
// datagram of every kind and value type, plus the lenient and hostile forms the decoder must take
// or refuse.

#include "link/linkwire.h"

#include <QDir>
#include <QFile>

#include <cstdio>

using namespace tarvisk;
using linkwire::Datagram;
using linkwire::Kind;

namespace {

Datagram make(Kind kind, const Variant &value = Variant())
{
    Datagram d;
    d.kind = kind;
    d.sequence = 7;
    d.value = value;
    return d;
}

Variant nested(int depth)
{
    Variant v(int32_t(1));
    for (int i = 0; i < depth; ++i)
        v = Variant::array({v, Variant()});
    return v;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path()))
        return 1;
    QList<QByteArray> seeds;

    Datagram hello = make(Kind::Hello);
    hello.name = QStringLiteral("TPComm");
    seeds << linkwire::encode(hello);
    Datagram keys = make(Kind::Exec, Variant(QByteArray::fromHex("0840000000000000")));
    keys.command = QStringLiteral("SetKeyState");
    seeds << linkwire::encode(keys);
    keys.heartbeat = true;
    seeds << linkwire::encode(keys);
    Datagram set = make(Kind::Set, Variant(true));
    set.name = QStringLiteral("@Enabled");
    seeds << linkwire::encode(set);
    Datagram reply = make(Kind::Reply, Variant::null());
    reply.replyTo = 3;
    seeds << linkwire::encode(reply);
    seeds << linkwire::encode(make(Kind::Close));
    Datagram ping = make(Kind::Ping);
    ping.session = 0x2f6b9ac1;
    seeds << linkwire::encode(ping);
    Datagram pong = make(Kind::Pong);
    pong.replyTo = 7;
    seeds << linkwire::encode(pong);

    const Variant everyType =
        Variant::array({Variant(), Variant::null(), Variant(true), Variant(uint8_t(200)), Variant(int16_t(-2)),
                        Variant(int32_t(-100000)), Variant(1.5f), Variant(0.1), Variant(QStringLiteral("é€")),
                        Variant(QByteArray::fromHex("00ff")), Variant(VariantArray())});
    const Variant drawing = Variant::array({
        Variant::array({Variant(int32_t(0x11)), Variant(int32_t(15))}),
        Variant::array({Variant(int32_t(0x20)), Variant::array({Variant("READY"), Variant(int32_t(2)),
                                                                Variant(int32_t(1)), Variant(), Variant()})}),
        Variant::array(
            {Variant(int32_t(0x30)), Variant::array({Variant(0.5f), Variant(20.0f), Variant(125.5f), Variant(20.0f)})}),
    });
    for (const Variant &v : {Variant(int32_t(500)), everyType, drawing, nested(31)}) {
        Datagram msg = make(Kind::Message, v);
        msg.number = 259;
        seeds << linkwire::encode(msg);
    }
    // Forms other encoders produce: no sequence, indefinite map, chunked text, half floats,
    // wide integers, unknown keys holding maps and tags.
    for (const char *hex :
         {"a2616b636d7367626e6f00", "bf616b7f626d736167ff626e6f20ff", "a3616b636d7367626e6f1901006176f93e00",
          "a4616b636d7367626e6f1b00000000000001016178a1616bc11a5f0000006176d9e004f93e00",
          "a3616b636d7367626e6f016176"
          "9f5f41014102ff7f6141ff1b0000010000000000ff",
          "a2616b637a6170626e6f01"}) {
        seeds << QByteArray::fromHex(hex);
    }
    // Just past the nesting cap.
    QByteArray deep = QByteArray::fromHex("a3616b636d7367626e6f016176");
    deep.append(QByteArray(33, char(0x81)));
    deep.append(char(0x01));
    seeds << deep;

    int n = 0;
    for (const QByteArray &seed : seeds) {
        QFile f(dir.filePath(QStringLiteral("seed-%1.cbor").arg(++n, 2, 10, QLatin1Char('0'))));
        if (!f.open(QIODevice::WriteOnly) || f.write(seed) != seed.size())
            return 1;
    }
    std::printf("%d seeds in %s\n", n, argv[1]);
    return 0;
}
