#pragma once
// TSiteRecord: one stored FTP site, 936 bytes, the same bytes in the site list
// file and in memory. Strings are a length byte followed by code page 1250
// characters; integers are little-endian. A default record is all zero bytes.
//
//   offset size  field
//        0   51  name              length + up to 50 characters
//       51   51  host              length + up to 50
//      102   31  user              length + up to 30
//      133   21  password          length + up to 20 (plain text; empty when in the keyring)
//      154    1  port, low 8 bits
//      155  256  remote directory  length + up to 255
//      411  256  local directory   length + up to 255
//      667    1  port, high 8 bits (a pad byte that older readers ignore)
//      668    4  receive buffer    signed 32-bit
//      672    4  send buffer       signed 32-bit
//      676    1  server kind       0 detect, 1 UNIX, 2 UNIX-compatible, 3 VMS
//      677    1  login type        0 anonymous, 1 normal
//      678    1  transfer type     0 automatic, 1 image, 2 binary, 3 text
//      679  256  comment           length + up to 255
//      935    1  pad: Kvado's own choices (see DataConnection)
//
// The port is 16 bits split over offsets 154 (low) and 667 (high), so a site on
// port 2121 stays on 2121; a record written by the old one-byte layout has 0 in
// the high byte and reads as before.
//
// Setters cut a text to the field's length (characters a code page 1250 byte
// cannot hold become "?") and zero the bytes behind it. Getters never read past
// a field: a length byte larger than the field counts as the field's length.
#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <type_traits>

struct TSiteRecord {
    std::array<quint8, 51> nameBytes{};
    std::array<quint8, 51> hostBytes{};
    std::array<quint8, 31> userBytes{};
    std::array<quint8, 21> passwordBytes{};
    quint8 portLow = 0;
    std::array<quint8, 256> remoteDirBytes{};
    std::array<quint8, 256> localDirBytes{};
    quint8 portHigh = 0;
    std::array<quint8, 4> receiveBufferBytes{};
    std::array<quint8, 4> sendBufferBytes{};
    quint8 serverKind = 0;
    quint8 loginType = 0;
    quint8 transferType = 0;
    std::array<quint8, 256> commentBytes{};
    quint8 padding = 0;

    QString Name() const;
    void SetName(QStringView text);
    QString Host() const;
    void SetHost(QStringView text);
    QString User() const;
    void SetUser(QStringView text);
    QString Password() const;
    void SetPassword(QStringView text);
    int Port() const;       // 0..65535
    void SetPort(int port); // keeps the low 16 bits
    QString RemoteDir() const;
    void SetRemoteDir(QStringView text);
    QString LocalDir() const;
    void SetLocalDir(QStringView text);
    qint32 ReceiveBuffer() const;
    void SetReceiveBuffer(qint32 bytes);
    qint32 SendBuffer() const;
    void SetSendBuffer(qint32 bytes);
    QString Comment() const;
    void SetComment(QStringView text);
    // Kvado's own choices, in the last pad byte: the top three bits 101 mark
    // them, so a byte another writer left there (0, or junk without the mark)
    // reads as the defaults. Bit 0: passive data connection; bits 1-2: the
    // name encoding; bits 3-4: the encryption. Every byte written before the
    // encryption existed (0xA0..0xA7) reads as it did, with encryption 0.
    // A setter marks the byte and keeps the other choices.
    // The mark 100 instead of 101 says the same choices and "the password is
    // in the desktop's keyring" (the password field is then empty): every
    // byte written before the keyring existed has bit 5 set and reads as it did.
    quint8 DataConnection() const; // 0 active, 1 passive
    void SetDataConnection(quint8 mode);
    quint8 NameEncoding() const; // 0 code page 1250, 1 UTF-8, 2 automatic
    void SetNameEncoding(quint8 encoding);
    quint8 Encryption() const; // 0 none, 1 explicit TLS when offered, 2 explicit TLS required, 3 implicit TLS
    void SetEncryption(quint8 encryption);
    bool PasswordInKeyring() const;
    void SetPasswordInKeyring(bool inKeyring);
};

static_assert(sizeof(TSiteRecord) == 936);
static_assert(offsetof(TSiteRecord, nameBytes) == 0);
static_assert(offsetof(TSiteRecord, hostBytes) == 51);
static_assert(offsetof(TSiteRecord, userBytes) == 102);
static_assert(offsetof(TSiteRecord, passwordBytes) == 133);
static_assert(offsetof(TSiteRecord, portLow) == 154);
static_assert(offsetof(TSiteRecord, remoteDirBytes) == 155);
static_assert(offsetof(TSiteRecord, localDirBytes) == 411);
static_assert(offsetof(TSiteRecord, portHigh) == 667);
static_assert(offsetof(TSiteRecord, receiveBufferBytes) == 668);
static_assert(offsetof(TSiteRecord, sendBufferBytes) == 672);
static_assert(offsetof(TSiteRecord, serverKind) == 676);
static_assert(offsetof(TSiteRecord, loginType) == 677);
static_assert(offsetof(TSiteRecord, transferType) == 678);
static_assert(offsetof(TSiteRecord, commentBytes) == 679);
static_assert(offsetof(TSiteRecord, padding) == 935);
static_assert(std::is_trivially_copyable_v<TSiteRecord>);
