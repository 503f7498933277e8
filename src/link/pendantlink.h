#pragma once

#include "common/proverror.h"
#include "common/variant.h"

#include <QObject>
#include <QString>

#include <memory>

namespace tarvisk {

// A link option that cannot be used: which part of the endpoint, the value given and why, so that
// an opener can name the place the value came from (an argument, a field of a dialog).
class LinkOptionError : public ProvError
{
public:
    enum class Part { ControllerAddress, ControllerPort, OwnAddress, OwnPort };

    LinkOptionError(const QString &description, Part part, QString value, QString reason)
        : ProvError(ErrInvalidArgument, description)
        , m_part(part)
        , m_value(std::move(value))
        , m_reason(std::move(reason))
    {}

    Part part() const { return m_part; }
    const QString &value() const { return m_value; }
    // What is wrong with the value, e.g. "is no IP address".
    const QString &reason() const { return m_reason; }

private:
    Part m_part;
    QString m_value;
    QString m_reason;
};

class LinkHealth;

// A message raised by the link: what the controller sent, and the way to answer it.
class ILinkMessage
{
public:
    virtual ~ILinkMessage() = default;
    virtual int32_t Number() const = 0;
    virtual Variant Value() const = 0;
    virtual void Reply(const Variant &value) = 0;
};

// A variable of the link, read and written through its Value.
class ILinkVariable
{
public:
    virtual ~ILinkVariable() = default;
    virtual Variant Value() const = 0;
    virtual void setValue(const Variant &value) = 0;
};

// The pendant link: carries key states to the robot controller and raises the controller's
// messages as OnMessage on the user-interface thread. Every operation throws ProvError on failure.
class IPendantLink : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~IPendantLink() override = default;

    virtual void Open(const QString &name, const QString &options) = 0;
    virtual std::shared_ptr<ILinkVariable> GetVariable(const QString &name, const QString &options) = 0;
    virtual Variant Execute(const QString &command, const Variant &parameter) = 0;
    virtual void Close() = 0;

    // Whether the controller answers, for the windows to show; none when the link cannot tell.
    virtual const LinkHealth *health() const { return nullptr; }

signals:
    // lOption is not used by the windows.
    void OnMessage(tarvisk::ILinkMessage &pZephProvMessage, qint32 lOption);
};

} // namespace tarvisk
