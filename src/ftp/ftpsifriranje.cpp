// Encryption: the login's TLS step (AUTH TLS or implicit TLS, the handshake,
// the certificate, PBSZ and PROT) and the TLS of the data connections.
#include "ftp/ftpseja.h"

#include "net/linesocketbase.h"
#include "net/sockerror.h"
#include "net/tlschannel.h"
#include "net/winsockapi.h"

void TFtpSeja::ZacniTls()
{
    TLineSocketBase* vrstice = Odjemalec1.LineSocket();
    TTlsOptions moznosti;
    moznosti.HostName = m_parametri.host;
    moznosti.Port = m_parametri.port.toUShort();
    moznosti.MaxVersion = m_parametri.tlsMaxVersion;
    const quint32 povezava = m_povezava;
    moznosti.OnDone = [this, povezava](TSockCtrl*, TSocketBase*, const TTlsOutcome& izid) {
        TlsKoncan(povezava, izid);
    };
    m_tlsFaza = tfRokovanje;
    try {
        if (!vrstice)
            throw ESockError(SocketErrorText(10057));
        vrstice->StartTls(moznosti);
    } catch (const ESockError& e) {
        return KoncajNesifrirano(Beseda("@idTlsNeuspeh") + e.Message());
    }
    m_tlsRok.start(qMax(Odjemalec1.TimeOut(), 1) * 1000);
}

void TFtpSeja::TlsKoncan(quint32 povezava, const TTlsOutcome& izid)
{
    if (povezava != m_povezava || m_tlsFaza != tfRokovanje)
        return;
    m_tlsRok.stop();
    if (!izid.Ok)
        return KoncajNesifrirano(Beseda("@idTlsNeuspeh") + izid.Error);
    TCertificateInfo potrdilo = izid.Certificate;
    potrdilo.host = m_parametri.host; // the trust is kept per host as typed and control port
    potrdilo.port = m_parametri.port.toUShort();
    if (!potrdilo.verified) {
        // The question is modal: the server may go away (or the user connect
        // elsewhere) before it is answered.
        m_tlsFaza = tfPotrdilo;
        const std::shared_ptr<bool> alive = m_alive;
        const bool sprejeto = m_view->AcceptCertificate(potrdilo);
        if (!*alive || povezava != m_povezava || m_tlsFaza != tfPotrdilo)
            return;
        if (!Odjemalec1.Connected()) {
            m_tlsFaza = tfBrez;
            return;
        }
        if (!sprejeto)
            return KoncajNesifrirano(Beseda("@idPotrdiloZavrnjeno"));
    }
    m_tlsFaza = tfSifrirano;
    Podatkovna.Potrdilo = potrdilo.sha256; // every data connection must present this one
    m_view->ShowEncryption(&potrdilo);
    // Explicit TLS has had its greeting; implicit TLS logs in once the (encrypted) 220 is here.
    if (m_parametri.encryption != 3 || m_userCaka)
        PosljiUser();
}

void TFtpSeja::OdgovorTls(TOdgovorZa za, int koda, const QString& vrstica)
{
    switch (za) {
    case ozAUTH:
        if (koda == 234)
            return ZacniTls();
        m_tlsFaza = tfBrez;
        return ZavrnjenaZascita("@idTlsZavrnjen", "@idNesifrirano", vrstica);
    case ozPBSZ:
        if (koda / 100 != 2)
            return ZavrnjenaZascita("@idProtZavrnjen", "@idPodatkiNesifrirani", vrstica);
        if (Ukaz(QStringLiteral("PROT"), QStringLiteral("P"), QStringLiteral("PROT P"), ozPROT))
            return;
        return ZavrnjenaZascita("@idProtZavrnjen", "@idPodatkiNesifrirani", vrstica);
    case ozPROT:
        if (koda / 100 != 2)
            return ZavrnjenaZascita("@idProtZavrnjen", "@idPodatkiNesifrirani", vrstica);
        // From now on every data connection is TLS, resuming the control
        // connection's latest session (TLS 1.3 grants it after the handshake).
        Podatkovna.Sifriranje = [this] {
            TTlsOptions moznosti;
            moznosti.HostName = m_parametri.host;
            moznosti.Port = m_parametri.port.toUShort();
            moznosti.MaxVersion = m_parametri.tlsMaxVersion;
            TLineSocketBase* vrstice = Odjemalec1.LineSocket();
            if (vrstice && vrstice->Tls())
                moznosti.Session = vrstice->Tls()->Session();
            return moznosti;
        };
        return PoPrenosu([this] { Prijavljen(); });
    default:
        break;
    }
}

void TFtpSeja::ZavrnjenaZascita(const char* strogo, const char* blago, const QString& vrstica)
{
    if (StrogoSifrirano())
        return KoncajNesifrirano(Beseda(strogo) + vrstica);
    Stanje(Beseda(blago));
    if (m_tlsFaza == tfSifrirano) // PBSZ or PROT: logged in already, data in the clear
        PoPrenosu([this] { Prijavljen(); });
    else
        PosljiUser();
}

void TFtpSeja::Zasciti()
{
    if (m_tlsFaza != tfSifrirano)
        return Prijavljen();
    if (!Ukaz(QStringLiteral("PBSZ"), QStringLiteral("0"), QStringLiteral("PBSZ 0"), ozPBSZ))
        Prijavljen();
}

void TFtpSeja::KoncajNesifrirano(const QString& razlog)
{
    m_tlsRok.stop();
    Stanje(razlog);
    Omogoci({siHitriGumb2, siSTOPFTP, siGumbTipPrenosa, siPla2Prenesi}, false);
    Odjemalec1.Close();
    m_odgovori.Pocisti();
    m_poPrenosu.clear();
    PrekiniPrenos();
    KonecSifriranja();
    Zaprto(razlog);
    m_view->MessageBox(razlog, Beseda("@idOpo"), miExclamation, mbOk);
}

void TFtpSeja::PodatkovnaBrezTls(const QString& razlog)
{
    if (m_prenos.vrsta == fzNic)
        return ZapriStreznik();
    const QString stanje = Beseda("@idTlsPodatki") + razlog;
    if (StrogoSifrirano())
        return KoncajNesifrirano(stanje);
    KoncajPrenos(false, stanje);
}

void TFtpSeja::KonecSifriranja()
{
    m_tlsRok.stop();
    Podatkovna.Sifriranje = nullptr;
    Podatkovna.Potrdilo.clear();
    m_userCaka = false;
    const bool bilo = m_tlsFaza == tfSifrirano;
    m_tlsFaza = tfBrez;
    if (bilo)
        m_view->ShowEncryption(nullptr);
}
