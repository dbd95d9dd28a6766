#include "net/sockinfo.h"

QString SockInfoText(int code)
{
    static const char* const texts[] = {"Inactive",
                                        "Looking-up a host name",
                                        "Connecting",
                                        "Connection",
                                        "Listening",
                                        "Receiving Data",
                                        "Sending Data",
                                        "Closed",
                                        "Connection timed out",
                                        "Accepting connection",
                                        "Error: No such socket",
                                        "Rejecting Connection",
                                        "Disconnected"};
    if (code < 0 || code >= int(std::size(texts)))
        return {};
    return QString::fromLatin1(texts[code]);
}
