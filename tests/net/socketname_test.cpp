// Socket names come from one process-wide counter (its own executable, so
// that no other test has asked for a name first).
#include "netfixture.h"

TEST(SocketName, NumberedInOrderOfFirstRequest)
{
    TRecordingCtrl first;
    TRecordingCtrl second;
    TTestSocket spare(&first);
    EXPECT_EQ(second.Socket()->SocketName(), "socket0");
    EXPECT_EQ(first.Socket()->SocketName(), "socket1");
    EXPECT_EQ(second.Socket()->SocketName(), "socket0"); // kept once given
    EXPECT_EQ(spare.SocketName(), "socket2");
}
