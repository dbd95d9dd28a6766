#include "ftp/ftpodgovori.h"

#include <algorithm>

TOdgovorZa TFtpOdgovori::Za(int koda, bool prenosCaka)
{
    if (koda < 100 || koda > 599) // no reply code at all
        return ozNic;
    if (koda < 200) // 1xx only announces the final reply
        return ozDrugo;
    // An ABOR answered together with its transfer (one 226 for both).
    if (koda != 225 && koda != 226 && !m_dolgovani.empty() && m_dolgovani.front().za == ozABOR)
        m_dolgovani.pop_front();
    // These answer nothing but a transfer command: a server that left an
    // earlier command (TYPE, say) unanswered is caught up with here.
    if (koda == 225 || koda == 226 || koda == 425 || koda == 426) {
        const auto prenos = std::find_if(m_dolgovani.begin(), m_dolgovani.end(), [this](const TDolg& d) {
            return d.za == ozPrenos && d.prenos == m_stevilkaPrenosa;
        });
        // A stopped transfer's late end, or its ABOR's own reply: servers
        // answer ABOR and the command before it, in order, so it answers
        // those, not the next transfer's command.
        const auto abor = std::find_if(m_dolgovani.begin(), prenos, [this](const TDolg& d) {
            return d.za == ozABOR && d.prenos != m_stevilkaPrenosa;
        });
        if (abor != prenos) {
            const quint32 ustavljen = abor->prenos;
            m_dolgovani.erase(std::find_if(m_dolgovani.begin(), abor + 1, [ustavljen](const TDolg& d) {
                return (d.za == ozPrenos || d.za == ozABOR) && d.prenos == ustavljen;
            }));
            return ozDrugo;
        }
        if (prenos != m_dolgovani.end()) {
            m_dolgovani.erase(m_dolgovani.begin(), prenos + 1);
            return ozPrenos;
        }
        if (prenosCaka) // an extra reply took its place earlier: still the transfer's own
            return ozPrenos;
        // The late end of a transfer given up (its data connection failed): it
        // answers that transfer's command, not the next command owed (the EPSV
        // of the next listing, say).
        const auto staro = std::find_if(m_dolgovani.begin(), m_dolgovani.end(),
                                        [](const TDolg& d) { return d.za == ozPrenos; });
        if (staro != m_dolgovani.end()) {
            m_dolgovani.erase(staro);
            return ozDrugo;
        }
    }
    // Any other 2xx but 250 is no end of a transfer: it answers a command sent
    // while the transfer runs (MKD, PWD), which the server may answer first.
    auto dolg = m_dolgovani.begin();
    if (koda / 100 == 2 && koda != 250)
        dolg = std::find_if(m_dolgovani.begin(), m_dolgovani.end(),
                            [](const TDolg& d) { return d.za != ozPrenos; });
    // A server that answers PORT only once its connection is made lets the
    // REST sent after it be answered first: 350 is REST's own reply.
    if (koda == 350) {
        const auto rest = std::find_if(m_dolgovani.begin(), m_dolgovani.end(),
                                       [](const TDolg& d) { return d.za == ozREST; });
        if (rest != m_dolgovani.end())
            dolg = rest;
    }
    if (dolg == m_dolgovani.end()) // a reply to no command
        return ozNic;
    const TDolg odgovor = *dolg;
    m_dolgovani.erase(dolg);
    return odgovor.prenos == m_stevilkaPrenosa ? odgovor.za : ozDrugo;
}

bool TFtpOdgovori::UkazPrenosaCaka() const
{
    return std::any_of(m_dolgovani.begin(), m_dolgovani.end(),
                       [this](const TDolg& d) { return d.za == ozPrenos && d.prenos == m_stevilkaPrenosa; });
}

bool TFtpOdgovori::PrenosCaka() const
{
    return std::any_of(m_dolgovani.begin(), m_dolgovani.end(), [this](const TDolg& d) {
        return (d.za == ozPrenos || d.za == ozREST) && d.prenos == m_stevilkaPrenosa;
    });
}

bool TFtpOdgovori::Uskladi(int koda)
{
    Odgovorjeno();
    const auto abor =
        std::find_if(m_dolgovani.rbegin(), m_dolgovani.rend(), [](const TDolg& d) { return d.za == ozABOR; });
    if (koda == 225 || abor == m_dolgovani.rend() || (m_dolgovani.size() == 1 && koda != 226)) {
        m_dolgovani.clear(); // the ABOR's own reply: the server has left every command before it
        return true;
    }
    const auto mejaAbor = abor.base() - 1;
    if (koda == 226) {
        const auto prenos =
            std::find_if(m_dolgovani.begin(), mejaAbor, [](const TDolg& d) { return d.za == ozPrenos; });
        if (prenos == mejaAbor) { // no transfer left to end: the ABOR's
            m_dolgovani.clear();
            return true;
        }
        m_dolgovani.erase(m_dolgovani.begin(), prenos + 1);
    } else {
        m_dolgovani.pop_front();
    }
    return m_dolgovani.size() == 1 && koda == 226;
}

bool TFtpOdgovori::CakaTekoci() const
{
    return std::any_of(m_dolgovani.begin(), m_dolgovani.end(),
                       [this](const TDolg& d) { return d.prenos == m_stevilkaPrenosa; });
}

bool TFtpOdgovori::Steje(qsizetype bajtov)
{
    m_bajtov += bajtov;
    return ++m_vrstic <= kNajvecVrstic && m_bajtov <= kNajvecOdgovor;
}

void TFtpOdgovori::Odgovorjeno()
{
    m_vrstic = 0;
    m_bajtov = 0;
}
