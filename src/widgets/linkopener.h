#pragma once
// Opening a link with the platform's default action (QDesktopServices). The
// opener is replaceable so that tests can record the link instead of opening
// it; the result of opening is not reported.
#include <QString>
#include <functional>

using TLinkOpener = std::function<void(const QString& link)>;

// Installs opener (an empty one restores the platform's); returns the previous.
TLinkOpener SetLinkOpener(TLinkOpener opener);

void OpenLink(const QString& link);
