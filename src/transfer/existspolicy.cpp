#include "transfer/existspolicy.h"

TExistsAction DecideExists(TExistsPolicy policy, const TExistsFacts& facts)
{
    switch (policy) {
    case epOverwriteAll:
        return eaOverwrite;
    case epSkipAll:
        return eaSkip;
    case epResumeAll:
        if (facts.sourceSize <= 0 || facts.targetSize < facts.sourceSize)
            return eaResume;
        return facts.targetSize == facts.sourceSize ? eaSkip : eaOverwrite;
    case epOverwriteIfDifferent: {
        const bool newer = facts.sourceModified >= 0 && facts.targetModified >= 0 &&
                           facts.sourceModified > facts.targetModified;
        return facts.sourceSize != facts.targetSize || newer ? eaOverwrite : eaSkip;
    }
    case epAsk:
        break;
    }
    return eaAsk;
}

TExistsAction ApplyAnswer(TExistsAnswer::TChoice choice, const TExistsFacts& facts, TExistsPolicy* jobPolicy)
{
    TExistsPolicy policy = epAsk;
    switch (choice) {
    case TExistsAnswer::acResume:
        return eaResume;
    case TExistsAnswer::acOverwrite:
        return eaOverwrite;
    case TExistsAnswer::acRename:
        return eaRename;
    case TExistsAnswer::acCancel:
        return eaSkip;
    case TExistsAnswer::acOverwriteAll:
        policy = epOverwriteAll;
        break;
    case TExistsAnswer::acResumeAll:
        policy = epResumeAll;
        break;
    case TExistsAnswer::acSkipAll:
        policy = epSkipAll;
        break;
    case TExistsAnswer::acOverwriteIfDifferent:
        policy = epOverwriteIfDifferent;
        break;
    }
    if (jobPolicy)
        *jobPolicy = policy;
    return DecideExists(policy, facts);
}
