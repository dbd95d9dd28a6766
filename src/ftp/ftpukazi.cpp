// The user's commands on the remote pane: open, up, jump, refresh, make
// directory, delete, rename in place and select all.
#include "ftp/ftpseja.h"

void TFtpSeja::FTPDat1DblClick()
{
    const int fokus = m_view->RemoteFocusedRow();
    if (fokus < 0 || fokus >= m_seznam.Tabela().Count() || m_view->RemoteSelectedRows().empty() ||
        m_prenosTece || ZaVrsto())
        return;
    const TRemoteEntry vnos = m_seznam.Tabela().At(fokus);
    switch (vnos.kind) {
    case ekParent:
        m_faza = fzCDUP;
        Ukaz(QStringLiteral("CDUP"), {}, QStringLiteral("CDUP"));
        break;
    case ekDirectory:
        m_faza = fzCWD;
        m_cwdKorenZavrnjen = false;
        Ukaz(QStringLiteral("CWD"), vnos.name, QStringLiteral("CWD ") + vnos.name);
        break;
    case ekFile:
        // Not while a transfer still waits for its final reply either: it would be cut off.
        if (m_prenos.cakaKonec || !PreveriIme(vnos.name))
            return;
        // Like the download command: nothing else may change the phase before the data arrives.
        m_prenosTece = true;
        m_faza = fzPrejem;
        m_imeDatoteke = vnos.name;
        m_prenos.zamikPrejema = 0;
        PrenesiVnos(vnos);
        JaviPripravljen();
        break;
    }
}

void TFtpSeja::FTPDat1Backspace()
{
    if (!Odjemalec1.Connected()) // nothing is sent, so nothing is logged
        return Stanje(Beseda("@idNiPovezave"));
    m_faza = fzCDUP;
    Ukaz(QStringLiteral("CDUP"), {}, QStringLiteral("CDUP"));
}

void TFtpSeja::Pla1SkociClick()
{
    if (!Odjemalec1.Connected())
        return;
    QString pot = m_trenutnaMapa;
    if (!m_view->InputBox(QStringLiteral("Kvado - spremeni FTP mapo"),
                          QStringLiteral("Vnesi pot do FTP mape"), pot))
        return;
    pot = pot.left(255);
    if (pot == m_trenutnaMapa || !VeljavenUkaz(QStringLiteral("CWD ") + pot))
        return;
    m_faza = fzCWD;
    m_cwdKorenZavrnjen = false;
    Poslji(QStringLiteral("CWD ") + pot);
}

void TFtpSeja::Pla1OsveziFTPClick()
{
    if (Odjemalec1.Connected())
        Izpisi();
}

void TFtpSeja::Pla1UsMapoClick()
{
    if (!Odjemalec1.Connected())
        return;
    m_faza = fzMKD;
    QString ime = QStringLiteral("Nova mapa");
    if (m_view->InputBox(QStringLiteral("Kvado - Ustvari FTP mapo"), QStringLiteral("Vnesi ime mape"), ime))
        Ukaz(QStringLiteral("MKD"), ime, QStringLiteral("MKD ") + ime);
}

void TFtpSeja::Pla1IzbrisiClick()
{
    if (!Odjemalec1.Connected()) // no question about commands that could not be sent
        return Stanje(Beseda("@idNiPovezave"));
    m_vecBrisanje = true;
    const std::shared_ptr<bool> alive = m_alive;
    const auto konec = [this] { m_vecBrisanje = false; };
    if (m_view->RemoteFocusedRow() < 0)
        return konec();
    const std::vector<int> izbrani = m_view->RemoteSelectedRows();
    if (izbrani.size() >= 2 &&
        m_view->MessageBox(
            QStringLiteral("Ali si prepričan, da želiš izbrisati izbrane predmete? (%1)").arg(izbrani.size()),
            QStringLiteral("Kvado - Brisanje izbranih predmetov na FTP strežniku"), miQuestion,
            mbYesNo) != mrYes)
        return konec();
    for (std::size_t i = 0; i < izbrani.size(); ++i) {
        if (!*alive)
            return;
        const std::vector<int> zdaj = m_view->RemoteSelectedRows();
        if (zdaj.empty())
            break;
        const int vrstica = zdaj.front();
        if (vrstica > 0 && vrstica < m_seznam.Tabela().Count()) {
            const QString ime = m_view->RemoteRowCaption(vrstica);
            if (m_seznam.Tabela().At(vrstica).kind == ekDirectory) {
                // The phase is set after the box: replies that run during it still see the old one.
                if (m_view->MessageBox(QStringLiteral("Ali si prepričan, da želiš izbrisati mapo »") + ime +
                                           QStringLiteral("«?"),
                                       QStringLiteral("Kvado - Brisanje map na FTP strežniku"), miQuestion,
                                       mbYesNo) == mrYes) {
                    m_faza = fzRMD;
                    Ukaz(QStringLiteral("RMD"), ime, QStringLiteral("RMD ") + ime);
                }
            } else {
                if (izbrani.size() == 1 &&
                    m_view->MessageBox(QStringLiteral("Ali si prepričan, da želiš izbrisati datoteko »") +
                                           ime + QStringLiteral("«?"),
                                       QStringLiteral("Kvado - Brisanje datotek na FTP strežniku"),
                                       miQuestion, mbYesNo) != mrYes)
                    return konec();
                m_faza = fzDELE;
                Ukaz(QStringLiteral("DELE"), ime, QStringLiteral("DELE ") + ime);
            }
        }
        if (!*alive)
            return;
        m_view->SetRemoteRowSelected(vrstica, false);
    }
    konec();
}

void TFtpSeja::FTPDat1Edited()
{
    const int fokus = m_view->RemoteFocusedRow();
    if (fokus < 0 || fokus >= m_seznam.Tabela().Count() || m_view->RemoteSelectedRows().empty() ||
        m_prenosTece)
        return;
    const TRemoteEntry& vnos = m_seznam.Tabela().At(fokus);
    if (vnos.kind == ekParent)
        return;
    // The new name goes out with RNTO later: refuse it now if it could never be sent.
    if (!VeljavenUkaz(QStringLiteral("RNTO ") + m_view->RemoteRowCaption(fokus)))
        return;
    m_faza = fzRNFR;
    m_indeksPreimenovanja = fokus;
    Ukaz(QStringLiteral("RNFR"), vnos.name, QStringLiteral("RNFR ") + vnos.name);
}

void TFtpSeja::Pla1IzberiVseClick()
{
    // The pane's rows, whatever the table holds (the pane may have been cleared).
    const int vrstic = m_view->RemoteRowCount();
    for (int i = 1; i < vrstic; ++i)
        m_view->SetRemoteRowSelected(i, true);
}

void TFtpSeja::PlavajociMenu1Popup()
{
    const bool lahko = !m_view->RemoteSelectedRows().empty() && !m_prenosTece;
    Omogoci({siPla1Prenesi, siPla1Izbrisi}, lahko);
}
