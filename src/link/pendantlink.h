#pragma once

#include "common/variant.h"

#include <QObject>
#include <QString>

#include <memory>

namespace tarvisk {

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

signals:
    // lOption is not used by the windows.
    void OnMessage(tarvisk::ILinkMessage &pZephProvMessage, qint32 lOption);
};

} // namespace tarvisk
