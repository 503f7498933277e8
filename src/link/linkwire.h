#pragma once

#include "common/variant.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

// The datagrams of the pendant link. Every datagram is one CBOR map with text keys; values use the
// mapping of link/cborvariant.h. docs/link-protocol.md is the reference for the controller's side.
namespace tarvisk::linkwire {

// 2: every pendant datagram carries the session id of its link opening; "ping" and "pong".
inline constexpr quint32 ProtocolVersion = 2;

// Larger datagrams are neither sent nor accepted. Far above any key state or drawing list, and
// below the 65507-byte payload limit of UDP over IPv4 so that an oversized datagram is detectable.
inline constexpr qsizetype MaxDatagramSize = 32 * 1024;

enum class Kind {
    Hello,   // pendant: the link opened
    Exec,    // pendant: Execute of a command with its parameter (also the key-state heartbeat)
    Set,     // pendant: a variable write
    Reply,   // pendant: the answer to a controller message
    Close,   // pendant: the link closed
    Ping,    // pendant: asks the controller for a sign of life
    Message, // controller: a message for the pendant windows
    Pong,    // controller: the answer to a ping
};

// Whether the pendant sends datagrams of this kind (the controller sends the others).
bool isPendantKind(Kind kind);

QString kindName(Kind kind);

struct Datagram
{
    Kind kind = Kind::Message;
    // Counts the sender's datagrams from 0 (the hello) up by one each; always sent by the pendant,
    // optional in a controller message.
    std::optional<quint32> sequence;
    // The identity of the pendant's link opening, drawn at random at every Open; always sent by
    // the pendant. A controller tells a new opening by it when the hello was lost.
    std::optional<quint32> session;
    quint32 version = ProtocolVersion; // Hello
    QString name;                      // Hello: the name given to Open; Set: the variable name
    QString command;                   // Exec
    Variant value;                     // Exec parameter, Set value, Reply value, Message value
    int32_t number = 0;                // Message and Reply: the message number
    std::optional<quint32> replyTo;    // Reply, Pong: the sequence number of the message or ping answered
    bool heartbeat = false;            // Exec: a periodic repeat of the last key state

    bool operator==(const Datagram &other) const;
};

// The CBOR bytes of a datagram. Throws ProvError 13 when the value holds an Object and 5 when it
// nests too deeply or the datagram would exceed MaxDatagramSize.
QByteArray encode(const Datagram &datagram);

enum class DecodeStatus {
    Ok,
    Malformed,   // not one well-formed CBOR map of this protocol
    TooDeep,     // a value nests arrays deeper than cbor::MaxNesting
    TooLarge,    // more than MaxDatagramSize bytes
    UnknownKind, // well formed, but of a kind this version does not know
};

struct Decoded
{
    DecodeStatus status = DecodeStatus::Malformed;
    Datagram datagram; // meaningful when status is Ok
};

// Never throws; any input gives a status.
Decoded decode(QByteArrayView bytes);

} // namespace tarvisk::linkwire
