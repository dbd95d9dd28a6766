#pragma once
// The file-system operations of the local pane, on paths in the file
// system's bytes (a name that is not valid UTF-8 is still the exact file).
// Each returns 0 or the errno of the failure; none of them shows anything.
// Relative paths are relative to the process's current directory. Safe to
// call from any thread except where noted.
#include <QByteArray>
#include <QString>
#include <QUrl>

#include <atomic>
#include <cerrno>

// The run-time's text of a failed file operation: "I/O error 2: No such file or directory".
QString IoErrorText(int error);

// The process's current directory, ending in "/"; empty when it no longer exists.
QByteArray CurrentDirectory();
int ChangeDirectory(const QByteArray& path);
int MakeDirectory(const QByteArray& path);

// Renames without ever replacing: EEXIST when to exists (unless it is the entry itself, as in a
// case-only rename on a file system that ignores case).
int RenameNoReplace(const QByteArray& from, const QByteArray& to);

// True when text holds a NUL or another control character.
bool HasControlCharacters(const QString& text);
// A name one entry may take: not empty, not "." or "..", without "/", NUL or control characters.
bool IsValidEntryName(const QString& name);

// True for what must never be handed to the desktop's opener, because the opener could run it:
// a file with an execute bit, a launcher (.desktop), a program or script by its type, and
// anything that is neither a regular file nor a folder. UI thread (reads the MIME database).
bool IsProgramFile(const QByteArray& path);

// A file URL of path that keeps its exact bytes.
QUrl LocalFileUrl(const QByteArray& path);

// Deletes path for good; a folder with everything in it. Symbolic links are removed, never
// followed, and other mounted file systems inside a folder are not entered. Stops early when
// cancel becomes true. On failure failedPath names the first entry that could not go.
int RemoveForGood(const QByteArray& path, QByteArray& failedPath, const std::atomic<bool>& cancel);

// Moves path to the desktop's Trash; "" on success, else the reason. Never deletes anything.
QString MoveToTrash(const QByteArray& path);
