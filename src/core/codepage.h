#pragma once
// Conversion between QString and Windows code page 1250, the 8-bit text of
// every file and wire boundary (site list, log file, FTP control connection).
// Every byte decodes to one character (the five undefined bytes to U+FFFD);
// a character the code page cannot hold is written as "?", never dropped, so a
// text keeps its length in both directions. A UTF-16 surrogate pair becomes
// two "?" bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

QString FromCp1250(QByteArrayView bytes);
QByteArray ToCp1250(QStringView text);
