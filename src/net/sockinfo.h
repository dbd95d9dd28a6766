#pragma once
// TSockInfo: the progress codes reported through OnInfo, and their texts.
#include <QString>

enum TSockInfo : int {
    icInactive = 0,
    icLookUp = 1,
    icConnecting = 2,
    icConnected = 3,
    icListening = 4,
    icReceiving = 5,
    icSending = 6,
    icClosed = 7,
    icTimedOut = 8,
    icAccepting = 9,
    icNoSuchSocket = 10,
    icRejecting = 11,
    icDisconnected = 12,
};

// The fixed English text of a code; empty for a number outside 0..12.
QString SockInfoText(int code);
