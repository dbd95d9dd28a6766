#include "sites/certificatetrust.h"

#include "sites/inouterror.h"
#include "sites/programpaths.h"
#include "sites/replacingfile.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <map>
#include <utility>

namespace {

const QByteArray kHeader = QByteArrayLiteral("Kvado trusted certificates 1");
constexpr qint64 kMaxFileSize = 1 << 20; // far more than anyone trusts by hand
constexpr int kFingerprintBytes = 32;

using TKey = std::pair<QByteArray, quint16>; // encoded host, port
using TEntries = std::map<TKey, QByteArray>;

QByteArray encodedHost(const QString& host)
{
    return QUrl::toPercentEncoding(host.toLower());
}

bool isUpperHex(const QByteArray& text)
{
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

// The entries of the file's bytes; nullopt when they are not such a file.
std::optional<TEntries> parse(const QByteArray& bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.isEmpty() || lines.front() != kHeader || !lines.back().isEmpty())
        return std::nullopt;
    TEntries entries;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        if (fields.size() != 3 || fields[0].isEmpty() || fields[2].size() != 2 * kFingerprintBytes ||
            !isUpperHex(fields[2]))
            return std::nullopt;
        bool ok = false;
        const uint port = fields[1].toUInt(&ok);
        if (!ok || port < 1 || port > 65535 || fields[1] != QByteArray::number(port))
            return std::nullopt;
        entries[{fields[0], quint16(port)}] = QByteArray::fromHex(fields[2]);
    }
    return entries;
}

// What the file holds: no file is an empty list, a file that cannot be read as
// one is nullopt.
std::optional<TEntries> readEntries(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return TEntries();
    if (!info.isFile() || info.size() > kMaxFileSize)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (bytes.size() > kMaxFileSize)
        return std::nullopt;
    return parse(bytes);
}

} // namespace

TCertificateTrust::TCertificateTrust() : m_filePath(ProgramFilePath(QStringLiteral("Potrdila.kvp"))) {}

std::optional<QByteArray> TCertificateTrust::Lookup(const QString& host, quint16 port) const
{
    const std::optional<TEntries> entries = readEntries(m_filePath);
    if (!entries)
        return std::nullopt;
    const auto found = entries->find({encodedHost(host), port});
    if (found == entries->end())
        return std::nullopt;
    return found->second;
}

void TCertificateTrust::Trust(const QString& host, quint16 port, const QByteArray& sha256)
{
    if (sha256.size() != kFingerprintBytes || port == 0 || host.isEmpty())
        return;
    std::optional<TEntries> entries = readEntries(m_filePath);
    if (!entries) {
        // Keep what could not be read rather than destroy it.
        const QByteArray from = QFile::encodeName(m_filePath);
        if (std::rename(from.constData(), (from + ".bak").constData()) != 0 && errno != ENOENT)
            throw EInOutError(errno);
        entries.emplace();
    }
    (*entries)[{encodedHost(host), port}] = sha256;

    QByteArray text = kHeader + '\n';
    for (const auto& [key, fingerprint] : *entries)
        text += key.first + ' ' + QByteArray::number(key.second) + ' ' + fingerprint.toHex().toUpper() + '\n';
    TReplacingFile file(m_filePath);
    file.Write(text);
    file.Commit();
}
