#pragma once

#include <QString>

#include <cstdint>
#include <exception>

namespace tarvisk {

// Error numbers the host and the windows exchange; the texts are the platform's own.
enum ErrorNumber : int32_t {
    ErrInvalidArgument = 5,
    ErrOverflow = 6,
    ErrSubscript = 9,
    ErrTypeMismatch = 13,
    ErrObjectNotSet = 91,
    ErrInvalidNull = 94,
    ErrNotSupported = 438,
    // Raised by this provider itself (the convention for errors of an outside component): the
    // windowing system does not let a program do that with its window (Wayland).
    ErrWindowSystem = int32_t(0x80040202u),
};

// The standard description of an error number, or "Application-defined or object-defined error".
QString errorDescription(int32_t number);

// An error with its number and description, thrown by conversions and operations and
// turned into a status by every host-facing operation.
class ProvError : public std::exception
{
public:
    explicit ProvError(int32_t number, QString description = {});

    int32_t number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    int32_t m_number;
    QString m_description;
    QByteArray m_what;
};

[[noreturn]] void raiseError(int32_t number, const QString &description = {});

// Runs fn and turns a ProvError into its number; 0 when fn returns normally.
template <typename Fn> int32_t statusOf(Fn &&fn)
{
    try {
        fn();
        return 0;
    } catch (const ProvError &e) {
        return e.number();
    }
}

} // namespace tarvisk
