#pragma once
// The common ground of the FTP server fixtures: one server process of the
// test's own, started in a fresh temporary directory on 127.0.0.1 and stopped
// (terminated, then killed, with every session process it forked) when the
// fixture is destroyed. Every wait is bounded; a failed start returns false
// with a message that includes what the server wrote.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class FtpServerProcess {
public:
    virtual ~FtpServerProcess();
    FtpServerProcess(const FtpServerProcess&) = delete;
    FtpServerProcess& operator=(const FtpServerProcess&) = delete;

    // The control port on 127.0.0.1 (0 before a successful start).
    quint16 Port() const { return m_port; }
    // The fixture's temporary directory (the server's files live below it).
    QString Dir() const { return m_dir.path(); }
    bool IsRunning() const { return m_process.state() != QProcess::NotRunning; }
    // What the server wrote on stdout and stderr so far.
    QString Diagnostics();
    // Starts the server on a free port of 127.0.0.1; false (with why in error) when it did not listen in
    // time.
    virtual bool Start(QString* error = nullptr) = 0;
    // Terminates the server and waits for it (bounded). Called by the destructor.
    void Stop();

    // Writes a file below root (creating folders) for the server to serve.
    // Files get mode 0644 and folders 0755 whatever the umask (anonymous
    // clients may read only world-readable files), and the owner the server
    // needs. False on failure.
    bool PutFile(const QString& relativePath, const QByteArray& contents);
    bool MakeDir(const QString& relativePath);
    // The directory the server serves as "/".
    virtual QString RootPath() const = 0;

protected:
    FtpServerProcess();
    // Starts the program and reads the line "PORT <number>" it prints once it listens.
    bool startAndReadPort(const QString& program, const QStringList& arguments, QString* error);
    // Starts the program and waits until 127.0.0.1:port accepts connections.
    bool startAndWaitListening(const QString& program, const QStringList& arguments, quint16 port,
                               QString* error);
    // Hook for PutFile/MakeDir: gives a new file or folder its owner.
    virtual bool adopt(const QString& path) { return !path.isEmpty(); }
    bool fail(QString* error, const QString& message);

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;

private:
    QByteArray m_output;
};

// rwxr-xr-x and rw-r--r--.
extern const QFile::Permissions kFolderPermissions;
extern const QFile::Permissions kFilePermissions;

// A port on 127.0.0.1 that was free a moment ago (bound with port 0 and closed).
quint16 FreeLoopbackPort();

// The Debian interpreter that has pyftpdlib (the first python3 on PATH may be another one).
QString SystemPython();

// The full path of a file in tests/support of the source tree.
QString SupportFile(const QString& name);
