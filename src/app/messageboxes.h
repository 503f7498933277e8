#pragma once

#include "common/diagnostics.h"

namespace tarvisk {

// Real message boxes for the running program; the debugging output goes to the standard
// error stream when TARVISK_DEBUG is set. Installed for its lifetime.
class MessageBoxDiagnostics : public Diagnostics
{
public:
    MessageBoxDiagnostics();
    ~MessageBoxDiagnostics() override;
    void debugOutput(const QString &text) override;
    void messageBox(const QString &text, Icon icon, const QString &title) override;

private:
    bool m_debug;
};

} // namespace tarvisk
