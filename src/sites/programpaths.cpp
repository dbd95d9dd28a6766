#include "sites/programpaths.h"

#include <QDir>
#include <QStandardPaths>

namespace {
// KVADO_HOME; a relative one is taken from the directory the program started
// in, since the local pane changes the current directory while it runs.
QString kvadoHome()
{
    static const QString startDirectory = QDir::currentPath();
    const QString home = qEnvironmentVariable("KVADO_HOME");
    return home.isEmpty() ? QString() : QDir::cleanPath(QDir(startDirectory).absoluteFilePath(home));
}
} // namespace

QString ProgramDirectory()
{
    const QString home = kvadoHome();
    if (!home.isEmpty())
        return home;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Zorvek/Kvado";
}

QString ProgramFilePath(const QString& fileName)
{
    return ProgramDirectory() + '/' + fileName;
}

QString SettingsFilePath()
{
    const QString home = kvadoHome();
    if (!home.isEmpty())
        return home + "/Kvado.ini";
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Zorvek/Kvado.ini";
}
