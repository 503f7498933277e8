#include "common/proverror.h"

namespace tarvisk {

QString errorDescription(int32_t number)
{
    switch (number) {
    case ErrInvalidArgument:
        return QStringLiteral("Invalid procedure call or argument");
    case ErrOverflow:
        return QStringLiteral("Overflow");
    case ErrSubscript:
        return QStringLiteral("Subscript out of range");
    case ErrTypeMismatch:
        return QStringLiteral("Type mismatch");
    case ErrObjectNotSet:
        return QStringLiteral("Object variable or With block variable not set");
    case ErrInvalidNull:
        return QStringLiteral("Invalid use of Null");
    case ErrNotSupported:
        return QStringLiteral("Object doesn't support this property or method");
    case ErrWindowSystem:
        return QStringLiteral("The windowing system does not let a program place, stack or identify its windows "
                              "(Wayland); run the provider on X11 (QT_QPA_PLATFORM=xcb, XWayland)");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

ProvError::ProvError(int32_t number, QString description)
    : m_number(number)
    , m_description(description.isEmpty() ? errorDescription(number) : std::move(description))
    , m_what(m_description.toUtf8())
{}

void raiseError(int32_t number, const QString &description)
{
    throw ProvError(number, description);
}

} // namespace tarvisk
