#pragma once
// What the desktop says about a file by its name: the type text (the MIME
// type's description in the default QLocale's language) and the icon (the icon theme's icon for the MIME
// type, else the style's file or folder icon). The MIME type is found from the name only, never by reading
// the file, and each MIME type's text and icon are looked up once per process: a directory of 100,000 files
// costs one hash look-up per file after the first of each type.
//
// Icons live in one process-wide list shared by every file list (the platform's
// icon list); rows refer to them by index. UI thread only.
#include <QIcon>
#include <QString>

#include <vector>

struct TShellEntry {
    QString TypeText;
    int ImageIndex = -1;
};

// The type text and icon index of a file or directory of this name.
TShellEntry ShellInfoFor(const QString& fileName, bool isDirectory);

// Reads every type text again (the default QLocale, whose language the texts follow, changed);
// icon indices stay as they are.
void RereadShellTexts();

// The shared icon list the indices refer to.
const std::vector<QIcon>& ShellIcons();
