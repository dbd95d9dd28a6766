#pragma once
// The program's settings as plain values: one TSettings, owned by the main
// window for the whole run, filled by TPosSaver::LoadSettings at creation and
// written by TPosSaver::SaveSettings at closing. Every other window reads and
// changes the fields directly; nothing here touches a widget.
//
// The fields are named after their stored keys. A default-constructed TSettings
// holds the default of every key (what a first start sees); the loader keeps a
// field's current value whenever the store has nothing usable for it.
//
// Colours are Windows colour values (TColor, 0x00BBGGRR; widgets/wincolor.h
// converts them); the store keeps them as signed 32-bit decimal text.
#include "widgets/wincolor.h"

#include <QDir>
#include <QString>
#include <QStringList>

struct TWindowPlacement { // group "PozOkna"
    int Zgoraj = 138;     // window top
    int Levo = 175;       // window left
    int Sirina = 593;     // window width: the designed client width
    int Visina = 354;     // window height: the designed client height
    int WinSplit1 = 89;   // height of the log pane FTPInfo1
    int WinSplit2 = 200;  // width of the local pane ScrollBox1
    bool Max = false;     // window was maximised
    bool Stored = false;  // the store held a window size (not a key: a first start fits the window instead)
};

struct TPaneFont {             // group "Pisava": the font of the three panes
    QString Ime = "Technical"; // family
    int Velikost = 11;         // size in points
    qint32 Barva = 0;          // colour, Windows colour value
    QString Stil;              // style text as stored ("b", "i", "b,i" or empty); see DecodeFontStyle
};

struct TLogColours {          // group "Barve": the three kinds of log line
    TColor Ukaz = 0x4080FF;   // commands sent (orange)
    TColor Stanje = 0xFF8000; // program status lines (azure blue)
    TColor Normal = 0x408080; // server replies and other lines (olive)
};

inline constexpr int kMaxPrenosi = 10; // most background connections for transfers

struct TSettings {
    bool ShrNast = true;                     // save settings on exit
    QString Pot;                             // program file's full path; read, not used
    bool DANE = false;                       // write the session log to a file
    QString ZNaslov;                         // session: host (at most 255 characters)
    QString ZUporIme;                        // session: user name (at most 255)
    QString ZUporGeslo;                      // session: password (at most 255)
    bool ZGesloVShrambi = false;             // that password is kept in the keyring, not in the file
    QString ZVrata = "21";                   // session: port as typed
    int Pisanje = 1024;                      // session: send buffer size
    int Branje = 1024;                       // session: receive buffer size
    QString FTPMapa;                         // session: initial remote directory, empty = none
    QString LokMapa = QDir::homePath();      // local directory opened at start
    quint8 TipPre = 0;                       // session: transfer type 0 auto, 1 image, 2 binary, 3 text
    quint8 TipPri = 0;                       // session: login type 0 anonymous, 1 normal
    QString PrivGeslo = "kvado@example.org"; // password of an anonymous login (fits a site's 20 characters)
    quint8 TipFTP = 0;                       // server kind 0 detect, 1 UNIX, 2 UNIX-compatible, 3 VMS
    QString Dnevnik = "Dnevnik.kvl";         // log file name
    bool PrikNam = true;                     // show hints on the four panes
    int TimeOut = 5;                         // control connection time-out in seconds, 0 = none
    bool Ozadje = true;                      // background pictures in quick connect and about
    quint8 TPogledaLok = 4;        // local list view: 1 large icons, 2 small icons, 3 list, 4 details
    quint8 Zvok = 2;               // event feedback: 0 none, 1 beep, 2 sound files
    quint8 Jezik = 0;              // language number + 1; 0 = not yet chosen
    quint8 PodatkovnaPovezava = 0; // session: data connection 0 active (the default), 1 passive
    quint8 KodiranjeImen = 0;      // session: names 0 code page 1250 (the default), 1 UTF-8, 2 automatic
    quint8 Sifriranje = 0;         // session: encryption 0 none (the default), 1 explicit TLS when offered,
                                   // 2 explicit TLS required, 3 implicit TLS
    quint8 Prenosi = 0;            // transfers: 0 in the browsing session (the default), 1..kMaxPrenosi on
                                   // that many background connections of their own
    bool Obvestila = true;         // desktop notification and taskbar progress of finished transfers

    TWindowPlacement PozOkna;
    TPaneFont Pisava;
    TLogColours Barve;
    QStringList Zvoki{"thudclap.wav", "orchestr.wav"}; // group "Zvoki": index 0 = event 1, index 1 = event 2
};
