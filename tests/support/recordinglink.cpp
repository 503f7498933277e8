#include "support/recordinglink.h"

#include "common/proverror.h"

namespace tarvisk::testing {

namespace {

class LinkVariable : public ILinkVariable
{
public:
    explicit LinkVariable(RecordingLink *link)
        : m_link(link)
    {}
    Variant Value() const override { return m_link->enabled; }
    void setValue(const Variant &v) override { m_link->enabled = v; }

private:
    RecordingLink *m_link;
};

} // namespace

void RecordingLink::Open(const QString &name, const QString &options)
{
    openedName = name;
    openedOptions = options;
    if (failOpen)
        raiseError(ErrInvalidArgument, QStringLiteral("bad options"));
}

std::shared_ptr<ILinkVariable> RecordingLink::GetVariable(const QString &name, const QString &)
{
    variableName = name;
    return std::make_shared<LinkVariable>(this);
}

Variant RecordingLink::Execute(const QString &command, const Variant &parameter)
{
    executed << qMakePair(command, parameter);
    commands << command;
    bitmaps << (parameter.bytes() ? *parameter.bytes() : QByteArray());
    return {};
}

void RecordingLink::Close()
{
    ++closes;
    if (failClose)
        raiseError(ErrInvalidArgument);
}

void RecordingLink::clearExecuted()
{
    executed.clear();
    commands.clear();
    bitmaps.clear();
}

} // namespace tarvisk::testing
