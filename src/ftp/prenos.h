#pragma once
// TPrenos: one transfer of the session (a listing, a download or an upload):
// its kind and local file, its offsets and counters, the reply that ended
// it, its data socket and its buffers.
//
// Contract:
// - The session prepares it (Pripravi: the kind and the local path are fixed
//   until it ends; the counters of the verdict start again) and forgets it
//   (Pozabi: no kind, file closed, flags cleared); the fields in between are
//   written by the session's handlers. Offsets (zamikPrejema, zamikOddaje)
//   and the expected size are set by the commands before or after Pripravi
//   and survive it.
// - Local files are opened under the bytes ToUtf8Kept gives their path, so a
//   name that is no valid UTF-8 keeps its own bytes. OdpriPrejem creates or
//   truncates a download's file (a resume opens the existing file, only when
//   its size is still zamikPrejema) and never writes through a link;
//   OdpriOddajo opens an upload's regular file for reading, at zamikOddaje for
//   a resume, and sets it to go out straight from the file (izDatoteke, from
//   polozaj) until the connection or the system cannot send it so.
// - Sodba decides the verdict from what is known now: whether to wait (no
//   final reply yet, or a download's data connection still runs), and else
//   success or which failure. A TLS data connection that ended without the
//   server's close_notify counts as cut off (a listing always; a download
//   unless its bytes are exactly the size announced or listed). It changes
//   nothing.
// - No events and no sockets of its own: podatkovna is the session's admitted
//   data connection (nullptr when none), closed by the session.
#include "ftp/ftpodgovori.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QString>

#include <array>

#include <sys/stat.h>

class TSocketBase;

// The phases: what the last command sent was for.
enum TFaza : quint8 {
    fzNic = 0,
    fzCWD = 2,
    fzCDUP = 3,
    fzPrejem = 9,
    fzOddaja = 10,
    fzNadaljujPrejem = 11,
    fzNadaljujOddajo = 12,
    fzRNFR = 13,
    fzRNTO = 14,
    fzPrekini = 15,
    fzDELE = 16,
    fzMKD = 17,
    fzPWD = 18,
    fzLIST = 19,
    fzRMD = 24,
};

// stat (or lstat when link) of a local path under its name's own bytes; false when there is no entry.
bool LokalniPodatki(const QString& path, struct stat& info, bool link = false);
// Any entry of that name, a dangling link too.
bool LokalnoObstaja(const QString& path);

// How a transfer ends, as far as is known now.
enum TSodba : quint8 {
    sdCakaj,           // the final reply or the end of the data connection is still awaited
    sdUspeh,           // complete
    sdPrirezanSeznam,  // a listing cut at its cap: its beginning is shown
    sdNiPravic,        // an upload refused with 550
    sdZavrnjeno,       // a RETR or LIST refused with 550 before any data: the reply says it
    sdNeuspehOdgovor,  // refused: the final reply says why
    sdNeuspehDatoteka, // failed: the local file is named
    sdNepopoln,        // a download ended short of the size announced
    sdPredolg,         // a download brought more bytes than the size announced or listed
    sdNepotrjen,       // a TLS data connection ended without close_notify, not at a size known
};

class TPrenos {
public:
    static constexpr int kBlok = 4096; // the unit of the transfer buffers
    // An upload reads and sends up to this many bytes at a time: sixteen times
    // fewer system calls than 4096-byte blocks, which cost uploads a third of
    // their speed on a fast link. A partial send still resumes at its offset.
    static constexpr int kOddajniBlok = 16 * kBlok;
    // Sent straight from the file, an upload asks for this much at a time (the
    // socket takes what its buffer has room for).
    static constexpr int kNeposredniKos = 2048 * kBlok;

    bool JePrejem() const { return vrsta == fzPrejem || vrsta == fzNadaljujPrejem; }
    bool JeOddaja() const { return vrsta == fzOddaja || vrsta == fzNadaljujOddajo; }
    // A new transfer of this kind (fzNic when the phase is no transfer) to the local path.
    void Pripravi(TFaza kind, const QString& path);
    // No transfer any more: the file is closed and the flags are cleared.
    void Pozabi();

    // Opens a download's file: opOdprto, opNapaka (razlog: the system's reason,
    // empty when none) or opSpremenjen (a resume's file is no longer as measured).
    enum TOdpiranje : quint8 { opOdprto, opNapaka, opSpremenjen };
    TOdpiranje OdpriPrejem(QString& razlog);
    bool OdpriOddajo();
    void ZapriDatoteko();
    // The size the server announced, else the listed one.
    qint64 Napovedano() const { return objavljenaVelikost >= 0 ? objavljenaVelikost : pricakovanaVelikost; }
    bool PrekratekPrejem() const;
    // More bytes than the size known: a server that sent another file's bytes
    // (one that queues an aborted RETR for the next data connection) or a
    // file that grew since it was listed. Either way it is not this file.
    bool PredolgPrejem() const;
    // oddajaTece: an upload still has bytes to send.
    TSodba Sodba(bool prirezan, bool oddajaTece) const;

    TFaza vrsta = fzNic; // fzPrejem, fzNadaljujPrejem, fzOddaja, fzNadaljujOddajo, fzLIST; fzNic for none
    QString lokalnaPot;  // absolute local file of a download or upload
    QFile datoteka;      // open while a download or upload runs
    TSocketBase* podatkovna = nullptr; // the admitted data connection
    bool sprejeto = false;     // a data connection came since the transfer was prepared (or the last PORT)
    bool napaka = false;       // the data connection was reset, or a receive or write failed
    bool nepotrjen = false;    // its TLS data connection ended without the server's close_notify
    bool cakaKonec = false;    // its command awaits the final reply
    bool cakaNaslov = false;   // passive: its command waits for the EPSV/PASV reply
    bool oddajaZaceta = false; // the server has answered the STOR with 1xx
    bool odprt = false;        // a download's file has been opened (or tried) in this transfer
    bool retrSprejet = false;  // the server has answered the RETR with 1xx
    bool portZavrnjen = false; // the server refused the PORT of this transfer
    int koncniOdgovor = 0;     // the final reply to its command (0 none yet)
    QString koncnaVrstica;     // ... as received
    qint64 objavljenaVelikost = -1; // the "(N bytes)" of the 1xx to a RETR, -1 when none
    qint64 pricakovanaVelikost = 0; // the listed (download) or local (upload) size
    QString velikostBesedilo;       // ... as shown
    qint64 zamikPrejema = 0;
    qint64 zamikOddaje = 0;
    qint64 prejeto = 0; // bytes received (a resume counts from its offset)
    qint64 poslano = 0;
    int ponovitve450 = 0; // 450s met by this transfer
    QDeadlineTimer rok;   // it has stalled when this expires
    struct TUkaz {
        QString label, argument, line;
        TOdgovorZa za = ozPrenos;
    } ukaz; // its first command, sent again after a 450 or in passive mode

    std::array<char, kOddajniBlok> oddajni{}; // the send buffer of an upload
    int neposlano = 0;                        // ... bytes still to send
    int odmik = 0;                            // ... from here
    bool izDatoteke = false; // an upload goes from the file to the socket without the send buffer
    qint64 polozaj = 0;      // ... the file's offset of its next byte then
    std::array<char, 32 * kBlok> prejemni{}; // what one read event gathers
};
