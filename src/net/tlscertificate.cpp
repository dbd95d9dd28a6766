#include "net/tlscertificate.h"

#include <openssl/asn1.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <QStringList>

#include <ctime>

namespace {

// "CN=host, O=Org, C=SI": the entries from the most specific one.
QString nameLine(const X509_NAME* name)
{
    if (!name)
        return {};
    QStringList parts;
    for (int i = X509_NAME_entry_count(name) - 1; i >= 0; --i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        const int nid = OBJ_obj2nid(X509_NAME_ENTRY_get_object(entry));
        const char* field = nid == NID_undef ? "?" : OBJ_nid2sn(nid);
        unsigned char* text = nullptr;
        const int length = ASN1_STRING_to_UTF8(&text, X509_NAME_ENTRY_get_data(entry));
        const QString value =
            length >= 0 ? QString::fromUtf8(reinterpret_cast<char*>(text), length) : QString();
        OPENSSL_free(text);
        parts << QString::fromLatin1(field) + QLatin1Char('=') + value;
    }
    return parts.join(QStringLiteral(", "));
}

QDateTime utcTime(const ASN1_TIME* time)
{
    std::tm parts{};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return {};
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

QByteArray sha256Of(X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return {};
    return QByteArray(reinterpret_cast<const char*>(digest), int(length));
}

} // namespace

namespace {

// The verification errors a person meets, with their kind and a clear text.
struct TKnownError {
    int error;
    TCertificateProblem problem;
    const char* text;
};

constexpr TKnownError kKnownErrors[] = {
    {X509_V_ERR_CERT_HAS_EXPIRED, cpExpired, "certificate has expired"},
    {X509_V_ERR_CERT_NOT_YET_VALID, cpNotYetValid, "certificate is not yet valid"},
    {X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT, cpSelfSigned, "self-signed certificate"},
    {X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN, cpSelfSigned, "self-signed certificate in the chain"},
    {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT, cpUntrustedIssuer, "issuer not trusted by this system"},
    {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY, cpUntrustedIssuer, "issuer not trusted by this system"},
    {X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE, cpUntrustedIssuer, "issuer not trusted by this system"},
    {X509_V_ERR_HOSTNAME_MISMATCH, cpNameMismatch, "host name mismatch"},
    {X509_V_ERR_IP_ADDRESS_MISMATCH, cpNameMismatch, "IP address mismatch"},
    {X509_V_ERR_CERT_REVOKED, cpRevoked, "certificate has been revoked"},
};

const TKnownError* knownError(int verifyError)
{
    for (const TKnownError& known : kKnownErrors)
        if (known.error == verifyError)
            return &known;
    return nullptr;
}

} // namespace

QString TTlsCertificateReader::ReasonText(int verifyError)
{
    const TKnownError* known = knownError(verifyError);
    return QString::fromUtf8(known ? known->text : X509_verify_cert_error_string(verifyError));
}

TCertificateProblem TTlsCertificateReader::ProblemOf(int verifyError)
{
    const TKnownError* known = knownError(verifyError);
    return known ? known->problem : cpOther;
}

TCertificateInfo TTlsCertificateReader::Read(SSL* ssl, const std::vector<int>& verifyErrors)
{
    TCertificateInfo info;
    info.protocol = QString::fromLatin1(SSL_get_version(ssl));
    info.cipher = QString::fromLatin1(SSL_get_cipher_name(ssl));
    X509* certificate = SSL_get1_peer_certificate(ssl);
    if (!certificate) {
        info.reason = QStringLiteral("the server sent no certificate");
        info.problems = {cpOther};
        return info;
    }
    info.subject = nameLine(X509_get_subject_name(certificate));
    info.issuer = nameLine(X509_get_issuer_name(certificate));
    info.notBefore = utcTime(X509_get0_notBefore(certificate));
    info.notAfter = utcTime(X509_get0_notAfter(certificate));
    info.sha256 = sha256Of(certificate);
    X509_free(certificate);

    QStringList reasons;
    const auto add = [&](int error) {
        const QString text = ReasonText(error);
        if (reasons.contains(text))
            return;
        reasons << text;
        if (!info.problems.contains(ProblemOf(error)))
            info.problems << ProblemOf(error);
    };
    for (int error : verifyErrors)
        add(error);
    const long result = SSL_get_verify_result(ssl);
    if (reasons.isEmpty() && result != X509_V_OK)
        add(int(result));
    info.verified = reasons.isEmpty();
    info.reason = reasons.join(QStringLiteral("; "));
    return info;
}
