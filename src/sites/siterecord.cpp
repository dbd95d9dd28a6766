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
constexpr quint8 kChoicesMark = 0xA0;
constexpr quint8 kPassive = 0x01;
constexpr quint8 kEncoding = 0x06; // bits 1-2
} // namespace

quint8 TSiteRecord::DataConnection() const
{
    return (padding & 0xF0) == kChoicesMark && (padding & kPassive) != 0 ? 1 : 0;
}

void TSiteRecord::SetDataConnection(quint8 mode)
{
    const quint8 choices = (padding & 0xF0) == kChoicesMark ? quint8(padding & 0x0F) : 0;
    padding = quint8(kChoicesMark | (mode == 1 ? choices | kPassive : choices & ~kPassive));
}

quint8 TSiteRecord::NameEncoding() const
{
    const quint8 encoding = (padding & 0xF0) == kChoicesMark ? quint8((padding & kEncoding) >> 1) : 0;
    return encoding <= 2 ? encoding : 0;
}

void TSiteRecord::SetNameEncoding(quint8 encoding)
{
    const quint8 choices = (padding & 0xF0) == kChoicesMark ? quint8(padding & 0x0F) : 0;
    padding = quint8(kChoicesMark | (choices & ~kEncoding) | ((encoding <= 2 ? encoding : 0) << 1));
}
