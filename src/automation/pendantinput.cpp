// The input half of the pendant interface: scripted presses go through the window's input path.
#include "automation/pendantobject.h"

namespace tarvisk {

namespace {

const QString kPending = QStringLiteral("scripted input waits for the window's input path");

} // namespace

void PendantObject::Press(const QString &)
{
    refuse(QStringLiteral("NotOffered"), kPending);
}

void PendantObject::Release(const QString &)
{
    refuse(QStringLiteral("NotOffered"), kPending);
}

void PendantObject::Tap(const QString &, uint)
{
    refuse(QStringLiteral("NotOffered"), kPending);
}

void PendantObject::ReleaseAll()
{
    refuse(QStringLiteral("NotOffered"), kPending);
}

void PendantObject::SetMode(const QString &)
{
    refuse(QStringLiteral("NotOffered"), kPending);
}

void PendantObject::Jog(int, uint)
{
    refuse(QStringLiteral("NotOffered"), kPending);
}

QStringList PendantObject::GetKeyNames()
{
    refuse(QStringLiteral("NotOffered"), kPending);
    return {};
}

} // namespace tarvisk
