#pragma once
// TSeznamFtp: the listing of the remote directory, as received and as read.
//
// Contract:
// - Dodaj appends the bytes of the running listing up to Najvecji bytes: what
//   does not fit is dropped, Prirezan becomes true and Dodaj returns false
//   (the caller stops the data connection). Zacni starts a new listing.
// - Razcleni reads the raw listing into Tabela with the layout the server kind
//   chooses (ChooseListFormat; machine facts when Strojni: the listing
//   answers MLSD) and the
//   session's decoder; the raw bytes are gone afterwards, and the table holds
//   at most NajvecVnosov entries (Tabela().Cut() beyond). Neprebrane holds
//   the lines the last reading left out as unreadable.
// - No events, no sockets: the session decides when a listing starts and ends.
#include "ftp/listformat.h"
#include "ftp/remotelisting.h"

#include <QByteArray>

class TSeznamFtp {
public:
    static constexpr qsizetype kNajvecjiSeznam = 64 * 1024 * 1024; // raw listing cap

    void Zacni()
    {
        m_surov.clear();
        m_prirezan = false;
    }
    bool Dodaj(const char* podatki, qsizetype bajtov);
    bool Prirezan() const { return m_prirezan; }
    void Razcleni(int serverKind, TNameDecoder dekoder);
    // The same into another table (a listing for the transfer queue leaves Tabela as it is).
    void RazcleniV(int serverKind, TNameDecoder dekoder, TRemoteListing& tabela);
    const TUnreadLines& Neprebrane() const { return m_neprebrane; }
    bool Strojni() const { return m_strojni; }
    void SetStrojni(bool strojni) { m_strojni = strojni; }

    const TRemoteListing& Tabela() const { return m_tabela; }
    TRemoteListing& Tabela() { return m_tabela; }
    void SetNajvecji(qsizetype bajtov) { m_najvecji = bajtov; }
    void SetNajvecVnosov(int vnosov) { m_najvecVnosov = vnosov; }

private:
    QByteArray m_surov;
    bool m_prirezan = false;
    bool m_strojni = false;
    TUnreadLines m_neprebrane;
    TRemoteListing m_tabela;
    qsizetype m_najvecji = kNajvecjiSeznam;
    int m_najvecVnosov = TRemoteListing::kNajvecVnosov;
};
