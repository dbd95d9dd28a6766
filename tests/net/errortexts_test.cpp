// Error texts, message formats, the library-name property and progress texts.
#include "net/sockerror.h"
#include "net/sockinfo.h"
#include "net/winsockapi.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {
QString raised(int code, int messageId)
{
    try {
        RaiseSocketError(code, messageId);
    } catch (const ESockError& e) {
        return e.Message();
    }
    return QStringLiteral("<nothing raised>");
}
} // namespace

TEST(SocketErrorText, KnownUnknownAndZero)
{
    EXPECT_EQ(SocketErrorText(10061), "Connection refused");
    EXPECT_EQ(SocketErrorText(10035), "Operation would block");
    EXPECT_EQ(SocketErrorText(10101), "Socket Disconnected");
    EXPECT_EQ(SocketErrorText(11003), "Non-Recoverable errors: FORMERR, REFUSED, NOTIMP");
    EXPECT_EQ(SocketErrorText(20013), "Error %d (%s) listining"); // message ids share the table
    EXPECT_EQ(SocketErrorText(10072), "Unknown Error 10072");
    EXPECT_EQ(SocketErrorText(-3), "Unknown Error -3");
    EXPECT_EQ(SocketErrorText(0), "");
    int known = 0;
    for (int code = 10000; code < 11100; ++code)
        known += !SocketErrorText(code).startsWith("Unknown Error");
    EXPECT_EQ(known, 51);
}

TEST(RaiseSocketError, MessagesInBothOrders)
{
    EXPECT_EQ(raised(10061, 20008), "Error 10061 (Connection refused) connecting");
    EXPECT_EQ(raised(10091, 20016), "Error 10091 (Network SubSystem is unavailable) starting up WinSock");
    EXPECT_EQ(raised(10048, 20007), "Error 10048 (Address already in use) Binding Socket");
    EXPECT_EQ(raised(0, 20026), "No Socket Class Defined");
    EXPECT_EQ(raised(10093, 0), "Successful WSASTARTUP not yet performed");
    EXPECT_EQ(raised(12345, 20018), "Socket not open");
    // A text placed before the number is filled in that order, case ignored.
    EXPECT_EQ(FormatSocketMessage("%s: error %D", 10060), "Connection timed out: error 10060");
    EXPECT_EQ(FormatSocketMessage("only %s", 10054), "only Connection reset by peer");
    EXPECT_EQ(FormatSocketMessage("only %d", 10054), "only 10054");
    EXPECT_EQ(FormatSocketMessage("100% sure", 10054), "100% sure");
}

TEST(WsaErrorFromErrno, MapsToWindowsSocketsNumbers)
{
    EXPECT_EQ(WsaErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(WsaErrorFromErrno(EINPROGRESS), 10035);
    EXPECT_EQ(WsaErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(WsaErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(WsaErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(WsaErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(WsaErrorFromErrno(EPIPE), 10054);
    EXPECT_EQ(WsaErrorFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(WsaErrorFromErrno(EDEADLK), 12000 + EDEADLK); // not mistaken for a known code
    EXPECT_EQ(SocketErrorText(WsaErrorFromErrno(EDEADLK)), QString("Unknown Error %1").arg(12000 + EDEADLK));
}

TEST(WinsockLibraryName, StoredWithRulesAndFixedOnceLoaded)
{
    tWinsockAPI api;
    EXPECT_EQ(api.LibraryName(), "");
    api.SetLibraryName("wsock32");
    EXPECT_EQ(api.LibraryName(), "wsock32.DLL");
    api.SetLibraryName("WSOCK32.dll"); // same name ignoring case: unchanged
    EXPECT_EQ(api.LibraryName(), "wsock32.DLL");
    api.SetLibraryName("other.so");
    EXPECT_EQ(api.LibraryName(), "other.so");
    api.SetLibraryName("");
    EXPECT_EQ(api.LibraryName(), "");

    api.htons(21); // the first bound call loads the library
    try {
        api.SetLibraryName("wsock32");
        FAIL() << "no exception";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), "Winsock DLL Already Loaded, Cannot change name");
    }
    EXPECT_EQ(api.LibraryName(), "");
}

TEST(SockInfoText, AllCodes)
{
    EXPECT_EQ(SockInfoText(icInactive), "Inactive");
    EXPECT_EQ(SockInfoText(icLookUp), "Looking-up a host name");
    EXPECT_EQ(SockInfoText(icConnected), "Connection");
    EXPECT_EQ(SockInfoText(icNoSuchSocket), "Error: No such socket");
    EXPECT_EQ(SockInfoText(icDisconnected), "Disconnected");
    EXPECT_EQ(SockInfoText(13), "");
}

TEST(WinsockStartup, VersionCheckAndStartedFlag)
{
    tWinsockAPI api;
    EXPECT_EQ(api.WSAStartup(0), 10092);
    EXPECT_FALSE(api.Started());
    EXPECT_EQ(api.WSAStartup(257), 0);
    EXPECT_TRUE(api.Started());
    EXPECT_EQ(api.Version(), 257);
    EXPECT_GT(api.MaxUdpDg(), 0);
    EXPECT_EQ(api.WSACleanup(), 0);
    EXPECT_FALSE(api.Started());
}
