// The zero-copy send of a file over a plain stream socket.
#include "netfixture.h"

#include "net/basicclientsocket.h"
#include "net/streamsocket.h"

#include <QTemporaryDir>

#include <fcntl.h>

TEST(StreamSocket, SendFileSendsFromTheOffsetAndTellsTheEndAndWhatCannotBeSent)
{
    TRawListener listener;
    TBasicClientSocket client;
    bool connected = false;
    client.OnConnect = [&](TSockCtrl*, TSocketBase*) { connected = true; };
    client.SetAddress(QStringLiteral("127.0.0.1"));
    client.SetPort(QString::number(listener.Port));
    client.Open(SocketClassOf<TStreamSocket>);
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(PumpUntil([&] { return connected; }));
    TStreamSocket* const socket = TStreamSocket::Of(client.Socket());
    ASSERT_NE(socket, nullptr);

    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("f"));
    QFile file(dir.filePath("f"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("0123456789") == 10);
    file.close();
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    const int folder = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);

    struct TCase {
        int file;
        qint64 offset;
        int len;
        int result;
        QByteArray arrives;
    } const cases[] = {
        {fd, 0, 4, 4, "0123"},
        {fd, 7, 10, 3, "789"}, // only what the file has
        {fd, 10, 4, TStreamSocket::FileEnd, {}},
        {fd, 3, 0, 0, {}},
        {folder, 0, 4, TStreamSocket::NotSendable, {}}, // the caller reads it itself
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(socket->SendFile(c.file, c.offset, c.len), c.result) << c.offset;
        QByteArray got(16, '\0');
        const ssize_t n = c.arrives.isEmpty() ? 0 : ::recv(peer, got.data(), got.size(), 0);
        EXPECT_EQ(got.left(int(n)), c.arrives) << c.offset;
    }
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 0) << "the descriptor's own position stays";

    client.Close();
    EXPECT_EQ(socket->SendFile(fd, 0, 4), 0) << "nothing goes out of a closed socket";
    ::close(fd);
    ::close(folder);
    ::close(peer);
}
