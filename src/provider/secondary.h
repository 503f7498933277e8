#pragma once

#include "common/variant.h"

#include <QString>

#include <cstdint>

namespace tarvisk {

// The robot, task, variable, file, command and extension objects a provider offers beside the
// controller. This provider emulates only a pendant: they hold no state, every operation
// succeeds, and every query answers a neutral value (0, empty text or Empty). Values passed
// in are dropped, so a get never returns what a put gave.

// Implements IProviderRobot; operations in slot order.
class ProvRobot
{
public:
    int32_t FinalInitialize(const Variant &) { return 0; }
    int32_t FinalTerminate() { return 0; }
    int32_t FinalAccelerate(int32_t, int32_t, int32_t) { return 0; }
    int32_t FinalChange(const QString &) { return 0; }
    int32_t FinalChuck(const QString &) { return 0; }
    int32_t FinalDrive(int32_t, int32_t, const QString &) { return 0; }
    int32_t FinalGoHome() { return 0; }
    int32_t FinalHalt(const QString &) { return 0; }
    int32_t FinalHold(const QString &) { return 0; }
    int32_t FinalMove(int32_t, const Variant &, const QString &) { return 0; }
    int32_t FinalRotate(const Variant &, int32_t, const Variant &, const QString &) { return 0; }
    int32_t FinalSpeed(int32_t, int32_t) { return 0; }
    int32_t FinalUnchuck(const QString &) { return 0; }
    int32_t FinalUnhold(const QString &) { return 0; }
    int32_t FinalExecute(const QString &, const Variant &, Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetAttribute(int32_t &out)
    {
        out = 0;
        return 0;
    }
    int32_t FinalGetHelp(QString &out)
    {
        out.clear();
        return 0;
    }
    int32_t FinalGetVariableNames(const QString &, Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetID(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalPutID(const Variant &) { return 0; }
};

// Implements IProviderTask; operations in slot order.
class ProvTask
{
public:
    int32_t FinalInitialize(const Variant &) { return 0; }
    int32_t FinalTerminate() { return 0; }
    int32_t FinalDelete(const QString &) { return 0; }
    int32_t FinalStart(int32_t, const QString &) { return 0; }
    int32_t FinalStop(int32_t, const QString &) { return 0; }
    int32_t FinalExecute(const QString &, const Variant &, Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetAttribute(int32_t &out)
    {
        out = 0;
        return 0;
    }
    int32_t FinalGetHelp(QString &out)
    {
        out.clear();
        return 0;
    }
    int32_t FinalGetFileName(QString &out)
    {
        out.clear();
        return 0;
    }
    int32_t FinalGetVariableNames(const QString &, Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetID(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalPutID(const Variant &) { return 0; }
};

// Implements IProviderVariable; operations in slot order.
class ProvVariable
{
public:
    int32_t FinalInitialize(const Variant &) { return 0; }
    int32_t FinalTerminate() { return 0; }
    int32_t FinalGetAttribute(int32_t &out)
    {
        out = 0;
        return 0;
    }
    int32_t FinalGetHelp(QString &out)
    {
        out.clear();
        return 0;
    }
    int32_t FinalGetDateTime(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetValue(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalPutValue(const Variant &) { return 0; }
    int32_t FinalGetID(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalPutID(const Variant &) { return 0; }
    int32_t FinalGetMicrosecond(Variant &) { return 0; }
};

// Implements IProviderFile; operations in slot order.
class ProvFile
{
public:
    int32_t FinalInitialize(const Variant &) { return 0; }
    int32_t FinalTerminate() { return 0; }
    int32_t FinalCopy(const QString &, const QString &) { return 0; }
    int32_t FinalMove(const QString &, const QString &) { return 0; }
    int32_t FinalDelete(const QString &) { return 0; }
    int32_t FinalRun(const QString &, QString &out)
    {
        out.clear();
        return 0;
    }
    int32_t FinalExecute(const QString &, const Variant &, Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetAttribute(int32_t &out)
    {
        out = 0;
        return 0;
    }
    int32_t FinalGetDateCreated(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetDateLastAccessed(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetDateLastModified(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetHelp(QString &out)
    {
        out.clear();
        return 0;
    }
    int32_t FinalGetPath(QString &out)
    {
        out.clear();
        return 0;
    }
    int32_t FinalGetSize(int32_t &out)
    {
        out = 0;
        return 0;
    }
    int32_t FinalGetType(QString &out)
    {
        out.clear();
        return 0;
    }
    int32_t FinalGetValue(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalPutValue(const Variant &) { return 0; }
    int32_t FinalGetFileNames(const QString &, Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetVariableNames(const QString &, Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetID(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalPutID(const Variant &) { return 0; }
};

// Implements IProviderCommand; operations in slot order.
class ProvCommand
{
public:
    int32_t FinalInitialize(const Variant &) { return 0; }
    int32_t FinalTerminate() { return 0; }
    int32_t FinalExecute(int32_t, Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalCancel() { return 0; }
    int32_t FinalGetAttribute(int32_t &out)
    {
        out = 0;
        return 0;
    }
    int32_t FinalGetHelp(QString &out)
    {
        out.clear();
        return 0;
    }
    int32_t FinalGetParameters(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalPutParameters(const Variant &) { return 0; }
    int32_t FinalGetState(int32_t &out)
    {
        out = 0;
        return 0;
    }
    int32_t FinalGetTimeout(int32_t &out)
    {
        out = 0;
        return 0;
    }
    int32_t FinalPutTimeout(int32_t) { return 0; }
    int32_t FinalGetID(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalPutID(const Variant &) { return 0; }
};

// Implements IProviderExtension; operations in slot order.
class ProvExtension
{
public:
    int32_t FinalInitialize(const Variant &) { return 0; }
    int32_t FinalTerminate() { return 0; }
    int32_t FinalExecute(const QString &, const Variant &, Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetAttribute(int32_t &out)
    {
        out = 0;
        return 0;
    }
    int32_t FinalGetHelp(QString &out)
    {
        out.clear();
        return 0;
    }
    int32_t FinalGetVariableNames(const QString &, Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalGetID(Variant &out)
    {
        out = Variant();
        return 0;
    }
    int32_t FinalPutID(const Variant &) { return 0; }
};

} // namespace tarvisk
