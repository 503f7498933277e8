#include "host/secondaryobjects.h"

namespace tarvisk {

int HostRobot::FinalInitialize(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalInitialize(id.value);
}

int HostRobot::FinalTerminate()
{
    return m_object.FinalTerminate();
}

int HostRobot::FinalAccelerate(int value1, int value2, int value3)
{
    return m_object.FinalAccelerate(value1, value2, value3);
}

int HostRobot::FinalChange(const QString &name)
{
    return m_object.FinalChange(name);
}

int HostRobot::FinalChuck(const QString &option)
{
    return m_object.FinalChuck(option);
}

int HostRobot::FinalDrive(int value1, int value2, const QString &option)
{
    return m_object.FinalDrive(value1, value2, option);
}

int HostRobot::FinalGoHome()
{
    return m_object.FinalGoHome();
}

int HostRobot::FinalHalt(const QString &option)
{
    return m_object.FinalHalt(option);
}

int HostRobot::FinalHold(const QString &option)
{
    return m_object.FinalHold(option);
}

int HostRobot::FinalMove(int value, const DBusValue &parameter, const QString &option)
{
    if (refused(parameter))
        return 0;
    return m_object.FinalMove(value, parameter.value, option);
}

int HostRobot::FinalRotate(const DBusValue &parameter1, int value, const DBusValue &parameter2, const QString &option)
{
    if (refused(parameter1))
        return 0;
    if (refused(parameter2))
        return 0;
    return m_object.FinalRotate(parameter1.value, value, parameter2.value, option);
}

int HostRobot::FinalSpeed(int value1, int value2)
{
    return m_object.FinalSpeed(value1, value2);
}

int HostRobot::FinalUnchuck(const QString &option)
{
    return m_object.FinalUnchuck(option);
}

int HostRobot::FinalUnhold(const QString &option)
{
    return m_object.FinalUnhold(option);
}

int HostRobot::FinalExecute(const QString &command, const DBusValue &parameter, DBusValue &result)
{
    if (refused(parameter))
        return 0;
    return withResult(result, [&](Variant &out) { return m_object.FinalExecute(command, parameter.value, out); });
}

int HostRobot::FinalGetAttribute(int &attribute)
{
    return m_object.FinalGetAttribute(attribute);
}

int HostRobot::FinalGetHelp(QString &help)
{
    return m_object.FinalGetHelp(help);
}

int HostRobot::FinalGetVariableNames(const QString &option, DBusValue &names)
{
    return withResult(names, [&](Variant &out) { return m_object.FinalGetVariableNames(option, out); });
}

int HostRobot::FinalGetID(DBusValue &id)
{
    return withResult(id, [&](Variant &out) { return m_object.FinalGetID(out); });
}

int HostRobot::FinalPutID(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalPutID(id.value);
}

int HostTask::FinalInitialize(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalInitialize(id.value);
}

int HostTask::FinalTerminate()
{
    return m_object.FinalTerminate();
}

int HostTask::FinalDelete(const QString &option)
{
    return m_object.FinalDelete(option);
}

int HostTask::FinalStart(int value, const QString &option)
{
    return m_object.FinalStart(value, option);
}

int HostTask::FinalStop(int value, const QString &option)
{
    return m_object.FinalStop(value, option);
}

int HostTask::FinalExecute(const QString &command, const DBusValue &parameter, DBusValue &result)
{
    if (refused(parameter))
        return 0;
    return withResult(result, [&](Variant &out) { return m_object.FinalExecute(command, parameter.value, out); });
}

int HostTask::FinalGetAttribute(int &attribute)
{
    return m_object.FinalGetAttribute(attribute);
}

int HostTask::FinalGetHelp(QString &help)
{
    return m_object.FinalGetHelp(help);
}

int HostTask::FinalGetFileName(QString &fileName)
{
    return m_object.FinalGetFileName(fileName);
}

int HostTask::FinalGetVariableNames(const QString &option, DBusValue &names)
{
    return withResult(names, [&](Variant &out) { return m_object.FinalGetVariableNames(option, out); });
}

int HostTask::FinalGetID(DBusValue &id)
{
    return withResult(id, [&](Variant &out) { return m_object.FinalGetID(out); });
}

int HostTask::FinalPutID(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalPutID(id.value);
}

int HostVariable::FinalInitialize(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalInitialize(id.value);
}

int HostVariable::FinalTerminate()
{
    return m_object.FinalTerminate();
}

int HostVariable::FinalGetAttribute(int &attribute)
{
    return m_object.FinalGetAttribute(attribute);
}

int HostVariable::FinalGetHelp(QString &help)
{
    return m_object.FinalGetHelp(help);
}

int HostVariable::FinalGetDateTime(DBusValue &dateTime)
{
    return withResult(dateTime, [&](Variant &out) { return m_object.FinalGetDateTime(out); });
}

int HostVariable::FinalGetValue(DBusValue &value)
{
    return withResult(value, [&](Variant &out) { return m_object.FinalGetValue(out); });
}

int HostVariable::FinalPutValue(const DBusValue &value)
{
    if (refused(value))
        return 0;
    return m_object.FinalPutValue(value.value);
}

int HostVariable::FinalGetID(DBusValue &id)
{
    return withResult(id, [&](Variant &out) { return m_object.FinalGetID(out); });
}

int HostVariable::FinalPutID(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalPutID(id.value);
}

int HostVariable::FinalGetMicrosecond(const DBusValue &argument, DBusValue &argumentOut)
{
    if (refused(argument))
        return 0;
    Variant value = argument.value;
    const int status = m_object.FinalGetMicrosecond(value);
    answer(value, argumentOut);
    return status;
}

int HostFile::FinalInitialize(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalInitialize(id.value);
}

int HostFile::FinalTerminate()
{
    return m_object.FinalTerminate();
}

int HostFile::FinalCopy(const QString &name, const QString &option)
{
    return m_object.FinalCopy(name, option);
}

int HostFile::FinalMove(const QString &name, const QString &option)
{
    return m_object.FinalMove(name, option);
}

int HostFile::FinalDelete(const QString &option)
{
    return m_object.FinalDelete(option);
}

int HostFile::FinalRun(const QString &option, QString &output)
{
    return m_object.FinalRun(option, output);
}

int HostFile::FinalExecute(const QString &command, const DBusValue &parameter, DBusValue &result)
{
    if (refused(parameter))
        return 0;
    return withResult(result, [&](Variant &out) { return m_object.FinalExecute(command, parameter.value, out); });
}

int HostFile::FinalGetAttribute(int &attribute)
{
    return m_object.FinalGetAttribute(attribute);
}

int HostFile::FinalGetDateCreated(DBusValue &dateCreated)
{
    return withResult(dateCreated, [&](Variant &out) { return m_object.FinalGetDateCreated(out); });
}

int HostFile::FinalGetDateLastAccessed(DBusValue &dateLastAccessed)
{
    return withResult(dateLastAccessed, [&](Variant &out) { return m_object.FinalGetDateLastAccessed(out); });
}

int HostFile::FinalGetDateLastModified(DBusValue &dateLastModified)
{
    return withResult(dateLastModified, [&](Variant &out) { return m_object.FinalGetDateLastModified(out); });
}

int HostFile::FinalGetHelp(QString &help)
{
    return m_object.FinalGetHelp(help);
}

int HostFile::FinalGetPath(QString &path)
{
    return m_object.FinalGetPath(path);
}

int HostFile::FinalGetSize(int &size)
{
    return m_object.FinalGetSize(size);
}

int HostFile::FinalGetType(QString &type)
{
    return m_object.FinalGetType(type);
}

int HostFile::FinalGetValue(DBusValue &value)
{
    return withResult(value, [&](Variant &out) { return m_object.FinalGetValue(out); });
}

int HostFile::FinalPutValue(const DBusValue &value)
{
    if (refused(value))
        return 0;
    return m_object.FinalPutValue(value.value);
}

int HostFile::FinalGetFileNames(const QString &option, DBusValue &names)
{
    return withResult(names, [&](Variant &out) { return m_object.FinalGetFileNames(option, out); });
}

int HostFile::FinalGetVariableNames(const QString &option, DBusValue &names)
{
    return withResult(names, [&](Variant &out) { return m_object.FinalGetVariableNames(option, out); });
}

int HostFile::FinalGetID(DBusValue &id)
{
    return withResult(id, [&](Variant &out) { return m_object.FinalGetID(out); });
}

int HostFile::FinalPutID(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalPutID(id.value);
}

int HostCommand::FinalInitialize(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalInitialize(id.value);
}

int HostCommand::FinalTerminate()
{
    return m_object.FinalTerminate();
}

int HostCommand::FinalExecute(int value, DBusValue &result)
{
    return withResult(result, [&](Variant &out) { return m_object.FinalExecute(value, out); });
}

int HostCommand::FinalCancel()
{
    return m_object.FinalCancel();
}

int HostCommand::FinalGetAttribute(int &attribute)
{
    return m_object.FinalGetAttribute(attribute);
}

int HostCommand::FinalGetHelp(QString &help)
{
    return m_object.FinalGetHelp(help);
}

int HostCommand::FinalGetParameters(DBusValue &parameters)
{
    return withResult(parameters, [&](Variant &out) { return m_object.FinalGetParameters(out); });
}

int HostCommand::FinalPutParameters(const DBusValue &parameters)
{
    if (refused(parameters))
        return 0;
    return m_object.FinalPutParameters(parameters.value);
}

int HostCommand::FinalGetState(int &state)
{
    return m_object.FinalGetState(state);
}

int HostCommand::FinalGetTimeout(int &timeout)
{
    return m_object.FinalGetTimeout(timeout);
}

int HostCommand::FinalPutTimeout(int value)
{
    return m_object.FinalPutTimeout(value);
}

int HostCommand::FinalGetID(DBusValue &id)
{
    return withResult(id, [&](Variant &out) { return m_object.FinalGetID(out); });
}

int HostCommand::FinalPutID(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalPutID(id.value);
}

int HostExtension::FinalInitialize(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalInitialize(id.value);
}

int HostExtension::FinalTerminate()
{
    return m_object.FinalTerminate();
}

int HostExtension::FinalExecute(const QString &command, const DBusValue &parameter, DBusValue &result)
{
    if (refused(parameter))
        return 0;
    return withResult(result, [&](Variant &out) { return m_object.FinalExecute(command, parameter.value, out); });
}

int HostExtension::FinalGetAttribute(int &attribute)
{
    return m_object.FinalGetAttribute(attribute);
}

int HostExtension::FinalGetHelp(QString &help)
{
    return m_object.FinalGetHelp(help);
}

int HostExtension::FinalGetVariableNames(const QString &option, DBusValue &names)
{
    return withResult(names, [&](Variant &out) { return m_object.FinalGetVariableNames(option, out); });
}

int HostExtension::FinalGetID(DBusValue &id)
{
    return withResult(id, [&](Variant &out) { return m_object.FinalGetID(out); });
}

int HostExtension::FinalPutID(const DBusValue &id)
{
    if (refused(id))
        return 0;
    return m_object.FinalPutID(id.value);
}

} // namespace tarvisk
