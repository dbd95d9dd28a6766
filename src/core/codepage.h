#pragma once
// Conversion between QString and Windows code page 1250, the 8-bit text of
// every file and wire boundary (site list, log file, FTP control connection).
// Every byte decodes to one character (the five bytes the code page leaves
// undefined to the C1 controls U+0081, U+0083, U+0088, U+0090, U+0098), so any
// byte string decodes and encodes back unchanged; a character the code page
// cannot hold is written as "?", never dropped, so a text keeps its length in
// both directions. A UTF-16 surrogate pair becomes
// two "?" bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

QString FromCp1250(QByteArrayView bytes);
QByteArray ToCp1250(QStringView text);
