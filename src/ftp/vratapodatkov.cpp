#include "ftp/vratapodatkov.h"

#include <QRandomGenerator>

void TVrataPodatkov::Nova()
{
    m_vrata = kPrva + int(QRandomGenerator::global()->bounded(255));
}

void TVrataPodatkov::Naslednja()
{
    if (++m_vrata > kZadnja)
        m_vrata = kPrva;
}
