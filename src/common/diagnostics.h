#pragma once

#include <QString>
#include <QStringList>

namespace tarvisk {

// Where message boxes and the debugging output go. The application installs a sink that
// shows real message boxes; tests install a CapturingDiagnostics so nothing blocks.
class Diagnostics
{
public:
    enum class Icon { Critical, Question, Exclamation, Information };

    virtual ~Diagnostics() = default;
    // The debugging output: one line per call, never shown to the user.
    virtual void debugOutput(const QString &text) = 0;
    // A modal message box with one OK button.
    virtual void messageBox(const QString &text, Icon icon, const QString &title) = 0;

    // The sink in force; the default writes both kinds to the standard error stream.
    static Diagnostics &current();
    // Installs a sink (not owned); nullptr restores the default.
    static void install(Diagnostics *sink);
};

void debugPrint(const QString &text);
void showMessage(const QString &text, Diagnostics::Icon icon, const QString &title = QStringLiteral("Tarvisk"));
// "[" + number in upper-case hexadecimal + "]" CR LF description, with the critical icon.
void showErrorBox(int32_t number, const QString &description);

// A sink that records everything, for tests.
class CapturingDiagnostics : public Diagnostics
{
public:
    struct Box
    {
        QString text;
        Icon icon;
        QString title;
    };

    CapturingDiagnostics() { install(this); }
    ~CapturingDiagnostics() override { install(nullptr); }

    void debugOutput(const QString &text) override { debugLines << text; }
    void messageBox(const QString &text, Icon icon, const QString &title) override
    {
        boxes.push_back({text, icon, title});
    }
    void clear()
    {
        debugLines.clear();
        boxes.clear();
    }

    QStringList debugLines;
    QList<Box> boxes;
};

} // namespace tarvisk
