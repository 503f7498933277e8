#pragma once

#include "host/hostobjects.h"
#include "provider/secondary.h"

namespace tarvisk {

// The bus side of the robot, task, variable, file, command and extension objects: each holds
// its provider object and hands every operation through unchanged.

// ZephProv.IProviderRobot
class HostRobot : public HostObject
{
    Q_OBJECT
public:
    using HostObject::HostObject;

    int FinalInitialize(const DBusValue &id);
    int FinalTerminate();
    int FinalAccelerate(int value1, int value2, int value3);
    int FinalChange(const QString &name);
    int FinalChuck(const QString &option);
    int FinalDrive(int value1, int value2, const QString &option);
    int FinalGoHome();
    int FinalHalt(const QString &option);
    int FinalHold(const QString &option);
    int FinalMove(int value, const DBusValue &parameter, const QString &option);
    int FinalRotate(const DBusValue &parameter1, int value, const DBusValue &parameter2, const QString &option);
    int FinalSpeed(int value1, int value2);
    int FinalUnchuck(const QString &option);
    int FinalUnhold(const QString &option);
    int FinalExecute(const QString &command, const DBusValue &parameter, DBusValue &result);
    int FinalGetAttribute(int &attribute);
    int FinalGetHelp(QString &help);
    int FinalGetVariableNames(const QString &option, DBusValue &names);
    int FinalGetID(DBusValue &id);
    int FinalPutID(const DBusValue &id);

private:
    ProvRobot m_object;
};

// ZephProv.IProviderTask
class HostTask : public HostObject
{
    Q_OBJECT
public:
    using HostObject::HostObject;

    int FinalInitialize(const DBusValue &id);
    int FinalTerminate();
    int FinalDelete(const QString &option);
    int FinalStart(int value, const QString &option);
    int FinalStop(int value, const QString &option);
    int FinalExecute(const QString &command, const DBusValue &parameter, DBusValue &result);
    int FinalGetAttribute(int &attribute);
    int FinalGetHelp(QString &help);
    int FinalGetFileName(QString &fileName);
    int FinalGetVariableNames(const QString &option, DBusValue &names);
    int FinalGetID(DBusValue &id);
    int FinalPutID(const DBusValue &id);

private:
    ProvTask m_object;
};

// ZephProv.IProviderVariable
class HostVariable : public HostObject
{
    Q_OBJECT
public:
    using HostObject::HostObject;

    int FinalInitialize(const DBusValue &id);
    int FinalTerminate();
    int FinalGetAttribute(int &attribute);
    int FinalGetHelp(QString &help);
    int FinalGetDateTime(DBusValue &dateTime);
    int FinalGetValue(DBusValue &value);
    int FinalPutValue(const DBusValue &value);
    int FinalGetID(DBusValue &id);
    int FinalPutID(const DBusValue &id);
    int FinalGetMicrosecond(const DBusValue &argument, DBusValue &argumentOut);

private:
    ProvVariable m_object;
};

// ZephProv.IProviderFile
class HostFile : public HostObject
{
    Q_OBJECT
public:
    using HostObject::HostObject;

    int FinalInitialize(const DBusValue &id);
    int FinalTerminate();
    int FinalCopy(const QString &name, const QString &option);
    int FinalMove(const QString &name, const QString &option);
    int FinalDelete(const QString &option);
    int FinalRun(const QString &option, QString &output);
    int FinalExecute(const QString &command, const DBusValue &parameter, DBusValue &result);
    int FinalGetAttribute(int &attribute);
    int FinalGetDateCreated(DBusValue &dateCreated);
    int FinalGetDateLastAccessed(DBusValue &dateLastAccessed);
    int FinalGetDateLastModified(DBusValue &dateLastModified);
    int FinalGetHelp(QString &help);
    int FinalGetPath(QString &path);
    int FinalGetSize(int &size);
    int FinalGetType(QString &type);
    int FinalGetValue(DBusValue &value);
    int FinalPutValue(const DBusValue &value);
    int FinalGetFileNames(const QString &option, DBusValue &names);
    int FinalGetVariableNames(const QString &option, DBusValue &names);
    int FinalGetID(DBusValue &id);
    int FinalPutID(const DBusValue &id);

private:
    ProvFile m_object;
};

// ZephProv.IProviderCommand
class HostCommand : public HostObject
{
    Q_OBJECT
public:
    using HostObject::HostObject;

    int FinalInitialize(const DBusValue &id);
    int FinalTerminate();
    int FinalExecute(int value, DBusValue &result);
    int FinalCancel();
    int FinalGetAttribute(int &attribute);
    int FinalGetHelp(QString &help);
    int FinalGetParameters(DBusValue &parameters);
    int FinalPutParameters(const DBusValue &parameters);
    int FinalGetState(int &state);
    int FinalGetTimeout(int &timeout);
    int FinalPutTimeout(int value);
    int FinalGetID(DBusValue &id);
    int FinalPutID(const DBusValue &id);

private:
    ProvCommand m_object;
};

// ZephProv.IProviderExtension
class HostExtension : public HostObject
{
    Q_OBJECT
public:
    using HostObject::HostObject;

    int FinalInitialize(const DBusValue &id);
    int FinalTerminate();
    int FinalExecute(const QString &command, const DBusValue &parameter, DBusValue &result);
    int FinalGetAttribute(int &attribute);
    int FinalGetHelp(QString &help);
    int FinalGetVariableNames(const QString &option, DBusValue &names);
    int FinalGetID(DBusValue &id);
    int FinalPutID(const DBusValue &id);

private:
    ProvExtension m_object;
};

} // namespace tarvisk
