#pragma once
// Where Kvado keeps its files on this machine.
//
// The program directory holds the site list "Naslovi.kvs" and is where relative
// log and sound file names resolve; the settings file holds every setting.
// With the environment variable KVADO_HOME set (tests always set it to a
// temporary directory, the demo sets it to its own home) both live there;
// otherwise the program directory is ~/.local/share/Zorvek/Kvado and the
// settings file ~/.config/Zorvek/Kvado.ini (XDG_DATA_HOME / XDG_CONFIG_HOME
// respected). A relative KVADO_HOME counts from the directory the program
// started in (taken at the first call, when the settings load), not from the
// current directory, which follows the local pane. The functions only compute
// paths; a writer creates the directory when it first writes.
#include <QString>

// The program directory, absolute, without a trailing "/".
QString ProgramDirectory();

// A file in the program directory.
QString ProgramFilePath(const QString& fileName);

// The settings file (INI format).
QString SettingsFilePath();
