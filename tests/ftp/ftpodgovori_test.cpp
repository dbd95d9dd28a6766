// Which command a reply answers after a stopped transfer, as real servers
// answer it: pyftpdlib (426, then 226 for the ABOR), vsftpd over TLS (226 for
// the finished transfer, then 225 for the ABOR), pure-ftpd (one 226 for
// both); and a transfer given up by the client whose 226 arrives late. In
// every case the next listing's EPSV must get its own 229.
#include "ftp/ftpodgovori.h"

#include <gtest/gtest.h>

#include <vector>

TEST(FtpOdgovori, RepliesAfterAStoppedTransferNeverAnswerTheNextCommand)
{
    struct Case {
        const char* server;
        std::vector<int> abortReplies;
        bool abor; // an ABOR was sent (else the transfer was only given up)
    };
    const Case cases[] = {
        {"pyftpdlib", {426, 226}, true},      {"vsftpd over TLS", {226, 225}, true},
        {"pure-ftpd", {226}, true},           {"given up, late 226", {226}, false},
        {"given up, late 426", {426}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        TFtpOdgovori o;
        o.NovPrenos();
        o.Dolguje(ozPrenos); // RETR
        if (c.abor)
            o.Dolguje(ozABOR);
        // The transfer is forgotten and the next listing sends EPSV and TYPE A
        // before the old replies have come.
        o.NovPrenos();
        o.Dolguje(ozPasivno);
        o.Dolguje(ozDrugo);
        for (const int koda : c.abortReplies)
            EXPECT_EQ(o.Za(koda, false), ozDrugo) << koda;
        EXPECT_EQ(o.Za(229, false), ozPasivno);
        EXPECT_EQ(o.Za(200, false), ozDrugo);
        EXPECT_TRUE(o.Prazno());
    }
}
