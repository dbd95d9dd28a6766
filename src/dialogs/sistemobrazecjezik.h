#pragma once
// The language number of the settings value Jezik (language + 1). Only 1 and 2
// name a language; 0 (not yet chosen) and any other value switch no word
// table, so a window keeps the Slovenian texts it was built with.
#include <QtGlobal>

inline bool IsChosenLanguage(quint8 jezik)
{
    return jezik == 1 || jezik == 2;
}

// The language index a window shows for Jezik: its language, or 0.
inline int ShownLanguage(quint8 jezik)
{
    return IsChosenLanguage(jezik) ? jezik - 1 : 0;
}
