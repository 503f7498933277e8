#include "app/messageboxes.h"

#include <QMessageBox>

#include <cstdio>

namespace tarvisk {

MessageBoxDiagnostics::MessageBoxDiagnostics()
    : m_debug(qEnvironmentVariableIsSet("TARVISK_DEBUG"))
{
    install(this);
}

MessageBoxDiagnostics::~MessageBoxDiagnostics()
{
    install(nullptr);
}

void MessageBoxDiagnostics::debugOutput(const QString &text)
{
    if (m_debug)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void MessageBoxDiagnostics::messageBox(const QString &text, Icon icon, const QString &title)
{
    std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    QMessageBox::Icon qtIcon = QMessageBox::Information;
    switch (icon) {
    case Icon::Critical:
        qtIcon = QMessageBox::Critical;
        break;
    case Icon::Question:
        qtIcon = QMessageBox::Question;
        break;
    case Icon::Exclamation:
        qtIcon = QMessageBox::Warning;
        break;
    case Icon::Information:
        break;
    }
    QMessageBox box(qtIcon, title, text, QMessageBox::Ok);
    box.exec();
}

} // namespace tarvisk
