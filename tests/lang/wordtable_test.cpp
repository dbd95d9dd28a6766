#include "core/exception.h"
#include "lang/multilang.h"
#include "lang/wordtable.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {
struct Word {
    const char* key;
    const char* slovenian;
    const char* english;
};

// Every message of the main window, as its description gives it.
const Word kMainWindowMessages[] = {
    {"@idUkaz", "Kvado ukaz:     ", "Kvado command: "},
    {"@idStan", "Kvado stanje:  ", "Kvado state:    "},
    {"@idNapaka", "Zgodila se je napaka pri poskusu vzpostavitve povezave: ",
     "There has been an error while connecting: "},
    {"@idOpo", "Kvado opozorilo!", "Kvado warning!"},
    {"@idNiUsp", "Povezava se ni uspešno iztekla.", "Connection not established successfully."},
    {"@idKonec", "********* Konec dela na FTP strežniku ", "********* Disconnected from "},
    {"@idPriMapo", "Prikazujem vsebino mape...", "Retrieving directory..."},
    {"@idDatUsp", "Datoteka uspešno prenešena.", "File(s) successfully transfered."},
    {"@idNadalj", "Datoteka uspešno nadaljevana.", "File successfully resumed."},
    {"@idPrek", "Prenos datoteke prekinjen!", "File(s) transfer aborted!"},
    {"@idNiMape", "Navedene mape ni v podani poti! Prestavljam v osnovno mapo (/)...",
     "Specified directory doesn't exist! Jumping into root directory (/)..."},
    {"@idNiPravic", "Prenos ni mogoč! Pisanje v tej mapi ni dovoljeno.",
     "Transfer not possible! Access denied."},
    {"@idNeBrMap", "Ne morem izbrisati mape. Verjetno vsebuje datoteke.",
     "Can not delete directory. It must be empty to delete it."},
    {"@idPre", "Preimenuj \"", "Rename \""},
    {"@idVnesiIme", "Kvado - vnesi novo ime datoteke", "Kvado - rename"},
    {"@idObs", "Datoteka na cilju že obstaja. Kaj boš storil?",
     "Target file already exists. What are you going to do?"},
};

// Captions and hints of the main window's menus and buttons (key, then the hint key for hints).
const Word kMainWindowCaptions[] = {
    {"%Form%", "Kvado", "Kvado"},
    {"FTPPovezi", "&Poveži", "&Connect"},
    {"FTPMoznosti", "&Možnosti", "&Options"},
    {"FTPIzhod", "Iz&hod", "E&xit"},
    {"OknoSkrijLok", "Skrij &Lokalne", "Hide &Local"},
    {"OknoSkrijFTP", "Skrij &FTP", "Hide &Remote"},
    {"OknoSkrijInfo", "Skrij &Informacije", "Hide &Status"},
    {"UkaziMenu", "&Ukazi", "Co&mmand"},
    {"UkazPreSFTP", "Prenesi s FTP", "Remote -> Local"},
    {"UkazIzbrisiFTP", "Izbriši FTP datoteko", "Delete remote file(s)"},
    {"UkazFTPStop", "Stop", "Stop"},
    {"PomocTeme", "&Teme pomoči", "Help &Index"},
    {"Pla1Skoci", "Skoči v ...", "Jump into ..."},
    {"Pla1OsveziFTP", "Osveži FTP", "Refresh remote"},
    {"Pla2Odpri", "Odpri / poglej", "Open / view"},
    {"Pla2OsveziLok", "Osveži lokalne", "Refresh local"},
    {"gsTekst", "Tekst", "ASCII"},
    {"Kopiraj1", "&Kopiraj", "Copy"},
};

QStringList groupOf(const QStringList& words, const QString& key)
{
    for (qsizetype i = 0; i + 2 < words.size(); i += 3)
        if (words[i] == key)
            return words.mid(i, 3);
    return {};
}
} // namespace

TEST(MainWindowTable, EveryMessageExistsWithBothTextsExactly)
{
    QWidget window;
    TMultiLang ml(&window);
    ml.LoadWords("ML1");
    for (const Word& word : kMainWindowMessages) {
        SCOPED_TRACE(word.key);
        ml.SetActiveLanguage(0);
        EXPECT_EQ(ml.GetWord(word.key), QString::fromUtf8(word.slovenian));
        ml.SetActiveLanguage(1);
        EXPECT_EQ(ml.GetWord(word.key), QString::fromUtf8(word.english));
    }
    for (const Word& word : kMainWindowCaptions) {
        SCOPED_TRACE(word.key);
        EXPECT_EQ(groupOf(ml.Words(), word.key), (QStringList{word.key, QString::fromUtf8(word.slovenian),
                                                              QString::fromUtf8(word.english)}));
    }
}

TEST(MainWindowTable, ToolButtonsHaveEmptyCaptionsThenTheirHints)
{
    const QStringList words = LoadWordTable("ML1");
    const qsizetype at = words.indexOf("HitriGumb1");
    ASSERT_GE(at, 0);
    EXPECT_EQ(words.mid(at, 6),
              (QStringList{"HitriGumb1", "", "", "\".Hint", QString::fromUtf8("Poveže s FTP strežnikom"),
                           "Connects with host"}));
    EXPECT_EQ(words.size() % 3, 0);
}

TEST(WordTableFile, KeepsSpacesAndRejectsMalformedRows)
{
    EXPECT_EQ(ParseWordTable(R"([["@idA", "  a ", " "], ["\"", "", "\""]])", 2, "T"),
              (QStringList{"@idA", "  a ", " ", "\"", "", "\""}));
    EXPECT_THROW(ParseWordTable(R"([["@idA", "a"]])", 2, "T"), Exception);
    EXPECT_THROW(ParseWordTable(R"([["@idA", "a", 3]])", 2, "T"), Exception);
    EXPECT_THROW(ParseWordTable(R"({"@idA": 1})", 2, "T"), Exception);
    EXPECT_THROW(ParseWordTable("[[", 2, "T"), Exception);
    EXPECT_THROW(LoadWordTable("NoSuchTable"), Exception);
}
