#include "app/ftpurl.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

bool HasControl(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

} // namespace

TFtpUrl TFtpUrl::Parse(const QString& text, TFtpUrlFault* fault)
{
    TFtpUrl url;
    auto refuse = [&](TFtpUrlFault why) {
        *fault = why;
        return TFtpUrl{};
    };
    const QString trimmed = text.trimmed();
    url.Secure = trimmed.startsWith(QLatin1String("ftps://"), Qt::CaseInsensitive);
    if (!url.Secure && !trimmed.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
        return refuse(fuScheme);
    const QUrl parsed(trimmed, QUrl::StrictMode);
    if (!parsed.isValid())
        return refuse(parsed.errorString().contains(QLatin1String("port"), Qt::CaseInsensitive)
                          ? fuPort
                          : fuCharacters);
    url.Host = parsed.host(QUrl::FullyDecoded);
    if (url.Host.isEmpty())
        return refuse(fuHost);
    url.Port = parsed.port(url.Secure ? 990 : 21);
    if (url.Port < 1 || url.Port > 65535)
        return refuse(fuPort);
    url.User = parsed.userName(QUrl::FullyDecoded);
    url.Password = parsed.password(QUrl::FullyDecoded);
    url.HasPassword = !parsed.password(QUrl::FullyEncoded).isEmpty() || text.contains(QLatin1String(":@"));
    QString path = parsed.path(QUrl::FullyDecoded);
    static const QRegularExpression type(QStringLiteral(";type=[aAiIdD]$"));
    path.remove(type);
    if (path.isEmpty())
        path = QStringLiteral("/");
    if (HasControl(url.User) || HasControl(url.Password) || HasControl(url.Host) || HasControl(path))
        return refuse(fuCharacters);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    url.Folder = path.left(slash + 1);
    url.Name = path.mid(slash + 1);
    url.Shown = parsed.toDisplayString(QUrl::RemovePassword);
    *fault = fuNone;
    return url;
}
