#include "support/ftptlspki.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {
// The smallest configuration `openssl ca` signs with: the dates and names come from the command.
constexpr const char* kCaConfig = "[ca]\ndefault_ca = test\n"
                                  "[test]\ndatabase = index.txt\nnew_certs_dir = .\nserial = serial\n"
                                  "default_md = sha256\npolicy = any\ncopy_extensions = copy\n"
                                  "unique_subject = no\n[any]\ncommonName = supplied\n";
} // namespace

FtpTlsPki& FtpTlsPki::Get()
{
    static FtpTlsPki pki;
    return pki;
}

bool FtpTlsPki::Available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty();
}

FtpTlsPki::FtpTlsPki()
{
    QFile config(path(QStringLiteral("ca.cnf")));
    QFile index(path(QStringLiteral("index.txt")));
    QFile serial(path(QStringLiteral("serial")));
    if (!config.open(QIODevice::WriteOnly) || !index.open(QIODevice::WriteOnly) ||
        !serial.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot write the CA's files in ") + m_dir.path();
        return;
    }
    config.write(kCaConfig);
    serial.write("1000\n");
    config.close();
    serial.close();
    if (openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path("ca.key"), "-out",
                 path("ca.pem"), "-days", "3650", "-subj", "/O=Kvado Test/CN=Kvado Test CA"}))
        qputenv("SSL_CERT_FILE", path(QStringLiteral("ca.pem")).toLocal8Bit());
    qputenv("SSL_CERT_DIR", m_dir.path().toLocal8Bit()); // nothing else is trusted
}

bool FtpTlsPki::openssl(const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1: %2")
                      .arg(arguments.join(' '), QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

QString FtpTlsPki::Issue(const QString& altNames, const QString& notBefore, const QString& notAfter,
                         bool selfSigned)
{
    const QString name = QStringLiteral("server%1").arg(++m_issued);
    const QString key = path(name + ".key"), request = path(name + ".csr"), cert = path(name + ".crt");
    const QString commonName = altNames.section(',', 0, 0).section(':', 1);
    QStringList sign{"ca", "-batch",     "-config", path("ca.cnf"), "-in",    request,  "-out",
                     cert, "-startdate", notBefore, "-enddate",     notAfter, "-notext"};
    if (selfSigned)
        sign << "-selfsign"
             << "-keyfile" << key;
    else
        sign << "-cert" << path("ca.pem") << "-keyfile" << path("ca.key");
    if (!openssl({"req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request, "-subj",
                  "/O=Kvado Test/CN=" + commonName, "-addext", "subjectAltName=" + altNames}) ||
        !openssl(sign))
        return {};
    QFile pem(path(name + ".pem"));
    QFile certificate(cert), privateKey(key);
    if (!pem.open(QIODevice::WriteOnly) || !certificate.open(QIODevice::ReadOnly) ||
        !privateKey.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot write ") + pem.fileName();
        return {};
    }
    pem.write(certificate.readAll() + privateKey.readAll());
    pem.close();
    // The servers drop root's rights before they read it.
    pem.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup);
    return pem.fileName();
}
