#pragma once
// The virtual controller on a free port of 127.0.0.1, its standard output and error lines caught
// in strings, for the controller's tests.

#include "virtualcontroller.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>

namespace tarvisk::testing {

struct CapturedController
{
    explicit CapturedController(controller::ControllerOptions options = {})
        : out(&outText)
        , err(&errText)
    {
        options.address = QHostAddress(QHostAddress::LocalHost);
        options.port = 0;
        controller = std::make_unique<controller::VirtualController>(options, out, err);
        QString error;
        bound = controller->start(&error);
    }

    QStringList lines() const { return outText.split(u'\n', Qt::SkipEmptyParts); }
    QStringList errors() const { return errText.split(u'\n', Qt::SkipEmptyParts); }
    // The lines that tell a key's press or release, in order.
    QStringList keyLines() const
    {
        QStringList keys;
        for (const QString &line : lines()) {
            if (line.endsWith(QLatin1String(" pressed")) || line.endsWith(QLatin1String(" released")))
                keys << line;
        }
        return keys;
    }

    QString outText;
    QString errText;
    QTextStream out;
    QTextStream err;
    std::unique_ptr<controller::VirtualController> controller;
    bool bound = false;
};

} // namespace tarvisk::testing
