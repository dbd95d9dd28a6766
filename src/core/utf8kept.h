#pragma once
// A lossless UTF-8 codec for names that must keep their exact bytes (file
// names on an FTP server that speaks UTF-8, and the local files they are
// saved as).
//
// Contract: pure functions, no state. FromUtf8Kept decodes valid UTF-8 as
// usual; every byte of an invalid sequence (a stray continuation byte, a cut
// or overlong sequence, an encoded surrogate, a code point past U+10FFFF)
// becomes the lone surrogate U+DC80 + byte (U+DC80..U+DCFF), which a display
// shows as a replacement mark. ToUtf8Kept encodes as UTF-8 and turns each such
// lone surrogate back into its byte, so ToUtf8Kept(FromUtf8Kept(b)) == b for
// every byte string b. Any other lone surrogate (which no decoding above
// produces) is written as "?". Both run in time linear in their input.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

QString FromUtf8Kept(QByteArrayView bytes);
QByteArray ToUtf8Kept(QStringView text);
