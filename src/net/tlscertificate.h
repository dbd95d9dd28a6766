#pragma once
// TTlsCertificateReader: turns what OpenSSL knows of an established
// connection into a TCertificateInfo a person can judge.
//
// Contract:
// - Read fills subject and issuer (one line each, most specific part first:
//   "CN=..., O=..., C=..."), the validity in UTC, the SHA-256 of the DER
//   certificate, the protocol and the cipher. verified is true only when the
//   server sent a certificate and no verification error was met (the trust
//   chain to the system's store and the host name); otherwise reason lists
//   every distinct error in the order met, joined by "; ".
// - ReasonText gives the clear text of one verification error, ProblemOf its
//   kind (problems lists the kinds met, without repeats, in the same order).
#include "net/certificateinfo.h"

#include <openssl/types.h>

#include <vector>

class TTlsCertificateReader {
public:
    static TCertificateInfo Read(SSL* ssl, const std::vector<int>& verifyErrors);
    static QString ReasonText(int verifyError);
    static TCertificateProblem ProblemOf(int verifyError);
};
