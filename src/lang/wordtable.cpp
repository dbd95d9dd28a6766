#include "lang/wordtable.h"

#include "core/exception.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

// The resources of a static library are registered by hand, once.
static void registerWordResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(words);
        return true;
    }();
    Q_UNUSED(registered);
}

QStringList ParseWordTable(const QByteArray& json, int languages, const QString& tableName)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        throw Exception(QStringLiteral("Word table %1: not a JSON array of rows (%2 at offset %3)")
                            .arg(tableName, error.errorString())
                            .arg(error.offset));
    const QJsonArray rows = document.array();
    QStringList words;
    words.reserve(rows.size() * (languages + 1));
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QJsonArray row = rows.at(r).toArray();
        bool good = rows.at(r).isArray() && row.size() == languages + 1;
        for (qsizetype c = 0; good && c < row.size(); ++c)
            good = row.at(c).isString();
        if (!good)
            throw Exception(QStringLiteral("Word table %1: row %2 is not %3 strings")
                                .arg(tableName)
                                .arg(r + 1)
                                .arg(languages + 1));
        for (const QJsonValue& cell : row)
            words.append(cell.toString());
    }
    return words;
}

QStringList LoadWordTable(const QString& tableName, int languages)
{
    registerWordResources();
    QFile file(QStringLiteral(":/words/%1.json").arg(tableName));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Word table %1: no such resource").arg(tableName));
    return ParseWordTable(file.readAll(), languages, tableName);
}
