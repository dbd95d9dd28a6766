#include "sites/siterecord.h"

#include "core/codepage.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

template <std::size_t N> QString shortString(const std::array<quint8, N>& field)
{
    const std::size_t length = std::min<std::size_t>(field[0], N - 1);
    return FromCp1250(QByteArrayView(reinterpret_cast<const char*>(field.data() + 1), qsizetype(length)));
}

template <std::size_t N> void setShortString(std::array<quint8, N>& field, QStringView text)
{
    const QByteArray bytes = ToCp1250(text.left(qsizetype(N - 1)));
    field.fill(0);
    field[0] = quint8(bytes.size());
    std::memcpy(field.data() + 1, bytes.constData(), std::size_t(bytes.size()));
}

qint32 littleEndian(const std::array<quint8, 4>& field)
{
    return qFromLittleEndian<qint32>(field.data());
}

void setLittleEndian(std::array<quint8, 4>& field, qint32 value)
{
    qToLittleEndian<qint32>(value, field.data());
}

} // namespace

QString TSiteRecord::Name() const
{
    return shortString(nameBytes);
}
void TSiteRecord::SetName(QStringView text)
{
    setShortString(nameBytes, text);
}
QString TSiteRecord::Host() const
{
    return shortString(hostBytes);
}
void TSiteRecord::SetHost(QStringView text)
{
    setShortString(hostBytes, text);
}
QString TSiteRecord::User() const
{
    return shortString(userBytes);
}
void TSiteRecord::SetUser(QStringView text)
{
    setShortString(userBytes, text);
}
QString TSiteRecord::Password() const
{
    return shortString(passwordBytes);
}
void TSiteRecord::SetPassword(QStringView text)
{
    setShortString(passwordBytes, text);
}
QString TSiteRecord::RemoteDir() const
{
    return shortString(remoteDirBytes);
}
void TSiteRecord::SetRemoteDir(QStringView text)
{
    setShortString(remoteDirBytes, text);
}
QString TSiteRecord::LocalDir() const
{
    return shortString(localDirBytes);
}
void TSiteRecord::SetLocalDir(QStringView text)
{
    setShortString(localDirBytes, text);
}
QString TSiteRecord::Comment() const
{
    return shortString(commentBytes);
}
void TSiteRecord::SetComment(QStringView text)
{
    setShortString(commentBytes, text);
}

int TSiteRecord::Port() const
{
    return portLow + 256 * portHigh;
}

void TSiteRecord::SetPort(int port)
{
    portLow = quint8(port & 0xFF);
    portHigh = quint8((port >> 8) & 0xFF);
}

qint32 TSiteRecord::ReceiveBuffer() const
{
    return littleEndian(receiveBufferBytes);
}
void TSiteRecord::SetReceiveBuffer(qint32 bytes)
{
    setLittleEndian(receiveBufferBytes, bytes);
}
qint32 TSiteRecord::SendBuffer() const
{
    return littleEndian(sendBufferBytes);
}
void TSiteRecord::SetSendBuffer(qint32 bytes)
{
    setLittleEndian(sendBufferBytes, bytes);
}

namespace {
constexpr quint8 kMarkBits = 0xE0;    // bits 7-5
constexpr quint8 kMark = 0xA0;        // 101 in them
constexpr quint8 kKeyringMark = 0x80; // 100: the same choices, the password in the keyring
constexpr quint8 kPassive = 0x01;
constexpr quint8 kEncoding = 0x06;   // bits 1-2
constexpr quint8 kEncryption = 0x18; // bits 3-4

// The choice bits of a marked byte; none of an unmarked one.
bool marked(quint8 padding)
{
    return (padding & kMarkBits) == kMark || (padding & kMarkBits) == kKeyringMark;
}

quint8 choices(quint8 padding)
{
    return marked(padding) ? quint8(padding & ~kMarkBits) : 0;
}

bool inKeyring(quint8 padding)
{
    return (padding & kMarkBits) == kKeyringMark;
}

quint8 choice(quint8 padding, quint8 bits, int shift)
{
    return quint8((choices(padding) & bits) >> shift);
}

void setChoice(quint8& padding, quint8 bits, int shift, quint8 value)
{
    const quint8 mark = inKeyring(padding) ? kKeyringMark : kMark;
    padding = quint8(mark | (choices(padding) & ~bits) | ((value << shift) & bits));
}
} // namespace

quint8 TSiteRecord::DataConnection() const
{
    return choice(padding, kPassive, 0);
}

void TSiteRecord::SetDataConnection(quint8 mode)
{
    setChoice(padding, kPassive, 0, mode == 1 ? 1 : 0);
}

quint8 TSiteRecord::NameEncoding() const
{
    const quint8 encoding = choice(padding, kEncoding, 1);
    return encoding <= 2 ? encoding : 0;
}

void TSiteRecord::SetNameEncoding(quint8 encoding)
{
    setChoice(padding, kEncoding, 1, encoding <= 2 ? encoding : 0);
}

quint8 TSiteRecord::Encryption() const
{
    return choice(padding, kEncryption, 3);
}

void TSiteRecord::SetEncryption(quint8 encryption)
{
    setChoice(padding, kEncryption, 3, encryption <= 3 ? encryption : 0);
}

bool TSiteRecord::PasswordInKeyring() const
{
    return inKeyring(padding);
}

void TSiteRecord::SetPasswordInKeyring(bool keyring)
{
    padding = quint8((keyring ? kKeyringMark : kMark) | choices(padding));
}
