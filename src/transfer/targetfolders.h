#pragma once
// TTargetFolders: what an upload job knows of its remote folders, so that the
// file-exists question needs each folder listed at most once: from the
// window's listing of the folder it shows, from a folder the job made itself
// (then nothing is in it), or from one listing through a session.
//
// Contract: a plain value, no events. Knowledge is kept per job and forgotten
// with Clear (when the queue goes idle) or Forget (before a resume reads the
// sizes afresh).
#include "ftp/remotelisting.h"

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

class TTargetFolders {
public:
    struct TFile {
        qint64 size = 0;
        qint64 modified = -1; // seconds since 1970 UTC, -1 unknown
    };

    bool Known(quint32 job, const QString& folder) const;
    void SetListing(quint32 job, const QString& folder, const std::vector<TRemoteEntry>& entries);
    void SetListing(quint32 job, const QString& folder, const TRemoteListing& listing);
    void SetEmpty(quint32 job, const QString& folder);
    void Put(quint32 job, const QString& folder, const QString& name, const TFile& file);
    void Forget(quint32 job, const QString& folder);
    void Clear() { m_folders.clear(); }

    // The file of that name in a known folder; ignoreCase as the described
    // upload of selected files compares names.
    std::optional<TFile> Find(quint32 job, const QString& folder, const QString& name, bool ignoreCase) const;

private:
    using TNames = QHash<QString, TFile>;
    static QString key(quint32 job, const QString& folder);
    QHash<QString, TNames> m_folders;
};
