#pragma once
// Word-table files. Each window's table is a resource file
// resources/words/<table>.json (listed in src/lang/words.qrc, compiled in as
// ":/words/<table>.json"): a JSON array of rows, each row an array of strings
// [key, text of language 0, text of language 1, ...], all rows as long as the
// table's number of languages + 1. JSON keeps every space of a text exactly.
// The loaders turn it into TMultiLang's flat Words list, row after row.
//
// Both throw Exception naming the table and the row when the resource is
// missing or a row is malformed; a shipped table that fails is a build fault
// that the word-table tests catch.
#include <QByteArray>
#include <QString>
#include <QStringList>

QStringList ParseWordTable(const QByteArray& json, int languages, const QString& tableName);
QStringList LoadWordTable(const QString& tableName, int languages = 2);
