#pragma once

#include "link/pendantlink.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QStringList>

namespace tarvisk::testing {

// A pendant link that records what the pendant asks of it and lets the test raise the
// controller's messages.
class RecordingLink : public IPendantLink
{
public:
    void Open(const QString &name, const QString &options) override;
    // A variable whose value lives in `enabled`.
    std::shared_ptr<ILinkVariable> GetVariable(const QString &name, const QString &options) override;
    Variant Execute(const QString &command, const Variant &parameter) override;
    void Close() override;

    // The controller's message, raised as the link raises it.
    void raise(ILinkMessage &message) { emit OnMessage(message, 0); }
    // Forgets what Execute recorded.
    void clearExecuted();

    // Open fails with 5 (the options refused); Close fails with 5 after it counted.
    bool failOpen = false;
    bool failClose = false;

    QString openedName;
    QString openedOptions;
    QString variableName;
    Variant enabled;
    // Every Execute: the command and its parameter; the bytes of a byte-array parameter.
    QList<QPair<QString, Variant>> executed;
    QStringList commands;
    QList<QByteArray> bitmaps;
    int closes = 0;
};

// A message of the controller as the link hands it over; records the replies.
class FakeLinkMessage : public ILinkMessage
{
public:
    FakeLinkMessage(int32_t number, Variant value)
        : number(number)
        , value(std::move(value))
    {}
    int32_t Number() const override { return number; }
    Variant Value() const override { return value; }
    void Reply(const Variant &v) override { replies << v; }

    int32_t number;
    Variant value;
    QList<Variant> replies;
};

} // namespace tarvisk::testing
