// The certificate question in the window gallery: a first meeting with an
// unverified certificate, and the warning for one that changed since it was
// trusted.
#include "tools/gallery/windowgallery.h"

#include "dialogs/potrdilo.h"

#include <QCryptographicHash>

namespace {

TCertificateInfo SampleCertificate()
{
    TCertificateInfo info;
    info.host = QStringLiteral("ftp.example.org");
    info.port = 990;
    info.subject = QStringLiteral("CN=ftp.example.org, O=Zorvek d.o.o., C=SI");
    info.issuer = QStringLiteral("CN=Zorvek Internal CA, O=Zorvek d.o.o., C=SI");
    info.notBefore = QDateTime(QDate(2025, 3, 1), QTime(8, 0), Qt::UTC);
    info.notAfter = QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC);
    info.sha256 = QCryptographicHash::hash("new certificate", QCryptographicHash::Sha256);
    info.reason = QStringLiteral("issuer not trusted by this system; certificate has expired");
    info.problems = {cpUntrustedIssuer, cpExpired};
    info.protocol = QStringLiteral("TLSv1.3");
    return info;
}

} // namespace

KVADO_GALLERY_WINDOW("certificate", [](int language) -> QWidget* {
    return new TPotrdilo(SampleCertificate(), QByteArray(), language);
});

KVADO_GALLERY_WINDOW("certificate-changed", [](int language) -> QWidget* {
    return new TPotrdilo(SampleCertificate(),
                         QCryptographicHash::hash("old certificate", QCryptographicHash::Sha256), language);
});
