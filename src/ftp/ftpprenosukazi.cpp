// The transfer commands: download, upload (each with the file-exists
// question and resume) and Stop.
#include "ftp/ftpseja.h"

#include "ftp/listingparser.h"

#include <utility>

bool TFtpSeja::PreveriIme(const QString& name)
{
    if (IsSafeLocalName(name) && VeljavenUkaz(QStringLiteral("RETR ") + name))
        return true;
    if (IsSafeLocalName(name))
        return false; // VeljavenUkaz has said why
    Stanje(Beseda("@idNevarnoIme") + name);
    return false;
}

void TFtpSeja::NastaviVelikost(const TRemoteEntry& entry)
{
    m_prenos.pricakovanaVelikost = entry.size;
    m_prenos.velikostBesedilo = entry.sizeText;
}

void TFtpSeja::PrenesiVnos(const TRemoteEntry& entry)
{
    if (!PripraviPrenos()) {
        m_prenosTece = false;
        return;
    }
    m_oddaljenoIme = entry.name;
    m_prenos.zamikPrejema = 0;
    NastaviVelikost(entry);
    ZacniUkazPrenosa(QStringLiteral("RETR"), entry.name, QStringLiteral("RETR ") + entry.name, ozPrenos);
}

bool TFtpSeja::VprasajPrepis(const char* key)
{
    return m_view->MessageBox(Beseda(key), Beseda("@idOpo"), miQuestion, mbYesNo) == mrYes;
}

void TFtpSeja::Pla1PrenesiClick()
{
    if (m_view->RemoteFocusedRow() < 0)
        return;
    const auto tece = UkazTece();
    // Copies: a listing during the waits below may rebuild the table.
    std::vector<std::pair<int, TRemoteEntry>> izbrani;
    for (int vrstica : m_view->RemoteSelectedRows())
        if (vrstica >= 0 && vrstica < m_seznam.Tabela().Count())
            izbrani.emplace_back(vrstica, m_seznam.Tabela().At(vrstica));
    const std::shared_ptr<bool> alive = m_alive;
    for (const auto& [vrstica, vnos] : izbrani) {
        m_view->SetRemoteRowSelected(vrstica, false);
        if (vnos.kind != ekFile || !PreveriIme(vnos.name))
            continue;
        if (!Pocakaj([this] { return !m_prenosTece && !PrenosZaseden() && !ZaVrsto(); }) || !*alive ||
            !Odjemalec1.Connected())
            return;
        m_prenosTece = true;
        m_faza = fzPrejem;
        m_imeDatoteke = vnos.name;
        const QString pot = LokalnaPot(m_imeDatoteke);
        // A local directory of that name is no file to resume or overwrite.
        struct stat podatki {};
        if (LokalnoObstaja(pot) && !(LokalniPodatki(pot, podatki) && S_ISDIR(podatki.st_mode))) {
            const TPrepisiIzbira izbira = m_view->PrepisiDialog();
            if (!*alive || !Odjemalec1.Connected())
                return;
            const qint64 lokalna = LokalniPodatki(pot, podatki) ? qint64(podatki.st_size) : 0;
            // A local file larger than the remote one cannot be resumed: ask whether to overwrite it.
            if (izbira == piNadaljuj && lokalna > vnos.size && !VprasajPrepis("@idLokalnaVecja")) {
                m_prenosTece = false;
                continue;
            }
            if (izbira == piNadaljuj && lokalna <= vnos.size) {
                m_faza = fzNadaljujPrejem;
                m_prenos.zamikPrejema = lokalna;
                if (!PripraviPrenos()) {
                    m_prenosTece = false;
                    continue;
                }
                NastaviVelikost(vnos);
                m_oddaljenoIme = m_imeDatoteke;
                const QString zamik = QString::number(m_prenos.zamikPrejema);
                ZacniUkazPrenosa(QStringLiteral("REST"), zamik, QStringLiteral("REST ") + zamik, ozREST);
                continue;
            }
            if (izbira == piPrekini) {
                m_prenosTece = false;
                continue;
            }
            if (izbira == piPreimenuj) {
                QString novo = m_imeDatoteke;
                m_view->InputBox(
                    m_view->GetWord(QStringLiteral("@idVnesiIme")),
                    m_view->GetWord(QStringLiteral("@idPre")) + m_imeDatoteke + QStringLiteral("\" v"), novo);
                if (!IsSafeLocalName(novo)) {
                    Stanje(Beseda("@idNevarnoIme") + novo);
                    m_prenosTece = false;
                    continue;
                }
                m_imeDatoteke = novo;
            }
        }
        PrenesiVnos(vnos);
    }
}

int TFtpSeja::VrsticaNaStrezniku(const QString& ime)
{
    // The rows as the remote pane shows them (a rename in place shows at once;
    // a cleared pane after a reconnect has none).
    const int vrstic = qMin(m_view->RemoteRowCount(), m_seznam.Tabela().Count());
    for (int i = 1; i < vrstic; ++i)
        if (m_view->RemoteRowCaption(i).compare(ime, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TFtpSeja::Pla2PrenesiClick()
{
    if (!m_view->LocalHasFocusedEntry())
        return;
    const auto tece = UkazTece();
    const std::vector<TLokalniVnos> izbrani = m_view->LocalSelectedEntries();
    const std::shared_ptr<bool> alive = m_alive;
    for (const TLokalniVnos& vnos : izbrani) {
        m_view->DeselectLocalEntry(vnos.caption);
        if (!Pocakaj([this] { return !m_prenosTece && !PrenosZaseden() && !ZaVrsto(); }) || !*alive ||
            !Odjemalec1.Connected())
            return;
        m_faza = fzOddaja;
        m_prenosTece = true;
        m_oddajaTece = true;
        m_prenos.poslano = 0;
        m_izvornoIme = vnos.caption;
        m_imeDatoteke = vnos.caption;
        // The size is read from the file itself (under its name's own bytes): the pane's text may be rounded.
        struct stat podatki {};
        m_prenos.pricakovanaVelikost =
            LokalniPodatki(LokalnaPot(m_izvornoIme), podatki) ? qint64(podatki.st_size) : 0;
        m_prenos.velikostBesedilo = GroupThousands(QString::number(m_prenos.pricakovanaVelikost));

        const int obstojeci = VrsticaNaStrezniku(m_izvornoIme);
        if (obstojeci > 0) {
            const qint64 velikostNaStrezniku = m_seznam.Tabela().At(obstojeci).size;
            const TPrepisiIzbira izbira = m_view->PrepisiDialog();
            if (!*alive || !Odjemalec1.Connected())
                return;
            // A remote file larger than the local one cannot be resumed: ask whether to overwrite it.
            const bool nesmiselno = velikostNaStrezniku > m_prenos.pricakovanaVelikost;
            if (izbira == piNadaljuj && nesmiselno && !VprasajPrepis("@idOddaljenaVecja")) {
                m_prenosTece = m_oddajaTece = false;
                continue;
            }
            if (izbira == piNadaljuj && !nesmiselno) {
                if (!VeljavenUkaz(QStringLiteral("STOR ") + m_izvornoIme)) {
                    m_prenosTece = m_oddajaTece = false;
                    continue;
                }
                m_view->AnimateLogo(true);
                m_faza = fzNadaljujOddajo;
                m_prenos.zamikOddaje = velikostNaStrezniku;
                m_oddaljenoIme = m_izvornoIme;
                if (!PripraviPrenos())
                    continue;
                const QString zamik = QString::number(m_prenos.zamikOddaje);
                ZacniUkazPrenosa(QStringLiteral("REST"), zamik, QStringLiteral("REST ") + zamik, ozREST);
                continue;
            }
            if (izbira == piPrekini) {
                m_prenosTece = m_oddajaTece = false;
                continue;
            }
            if (izbira == piPreimenuj)
                m_view->InputBox(QStringLiteral("Kvado - vnesi novo ime datoteke"),
                                 QStringLiteral("Preimenuj \"") + m_izvornoIme + QStringLiteral("\" v"),
                                 m_imeDatoteke);
        }
        if (!VeljavenUkaz(QStringLiteral("STOR ") + m_imeDatoteke)) {
            m_prenosTece = m_oddajaTece = false;
            continue;
        }
        m_view->AnimateLogo(true);
        m_oddaljenoIme = m_imeDatoteke;
        if (!PripraviPrenos())
            continue;
        ZacniUkazPrenosa(QStringLiteral("STOR"), m_izvornoIme, QStringLiteral("STOR ") + m_imeDatoteke,
                         ozPrenos);
    }
}

void TFtpSeja::STOPFTPClick()
{
    if (!Odjemalec1.Connected())
        return;
    if (ZaVrsto())
        m_opravilo.ustavljeno = true;
    m_faza = fzPrekini;
    Dnevnik(QStringLiteral("ABOR"));
    Poslji(QStringLiteral("ABOR"), ozABOR);
    // The aborted command's reply ends nothing now; the part received so far
    // stays, ready to resume. A download's connection is reset: its data is
    // not wanted, and an orderly end over TLS would take the rest of the file
    // first. An upload's ends in order, so the server keeps what it got.
    TSocketBase* prejem = JeOddaja() ? nullptr : std::exchange(m_prenos.podatkovna, nullptr);
    if (prejem)
        prejem->AbortiveClose();
    const bool tekel = m_prenos.vrsta != fzNic;
    PozabiPrenos();
    Omogoci({siPla1UsMapo, siPla1Skoci, siPla1OsveziFTP, siPla2Prenesi}, true);
    if (tekel)
        JaviKonec(false, true, Beseda("@idPrek"));
    JaviPripravljen();
}
