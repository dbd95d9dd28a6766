#pragma once
// TFtpOdgovori: which command owes which reply on the control connection.
//
// Contract:
// - Every command sent is recorded with Dolguje (what its reply answers, and
//   the transfer that was prepared when it was sent). Za matches a reply code
//   to the command it answers and forgets that command: a 1xx answers nothing
//   (ozDrugo), no code at all answers nothing owed (ozNic); 225, 226, 425 and
//   426 answer a stopped transfer's command or ABOR while that ABOR is owed
//   (in order: ozDrugo), else the current transfer's command (catching up a
//   server that left earlier commands unanswered, or that already answered
//   the transfer with an extra reply while prenosCaka), else the oldest
//   command of an earlier transfer still owed one (a transfer given up
//   ending late: ozDrugo); any
//   other 2xx but 250 answers the oldest
//   command that is not a transfer's; 350 answers the oldest REST owed (a
//   server may answer PORT only once it has connected, after the REST sent
//   behind it); the rest answer the oldest command. A command of an earlier
//   transfer answers ozDrugo.
// - ABOR gets one reply or none of its own: servers answer an aborted
//   transfer with a 426 and then a 226 for the ABOR, with a 226 and then a
//   225, or with one 226 for both. So an ABOR that is the oldest command owed
//   when a final reply other than 225 or 226 arrives has been answered
//   already: it is forgotten, and the reply answers the next command.
// - Catching up after the session's own ABOR (Uskladi): 225 answers that
//   ABOR and everything before it; 226 answers the transfer command still owed
//   before it (the ABOR then stays owed, answered or not: see above), else the
//   ABOR; any other final reply answers the oldest command owed. True once
//   nothing but that ABOR is owed and its reply may have come.
// - NovPrenos starts a new transfer number: replies owed to commands of the
//   one before no longer count as its own.
// - Steje counts the lines and bytes read since the last reply that answered
//   something (Odgovorjeno); false once they pass kNajvecVrstic or
//   kNajvecOdgovor.
// - Nothing here sends, shows or calls back: the session acts on the result.
#include <QtGlobal>

#include <deque>

// What a command's final reply answers.
enum TOdgovorZa : quint8 {
    ozDrugo,
    ozREST,
    ozPrenos,
    ozNic /* answers no command owed */,
    ozPORT,
    ozPasivno,
    ozFEAT,
    ozOPTS,
    ozAUTH,
    ozPBSZ,
    ozPROT,
    ozABOR,
    ozVrsta // a command of an operation of the transfer queue (MKD, CWD, PWD)
};

class TFtpOdgovori {
public:
    static constexpr int kNajvecVrstic = 10000;              // lines of one multi-line reply
    static constexpr qsizetype kNajvecOdgovor = 1024 * 1024; // bytes of one multi-line reply

    void Dolguje(TOdgovorZa za) { m_dolgovani.push_back({za, m_stevilkaPrenosa}); }
    TOdgovorZa Za(int koda, bool prenosCaka);
    // Whether the current transfer's own command has been sent and not answered.
    bool UkazPrenosaCaka() const;
    // The same, REST of a resume included.
    bool PrenosCaka() const;
    // A final reply while catching up after ABOR (see above); true once in step.
    bool Uskladi(int koda);
    // Whether the oldest reply owed is FEAT's (its feature lines are being read).
    bool CakaFeat() const { return !m_dolgovani.empty() && m_dolgovani.front().za == ozFEAT; }
    bool Prazno() const { return m_dolgovani.empty(); }
    // Whether a command of the current transfer number still awaits its reply
    // (a stopped transfer's command and its ABOR do not count).
    bool CakaTekoci() const;
    void NovPrenos() { ++m_stevilkaPrenosa; }
    void Pocisti() { m_dolgovani.clear(); }

    // The bound on what is read before a reply answers something.
    bool Steje(qsizetype bajtov);
    void Odgovorjeno();

private:
    struct TDolg {
        TOdgovorZa za;
        quint32 prenos; // m_stevilkaPrenosa when the command was sent
    };
    std::deque<TDolg> m_dolgovani; // oldest first
    quint32 m_stevilkaPrenosa = 0;
    int m_vrstic = 0;
    qsizetype m_bajtov = 0;
};
