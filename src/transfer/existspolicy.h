#pragma once
// The file-exists policy: what a job does with a file that exists on the
// target side. One decision function serves every direction and mode.
//
// Contract: pure functions, no state, no events. DecideExists never asks:
// with epAsk it answers eaAsk and the caller puts TExistsQuestion to the
// user; the answer then goes through ApplyAnswer, which gives the action for
// this file and, for a "for all" choice, the policy for the rest of the job.
#include "ftp/remotelisting.h"
#include "transfer/transferqueue.h"

#include <QString>

// What the file-exists question is about.
struct TExistsQuestion {
    const TQueueItem* item = nullptr;
    qint64 targetSize = 0;
    qint64 targetModified = -1; // seconds since 1970 UTC, -1 unknown
    bool several = false;       // the job has more than one file: "for all" choices are offered
};

struct TExistsAnswer {
    enum TChoice : quint8 {
        acResume,
        acOverwrite,
        acRename,
        acCancel, // skip this file
        acOverwriteAll,
        acResumeAll,
        acSkipAll,
        acOverwriteIfDifferent,
    };
    TChoice choice = acCancel;
    QString newName; // acRename: the new name (checked like a name from a server)
};

enum TExistsAction : quint8 {
    eaOverwrite, // transfer the whole file over the target
    eaResume,    // continue after the target's bytes
    eaSkip,      // leave the target as it is
    eaRename,    // transfer under the answer's new name
    eaAsk,       // put the question
};

// Both sides of an existing file. Sizes in bytes (a source size of 0 is
// unknown), times in seconds since 1970 UTC (-1 unknown).
struct TExistsFacts {
    qint64 sourceSize = 0;
    qint64 sourceModified = -1;
    qint64 targetSize = 0;
    qint64 targetModified = -1;
};

// epResumeAll resumes a shorter target, skips one of the source's size and
// overwrites a longer one; epOverwriteIfDifferent overwrites when the sizes
// differ or the source is newer.
TExistsAction DecideExists(TExistsPolicy policy, const TExistsFacts& facts);

// The action an answer takes for its file; a "for all" choice also stores its
// policy in *jobPolicy (other choices leave it).
TExistsAction ApplyAnswer(TExistsAnswer::TChoice choice, const TExistsFacts& facts, TExistsPolicy* jobPolicy);

// A listed entry's modification time (seconds since 1970 UTC), -1 when the
// listing gave none or the entry type carries no time.
template <class TEntry> qint64 EntryModified(const TEntry& entry)
{
    if constexpr (requires { entry.modified; })
        return entry.modified;
    else
        return -1;
}
