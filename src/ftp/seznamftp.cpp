#include "ftp/seznamftp.h"

#include "ftp/listformat.h"
#include "ftp/listingparser.h"

bool TSeznamFtp::Dodaj(const char* podatki, qsizetype bajtov)
{
    if (m_surov.size() + bajtov <= m_najvecji) {
        m_surov.append(podatki, bajtov);
        return true;
    }
    m_surov.append(podatki, m_najvecji - m_surov.size()); // keep what fits
    m_prirezan = true;
    return false;
}

void TSeznamFtp::Razcleni(int serverKind, TNameDecoder dekoder)
{
    RazcleniV(serverKind, dekoder, m_tabela);
}

void TSeznamFtp::RazcleniV(int serverKind, TNameDecoder dekoder, TRemoteListing& tabela)
{
    tabela.SetNajvec(m_najvecVnosov);
    m_neprebrane = {};
    ::RazcleniSeznam(m_surov, ChooseListFormat(serverKind, m_strojni, m_surov), tabela, dekoder,
                     &m_neprebrane);
}
