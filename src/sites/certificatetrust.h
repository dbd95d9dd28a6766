#pragma once
// TCertificateTrust: the server certificates the user chose to trust "always",
// one SHA-256 fingerprint per host and port, kept in a file of the program
// directory ("Potrdila.kvp" beside the site list).
//
// Contract:
// - Lookup(host, port) reads the file and answers the fingerprint stored for
//   that host (letter case ignored) and port, or nothing. It never throws: a
//   missing, unreadable, oversized, foreign or corrupt file (any line that is
//   not an entry) reads as "nothing trusted", and so does anything that is not
//   a regular file (a FIFO is never opened, so nothing blocks).
// - Trust(host, port, sha256) stores the fingerprint for that host and port,
//   replacing the one stored before and keeping every other entry. The file
//   is rewritten through TReplacingFile, so a failure never leaves half a
//   file; a file that read as corrupt is first kept as "<file>.bak" and then
//   replaced by the one entry. A fingerprint that is not 32 bytes, an empty
//   host or port 0 is not stored. Failures throw EInOutError.
// - Each call reads the file anew, so two windows or two runs agree; the file
//   is small (one short line per trusted server) and read only when a
//   certificate has to be judged. UI thread only; no events.
//
// File: a first line "Kvado trusted certificates 1", then one line per entry:
// the host percent-encoded in lower case, the port in decimal and the
// fingerprint in 64 upper-case hex digits, separated by single spaces, each
// line ended by LF.
#include <QByteArray>
#include <QString>

#include <optional>

class TCertificateTrust {
public:
    // The file in the program directory, as it is when constructed.
    TCertificateTrust();
    // Another file (tests).
    explicit TCertificateTrust(const QString& filePath) : m_filePath(filePath) {}

    QString FilePath() const { return m_filePath; }

    std::optional<QByteArray> Lookup(const QString& host, quint16 port) const;
    void Trust(const QString& host, quint16 port, const QByteArray& sha256);

private:
    QString m_filePath;
};
