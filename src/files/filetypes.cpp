#include "files/filetypes.h"

QString AttributeLetters(std::uint8_t attributes)
{
    static constexpr struct {
        std::uint8_t bit;
        char letter;
    } order[] = {{faDirectory, 'D'}, {faArchive, 'A'}, {faReadOnly, 'R'},
                 {faSystem, 'S'},    {faHidden, 'H'},  {faTemporary, 'T'}};
    QString letters;
    for (const auto& entry : order) {
        if (attributes & entry.bit)
            letters += QLatin1Char(entry.letter);
    }
    return letters;
}

bool PassesAttributeFilter(std::uint8_t attributes, TFileTypes types)
{
    if (types.Contains(ftAll))
        return true;
    static constexpr struct {
        std::uint8_t bit;
        TFileType type;
    } filter[] = {{faArchive, ftArchive},
                  {faReadOnly, ftReadonly},
                  {faHidden, ftHidden},
                  {faSystem, ftSystem},
                  {faTemporary, ftTemporary}};
    for (const auto& entry : filter) {
        if ((attributes & entry.bit) && !types.Contains(entry.type))
            return false;
    }
    return true;
}
