#pragma once

#include <QCoreApplication>
#include <memory>

/// An application object for a command that reaches the keyring or the network (Qt's event machinery needs one),
/// unless the process has one already; the command holds it while it runs.
inline std::unique_ptr<QCoreApplication> ensureCoreApplication()
{
    if (QCoreApplication::instance())
        return nullptr;
    static int argc = 1;
    static char name[] = "korvel";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}
