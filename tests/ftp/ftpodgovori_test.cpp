// Which command a reply answers after a stopped transfer, as real servers
// answer it: pyftpdlib (426, then 226 for the ABOR), vsftpd over TLS (226 for
// the finished transfer, then 225 for the ABOR), pure-ftpd (one 226 for
// both); and a transfer given up by the client whose 226 arrives late. In
// every case the next listing's EPSV or PORT gets its own reply, and after an
// ABOR its LIST its own 226, even when all went out before the old replies.
#include "ftp/ftpodgovori.h"

#include <gtest/gtest.h>

#include <string>
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
    for (const Case& c : cases)
        for (const bool active : {false, true}) {
            // A transfer given up without ABOR has no reply that tells its end
            // from the next LIST's: only ABOR'd ones are checked with LIST out.
            if (active && !c.abor)
                continue;
            SCOPED_TRACE(std::string(c.server) +
                         (active ? ", next listing active" : ", next listing passive"));
            TFtpOdgovori o;
            o.NovPrenos();
            o.Dolguje(ozPrenos); // RETR
            if (c.abor)
                o.Dolguje(ozABOR);
            // The transfer is forgotten and the next listing sends its commands
            // before the old replies have come: EPSV and TYPE A (LIST waits for
            // the 229), or PORT, TYPE A and LIST at once.
            o.NovPrenos();
            o.Dolguje(active ? ozPORT : ozPasivno);
            o.Dolguje(ozDrugo);
            if (active)
                o.Dolguje(ozPrenos);
            for (const int koda : c.abortReplies)
                EXPECT_EQ(o.Za(koda, false), ozDrugo) << koda;
            EXPECT_EQ(o.Za(active ? 200 : 229, false), active ? ozPORT : ozPasivno);
            EXPECT_EQ(o.Za(200, false), ozDrugo);
            if (active) {
                EXPECT_EQ(o.Za(150, false), ozDrugo);
                EXPECT_EQ(o.Za(226, false), ozPrenos);
            }
            EXPECT_TRUE(o.Prazno());
        }
}

// pyftpdlib answers PORT once its data connection is made: the resume's REST
// and RETR sent behind it may be answered first.
TEST(FtpOdgovori, APortAnsweredLateStillPairsWithItsOwnReply)
{
    TFtpOdgovori o;
    o.NovPrenos();
    o.Dolguje(ozPORT);
    o.Dolguje(ozREST);
    o.Dolguje(ozPrenos); // RETR
    EXPECT_EQ(o.Za(350, false), ozREST);
    EXPECT_EQ(o.Za(200, false), ozPORT);
    EXPECT_EQ(o.Za(150, false), ozDrugo);
    EXPECT_EQ(o.Za(226, false), ozPrenos);
    EXPECT_TRUE(o.Prazno());
}
