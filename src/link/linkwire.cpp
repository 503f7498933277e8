#include "link/linkwire.h"

#include "link/cborvariant.h"

#include <QCborStreamReader>
#include <QCborStreamWriter>

namespace tarvisk::linkwire {

namespace {

constexpr auto KeyKind = QLatin1StringView("k");
constexpr auto KeySequence = QLatin1StringView("s");
constexpr auto KeySession = QLatin1StringView("sid");
constexpr auto KeyVersion = QLatin1StringView("ver");
constexpr auto KeyName = QLatin1StringView("n");
constexpr auto KeyCommand = QLatin1StringView("c");
constexpr auto KeyValue = QLatin1StringView("v");
constexpr auto KeyNumber = QLatin1StringView("no");
constexpr auto KeyReplyTo = QLatin1StringView("re");
constexpr auto KeyHeartbeat = QLatin1StringView("hb");

struct KindText
{
    Kind kind;
    QLatin1StringView text;
};

constexpr KindText kindTexts[] = {
    {Kind::Hello, QLatin1StringView("hello")}, {Kind::Exec, QLatin1StringView("exec")},
    {Kind::Set, QLatin1StringView("set")},     {Kind::Reply, QLatin1StringView("reply")},
    {Kind::Close, QLatin1StringView("close")}, {Kind::Ping, QLatin1StringView("ping")},
    {Kind::Message, QLatin1StringView("msg")}, {Kind::Pong, QLatin1StringView("pong")},
};

std::optional<Kind> kindFromText(const QString &text)
{
    for (const KindText &k : kindTexts) {
        if (text == k.text)
            return k.kind;
    }
    return std::nullopt;
}

// The map entries of a datagram as they were found; a key met twice makes the datagram malformed.
struct Fields
{
    std::optional<QString> kind, name, command;
    std::optional<quint32> sequence, session, version, replyTo;
    std::optional<Variant> value;
    std::optional<int32_t> number;
    std::optional<bool> heartbeat;
};

DecodeStatus fromRead(cbor::ReadStatus s)
{
    return s == cbor::ReadStatus::TooDeep ? DecodeStatus::TooDeep : DecodeStatus::Malformed;
}

DecodeStatus readText(QCborStreamReader &r, qsizetype maxChunk, std::optional<QString> *out)
{
    if (out->has_value() || !r.isString())
        return DecodeStatus::Malformed;
    Variant v;
    if (cbor::readVariant(r, &v, maxChunk, 0) != cbor::ReadStatus::Ok)
        return DecodeStatus::Malformed;
    *out = v.toString();
    return DecodeStatus::Ok;
}

DecodeStatus readUnsigned32(QCborStreamReader &r, std::optional<quint32> *out)
{
    if (out->has_value() || !r.isUnsignedInteger() || r.toUnsignedInteger() > 0xFFFFFFFFu)
        return DecodeStatus::Malformed;
    *out = quint32(r.toUnsignedInteger());
    r.next();
    return r.lastError() == QCborError::NoError ? DecodeStatus::Ok : DecodeStatus::Malformed;
}

DecodeStatus readNumber(QCborStreamReader &r, qsizetype maxChunk, std::optional<int32_t> *out)
{
    if (out->has_value())
        return DecodeStatus::Malformed;
    Variant v;
    if (cbor::readVariant(r, &v, maxChunk, 0) != cbor::ReadStatus::Ok)
        return DecodeStatus::Malformed;
    switch (v.type()) {
    case Variant::Type::Byte:
    case Variant::Type::Integer:
    case Variant::Type::Long:
        *out = v.toLong();
        return DecodeStatus::Ok;
    default:
        return DecodeStatus::Malformed;
    }
}

DecodeStatus readField(QCborStreamReader &r, const QString &key, qsizetype maxChunk, Fields *f)
{
    if (key == KeyKind)
        return readText(r, maxChunk, &f->kind);
    if (key == KeySequence)
        return readUnsigned32(r, &f->sequence);
    if (key == KeySession)
        return readUnsigned32(r, &f->session);
    if (key == KeyVersion)
        return readUnsigned32(r, &f->version);
    if (key == KeyName)
        return readText(r, maxChunk, &f->name);
    if (key == KeyCommand)
        return readText(r, maxChunk, &f->command);
    if (key == KeyReplyTo)
        return readUnsigned32(r, &f->replyTo);
    if (key == KeyNumber)
        return readNumber(r, maxChunk, &f->number);
    if (key == KeyValue) {
        if (f->value.has_value())
            return DecodeStatus::Malformed;
        Variant v;
        const cbor::ReadStatus s = cbor::readVariant(r, &v, maxChunk);
        if (s != cbor::ReadStatus::Ok)
            return fromRead(s);
        f->value = std::move(v);
        return DecodeStatus::Ok;
    }
    if (key == KeyHeartbeat) {
        if (f->heartbeat.has_value() || !(r.isTrue() || r.isFalse()))
            return DecodeStatus::Malformed;
        f->heartbeat = r.isTrue();
        r.next();
        return r.lastError() == QCborError::NoError ? DecodeStatus::Ok : DecodeStatus::Malformed;
    }
    // Later versions may add keys; their values are passed over.
    const cbor::ReadStatus s = cbor::skipItem(r, maxChunk);
    return s == cbor::ReadStatus::Ok ? DecodeStatus::Ok : fromRead(s);
}

// Checks that a kind has what it needs and carries it into the datagram.
DecodeStatus assemble(Fields &f, Datagram *d)
{
    const std::optional<Kind> kind = kindFromText(*f.kind);
    if (!kind)
        return DecodeStatus::UnknownKind;
    d->kind = *kind;
    d->sequence = f.sequence;
    d->session = f.session;
    if (isPendantKind(d->kind) && !f.sequence)
        return DecodeStatus::Malformed;
    switch (d->kind) {
    case Kind::Hello:
        if (!f.version || !f.name)
            return DecodeStatus::Malformed;
        d->version = *f.version;
        d->name = *f.name;
        break;
    case Kind::Exec:
        if (!f.command || !f.value)
            return DecodeStatus::Malformed;
        d->command = *f.command;
        d->value = *f.value;
        d->heartbeat = f.heartbeat.value_or(false);
        break;
    case Kind::Set:
        if (!f.name || !f.value)
            return DecodeStatus::Malformed;
        d->name = *f.name;
        d->value = *f.value;
        break;
    case Kind::Reply:
        if (!f.number || !f.value)
            return DecodeStatus::Malformed;
        d->number = *f.number;
        d->replyTo = f.replyTo;
        d->value = *f.value;
        break;
    case Kind::Close:
    case Kind::Ping:
        break;
    case Kind::Message:
        if (!f.number)
            return DecodeStatus::Malformed;
        d->number = *f.number;
        d->value = f.value.value_or(Variant());
        break;
    case Kind::Pong:
        d->replyTo = f.replyTo;
        break;
    }
    return DecodeStatus::Ok;
}

} // namespace

bool isPendantKind(Kind kind)
{
    return kind != Kind::Message && kind != Kind::Pong;
}

QString kindName(Kind kind)
{
    for (const KindText &k : kindTexts) {
        if (k.kind == kind)
            return k.text;
    }
    return {};
}

bool Datagram::operator==(const Datagram &o) const
{
    return kind == o.kind && sequence == o.sequence && session == o.session && version == o.version && name == o.name &&
           command == o.command && value == o.value && number == o.number && replyTo == o.replyTo &&
           heartbeat == o.heartbeat;
}

QByteArray encode(const Datagram &d)
{
    int entries = 1 + (d.sequence ? 1 : 0) + (d.session ? 1 : 0);
    switch (d.kind) {
    case Kind::Hello:
    case Kind::Set:
        entries += 2;
        break;
    case Kind::Exec:
        entries += d.heartbeat ? 3 : 2;
        break;
    case Kind::Reply:
        entries += d.replyTo ? 3 : 2;
        break;
    case Kind::Close:
    case Kind::Ping:
        break;
    case Kind::Message:
        entries += 2;
        break;
    case Kind::Pong:
        entries += d.replyTo ? 1 : 0;
        break;
    }

    QByteArray out;
    QCborStreamWriter w(&out);
    w.startMap(quint64(entries));
    w.append(KeyKind);
    w.append(kindName(d.kind));
    if (d.sequence) {
        w.append(KeySequence);
        w.append(quint64(*d.sequence));
    }
    if (d.session) {
        w.append(KeySession);
        w.append(quint64(*d.session));
    }
    const auto appendValue = [&] {
        w.append(KeyValue);
        cbor::writeVariant(w, d.value);
    };
    switch (d.kind) {
    case Kind::Hello:
        w.append(KeyVersion);
        w.append(quint64(d.version));
        w.append(KeyName);
        w.append(QStringView(d.name));
        break;
    case Kind::Exec:
        w.append(KeyCommand);
        w.append(QStringView(d.command));
        appendValue();
        if (d.heartbeat) {
            w.append(KeyHeartbeat);
            w.append(true);
        }
        break;
    case Kind::Set:
        w.append(KeyName);
        w.append(QStringView(d.name));
        appendValue();
        break;
    case Kind::Reply:
        w.append(KeyNumber);
        w.append(qint64(d.number));
        if (d.replyTo) {
            w.append(KeyReplyTo);
            w.append(quint64(*d.replyTo));
        }
        appendValue();
        break;
    case Kind::Close:
    case Kind::Ping:
        break;
    case Kind::Message:
        w.append(KeyNumber);
        w.append(qint64(d.number));
        appendValue();
        break;
    case Kind::Pong:
        if (d.replyTo) {
            w.append(KeyReplyTo);
            w.append(quint64(*d.replyTo));
        }
        break;
    }
    w.endMap();
    if (out.size() > MaxDatagramSize)
        raiseError(ErrInvalidArgument,
                   QStringLiteral("The pendant link datagram would be %1 bytes long; at most %2 can be sent")
                       .arg(out.size())
                       .arg(MaxDatagramSize));
    return out;
}

Decoded decode(QByteArrayView bytes)
{
    Decoded result;
    if (bytes.size() > MaxDatagramSize) {
        result.status = DecodeStatus::TooLarge;
        return result;
    }
    const qsizetype maxChunk = bytes.size();
    QCborStreamReader r(bytes.data(), bytes.size());
    if (r.lastError() != QCborError::NoError || !r.isMap() || !r.enterContainer())
        return result;
    Fields fields;
    while (r.hasNext()) {
        if (!r.isString())
            return result;
        Variant key;
        if (cbor::readVariant(r, &key, maxChunk, 0) != cbor::ReadStatus::Ok)
            return result;
        // A map whose last key has no value ends the container early.
        if (!r.hasNext())
            return result;
        const DecodeStatus s = readField(r, key.toString(), maxChunk, &fields);
        if (s != DecodeStatus::Ok) {
            result.status = s;
            return result;
        }
    }
    if (r.lastError() != QCborError::NoError || !r.leaveContainer() || r.lastError() != QCborError::NoError ||
        r.currentOffset() != bytes.size() || !fields.kind)
        return result;
    result.status = assemble(fields, &result.datagram);
    return result;
}

} // namespace tarvisk::linkwire
