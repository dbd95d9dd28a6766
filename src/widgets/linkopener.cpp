#include "widgets/linkopener.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

void OpenWithPlatform(const QString& link)
{
    QUrl url(link, QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().isEmpty())
        url = QUrl::fromUserInput(link);
    QDesktopServices::openUrl(url);
}

TLinkOpener& Opener()
{
    static TLinkOpener opener = OpenWithPlatform;
    return opener;
}

} // namespace

TLinkOpener SetLinkOpener(TLinkOpener opener)
{
    TLinkOpener previous = Opener();
    Opener() = opener ? std::move(opener) : TLinkOpener(OpenWithPlatform);
    return previous;
}

void OpenLink(const QString& link)
{
    Opener()(link);
}
