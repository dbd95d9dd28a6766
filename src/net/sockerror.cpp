// The texts of socket errors and the library's messages, and the translation
// of the system's errno and resolver codes into Windows Sockets numbers.
#include "net/sockerror.h"
#include "net/winsockapi.h"

#include <QHash>

#include <cerrno>

#include <netdb.h>

namespace {

// Texts by resource id: socket error code + 5000, and message id + 5000.
const QHash<int, QString>& errorTexts()
{
    static const QHash<int, QString> texts = {
        {15004, "Interrupted system call"},
        {15009, "Bad file number"},
        {15013, "Permission denied"},
        {15014, "Bad address"},
        {15022, "Invalid argument"},
        {15024, "Too many open files"},
        {15035, "Operation would block"},
        {15036, "Operation now in progress"},
        {15037, "Operation, already in progress"},
        {15038, "Socket operation on non-socket"},
        {15039, "Destination address required"},
        {15040, "Message too long"},
        {15041, "Protocol wrong type for socket"},
        {15042, "Bad protocol option"},
        {15043, "Protocol not supported"},
        {15044, "Socket type not supported"},
        {15045, "Operation not supported on socket"},
        {15046, "Protocol family not supported"},
        {15047, "Address family not supported by protocol family"},
        {15048, "Address already in use"},
        {15049, "Can't assign requested address"},
        {15050, "Network is down"},
        {15051, "Network is unreachable"},
        {15052, "Net dropped connection or reset"},
        {15053, "Software caused connection abort"},
        {15054, "Connection reset by peer"},
        {15055, "No buffer space available"},
        {15056, "Socket is already connected"},
        {15057, "Socket is not connected"},
        {15058, "Can't send after socket shutdown"},
        {15059, "Too many references, can't splice"},
        {15060, "Connection timed out"},
        {15061, "Connection refused"},
        {15062, "Too many levels of symbolic links"},
        {15063, "File name too long"},
        {15064, "Host is down"},
        {15065, "No Route to Host"},
        {15066, "Directory not empty"},
        {15067, "Too many processes"},
        {15068, "Too many users"},
        {15069, "Disc Quota Exceeded"},
        {15070, "Stale NFS file handle"},
        {15071, "Too many levels of remote in path"},
        {15091, "Network SubSystem is unavailable"},
        {15092, "WINSOCK DLL Version out of range"},
        {15093, "Successful WSASTARTUP not yet performed"},
        {15101, "Socket Disconnected"},
        {16001, "Host not found"},
        {16002, "Non-Authoritative Host not found"},
        {16003, "Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
        {16004, "Valid name, no data record of requested type"},
        {25001, "Error %d (%s) finding address for host"},
        {25002, "Error %d (%s) calling WSAAsyncGetHostByAddr"},
        {25003, "Error %d (%s) calling WSAAsyncGetHostByName"},
        {25004, "Error %d (%s) calling WSAAsyncGetServByName"},
        {25005, "Error %d (%s) calling WSAAsyncGetServByPort"},
        {25006, "Error %d (%s) finding host for address"},
        {25007, "Error %d (%s) Binding Socket"},
        {25008, "Error %d (%s) connecting"},
        {25009, "Error %d (%s) creating new socket"},
        {25010, "Error %d (%s) calling getpeername"},
        {25011, "Error %d (%s) calling getsockname"},
        {25012, "Error %d (%s) getting # of bytes in Receive Buffer"},
        {25013, "Error %d (%s) listining"},
        {25014, "Error %d (%s) recieving"},
        {25015, "Error %d (%s) sending"},
        {25016, "Error %d (%s) starting up WinSock"},
        {25017, "No address specified"},
        {25018, "Socket not open"},
        {25019, "Can't do reverse lookup on address 0.0.0.0"},
        {25020, "Socket Already opened"},
        {25021, "Datagram exceeds Winsock's max UDP packet size"},
        {25022, "Winsock DLL Already Loaded, Cannot change name"},
        {25023, "Invalid type for a Stream socket"},
        {25024, "Invalid type for a Datagram socket"},
        {25025, "Error %d (%s) peeking"},
        {25026, "No Socket Class Defined"},
    };
    return texts;
}

} // namespace

int WsaErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        return 0;
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
    case EPERM:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
    case ENFILE:
        return 10024;
    case EAGAIN:
    case EINPROGRESS:
        return 10035;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
    case EPIPE:
        return 10054;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    case EUSERS:
        return 10068;
    case EDQUOT:
        return 10069;
    case ESTALE:
        return 10070;
    case EREMOTE:
        return 10071;
    default:
        return 12000 + error;
    }
}

int WsaErrorFromResolver(int eaiError, int savedErrno)
{
    switch (eaiError) {
    case 0:
        return 0;
    case EAI_NONAME:
        return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
        return WSATRY_AGAIN;
    case EAI_FAIL:
        return WSANO_RECOVERY;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
        return WSANO_DATA;
    case EAI_MEMORY:
        return 10055;
    case EAI_SYSTEM:
        return WsaErrorFromErrno(savedErrno);
    default:
        return WSANO_RECOVERY;
    }
}

QString SocketErrorText(int code)
{
    if (code == 0)
        return {};
    const QString text = errorTexts().value(code + 5000);
    return (text.isEmpty() ? QStringLiteral("Unknown Error %1").arg(code) : text).left(255);
}

QString FormatSocketMessage(const QString& format, int code)
{
    const int d = format.indexOf(QLatin1String("%d"), 0, Qt::CaseInsensitive);
    const int s = format.indexOf(QLatin1String("%s"), 0, Qt::CaseInsensitive);
    if (d < 0 && s < 0)
        return format;
    const QString number = QString::number(code);
    const QString text = SocketErrorText(code);
    const QString args[2] = {d >= 0 && (s < 0 || d < s) ? number : text,
                             d >= 0 && (s < 0 || d < s) ? text : number};
    // Each %d or %s, in order, takes the next argument; any beyond two stays as written.
    QString message;
    int used = 0;
    for (int i = 0; i < format.size(); ++i) {
        const QChar next = i + 1 < format.size() ? format.at(i + 1).toLower() : QChar();
        if (format.at(i) == QLatin1Char('%') && (next == QLatin1Char('d') || next == QLatin1Char('s')) &&
            used < 2) {
            message += args[used++];
            ++i;
        } else {
            message += format.at(i);
        }
    }
    return message;
}

void RaiseSocketError(int code, int messageId)
{
    const QString format = SocketErrorText(messageId);
    if (format.isEmpty())
        throw ESockError(SocketErrorText(code));
    throw ESockError(FormatSocketMessage(format, code));
}
