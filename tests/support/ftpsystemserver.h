#pragma once
// The common ground of the Debian FTP servers the tests start (vsftpd,
// proftpd, pure-ftpd): each runs in the foreground as root on 127.0.0.1 with a
// configuration the fixture writes into its temporary folder, and its sessions
// run as the system's ftp user. So the file system decides what a client may
// change: the served root (the folder "root") belongs to root and is read-only
// to clients; in the Writable mode the folder "upload" below it (UploadPath)
// belongs to ftp, and clients may upload, make folders, delete and rename
// there. PutFile/MakeDir below "upload" give the new file or folder to ftp, so
// that clients may overwrite, resume, rename or delete it.
//
// Start() picks a free port, lets the subclass prepare its configuration for
// it (prepare), starts the program and waits until the port accepts
// connections; when the port was taken in the meantime it tries another one.
// The server is stopped (terminated, then killed) when the fixture is
// destroyed.
#include "support/ftpserverprocess.h"

#include <sys/types.h>

enum class FtpServerMode { ReadOnly, Writable };

// Where tools/install-deps unpacks the servers that Debian cannot install beside vsftpd.
QString TestServerProgram(const QString& package, const QString& program);

class FtpSystemServer : public FtpServerProcess {
public:
    static constexpr const char* kUploadFolder = "upload";

    bool Start(QString* error = nullptr) override;
    QString RootPath() const override;
    // The writable folder (Writable mode only; empty otherwise).
    QString UploadPath() const;
    FtpServerMode Mode() const { return m_mode; }

protected:
    FtpSystemServer(FtpServerMode mode, const QString& program);
    // Empty when `program` can run here; otherwise why not (not root, no binary, no ftp user).
    static QString unavailable(const QString& program);
    // Writes the configuration for the port and names the program's arguments.
    virtual bool prepare(quint16 port, QStringList* arguments) = 0;
    bool adopt(const QString& path) override;
    // A file of the fixture's temporary folder with the lines, each ended by a line feed.
    bool writeLines(const QString& name, const QStringList& lines) const;
    QString tempPath(const QString& name) const;
    static uid_t ftpUid();
    static gid_t ftpGid();

private:
    FtpServerMode m_mode;
    QString m_program;
};
