#include "common/diagnostics.h"

#include <cstdio>

namespace tarvisk {

namespace {

class StderrDiagnostics : public Diagnostics
{
public:
    void debugOutput(const QString &text) override { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); }
    void messageBox(const QString &text, Icon, const QString &title) override
    {
        std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    }
};

StderrDiagnostics g_defaultSink;
Diagnostics *g_sink = &g_defaultSink;

} // namespace

Diagnostics &Diagnostics::current()
{
    return *g_sink;
}

void Diagnostics::install(Diagnostics *sink)
{
    g_sink = sink ? sink : &g_defaultSink;
}

void debugPrint(const QString &text)
{
    Diagnostics::current().debugOutput(text);
}

void showMessage(const QString &text, Diagnostics::Icon icon, const QString &title)
{
    Diagnostics::current().messageBox(text, icon, title);
}

void showErrorBox(int32_t number, const QString &description)
{
    showMessage(QStringLiteral("[") + QString::number(uint32_t(number), 16).toUpper() + QStringLiteral("]\r\n") +
                    description,
                Diagnostics::Icon::Critical);
}

} // namespace tarvisk
