#include "ftp/podatkovnapovezava.h"

#include "ftp/vratapodatkov.h"
#include "net/sockerror.h"
#include "net/streamsocket.h"

#include <utility>

QString PikcastNaslov(quint32 naslov)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(naslov >> 24)
        .arg((naslov >> 16) & 0xFF)
        .arg((naslov >> 8) & 0xFF)
        .arg(naslov & 0xFF);
}

TPodatkovnaPovezava::TPodatkovnaPovezava(QObject* parent) : Streznik1(parent), Odjemalec2(parent)
{
    Streznik1.setObjectName(QStringLiteral("Streznik1"));
    Odjemalec2.setObjectName(QStringLiteral("Odjemalec2"));
    // One data connection at a time, admitted only from the control
    // connection's peer (the list is filled by every Poslusaj).
    Streznik1.SetMaxConnections(1);
    Streznik1.SetRestriction(hrAccept);
    Streznik1.SetAllowOnlyIfReverseDNS(false);
    Streznik1.OnAccept = [this](TSockCtrl* s, TSocketBase* k) { Pripravljena(s, k); };
    Odjemalec2.OnConnect = [this](TSockCtrl* s, TSocketBase* k) {
        if (k->Connected())
            Pripravljena(s, k);
        else if (m_zapriObKoncu)
            ZapriVse();
        else if (OnNeuspeh)
            OnNeuspeh(s, k);
    };
    Odjemalec2.OnTimeOut = [this](TSockCtrl* s, TSocketBase* k) {
        if (m_zapriObKoncu)
            ZapriVse();
        else if (OnTimeOut)
            OnTimeOut(s, k);
    };
    Posreduj(Streznik1);
    Posreduj(Odjemalec2);
    m_rokZapiranja.setSingleShot(true);
    m_rokZapiranja.callOnTimeout([this] { ZapriVse(); });
}

void TPodatkovnaPovezava::Posreduj(TSockCtrl& component)
{
    component.OnRead = [this](TSockCtrl* s, TSocketBase* k) {
        if (OnRead)
            OnRead(s, k);
    };
    component.OnWrite = [this](TSockCtrl* s, TSocketBase* k) {
        if (OnWrite)
            OnWrite(s, k);
    };
    component.OnDisconnect = [this](TSockCtrl* s, TSocketBase* k) {
        if (m_zapriObKoncu) // the server gave the handshake up: nothing is left to wait for
            return ZapriVse();
        if (k == m_cakaPovezava) { // gone before its handshake could start
            m_cakaKomponenta = nullptr;
            m_cakaPovezava = nullptr;
        }
        if (OnDisconnect)
            OnDisconnect(s, k);
    };
}

void TPodatkovnaPovezava::Pripravljena(TSockCtrl* sender, TSocketBase* socket)
{
    if (!Sifriranje) {
        if (OnPripravljena)
            OnPripravljena(sender, socket);
        return;
    }
    if (!m_dovoljeno) { // held until the server is ready for the handshake
        m_cakaKomponenta = sender;
        m_cakaPovezava = socket;
        return;
    }
    ZacniTls(sender, socket);
}

void TPodatkovnaPovezava::UkazPoslan()
{
    m_rokovanjeCaka = bool(Sifriranje);
}

void TPodatkovnaPovezava::Dovoli()
{
    m_dovoljeno = true;
    if (!m_cakaPovezava || !Sifriranje)
        return;
    TSockCtrl* komponenta = std::exchange(m_cakaKomponenta, nullptr);
    ZacniTls(komponenta, std::exchange(m_cakaPovezava, nullptr));
}

void TPodatkovnaPovezava::ZacniTls(TSockCtrl* sender, TSocketBase* socket)
{
    TTlsOptions moznosti = Sifriranje();
    moznosti.OnDone = [this](TSockCtrl* s, TSocketBase* k, const TTlsOutcome& izid) {
        m_rokovanjeCaka = false;
        if (m_zapriObKoncu) { // the transfer was given up: its data is not wanted, nor waited for
            k->AbortiveClose();
            return ZapriVse();
        }
        if (!izid.Ok) {
            if (OnTlsNeuspeh)
                OnTlsNeuspeh(s, k, izid.Error);
        } else if (!Potrdilo.isEmpty() && izid.Certificate.sha256 != Potrdilo) {
            if (OnTujePotrdilo) // the control connection's, and the one presented here
                OnTujePotrdilo(QString::fromLatin1(Potrdilo.toHex(':').toUpper()),
                               izid.Certificate.FingerprintText());
        } else if (OnPripravljena) {
            OnPripravljena(s, k);
        }
    };
    TStreamSocket* povezava = TStreamSocket::Of(socket);
    try {
        if (!povezava)
            throw ESockError(QStringLiteral("TLS needs a stream socket"));
        povezava->StartTls(moznosti);
    } catch (const ESockError& e) {
        m_rokovanjeCaka = false;
        if (m_zapriObKoncu)
            return ZapriVse();
        if (OnTlsNeuspeh)
            OnTlsNeuspeh(sender, socket, e.Message());
    }
}

bool TPodatkovnaPovezava::KonecPotrjen(TSocketBase* socket)
{
    const TStreamSocket* povezava = TStreamSocket::Of(socket);
    return povezava && povezava->EndConfirmed();
}

bool TPodatkovnaPovezava::KonecNepotrjen(TSocketBase* socket)
{
    const TStreamSocket* povezava = TStreamSocket::Of(socket);
    return povezava && povezava->Tls() && !povezava->EndConfirmed();
}

void TPodatkovnaPovezava::SetKontrola(quint32 lokalni, quint32 streznik)
{
    m_lokalni = lokalni;
    m_streznik = PikcastNaslov(streznik);
}

bool TPodatkovnaPovezava::Poslusaj(TVrataPodatkov& vrata, QString& napaka)
{
    ZapriVse();
    Streznik1.SetAddress(PikcastNaslov(m_lokalni));
    Streznik1.SetRestrictedHosts({m_streznik});
    // A port another program holds is passed over: try the next ones.
    for (int poskus = 0; poskus <= TVrataPodatkov::kZadnja - TVrataPodatkov::kPrva; ++poskus) {
        Streznik1.SetPort(QString::number(vrata.Vrata()));
        try {
            Streznik1.Listen(SocketClassOf<TStreamSocket>);
            return true;
        } catch (const ESockError& e) {
            napaka = e.Message();
            vrata.Naslednja();
        }
    }
    return false;
}

bool TPodatkovnaPovezava::Povezi(int vrata, int timeOut, QString& napaka)
{
    ZapriVse();
    Odjemalec2.SetAddress(m_streznik);
    Odjemalec2.SetPort(QString::number(vrata));
    Odjemalec2.SetTimeOut(timeOut);
    try {
        Odjemalec2.Open(SocketClassOf<TStreamSocket>);
    } catch (const ESockError& e) {
        napaka = e.Message();
        return false;
    }
    return true;
}

void TPodatkovnaPovezava::Zapri()
{
    if (!m_rokovanjeCaka)
        return ZapriVse();
    if (!m_zapriObKoncu)
        m_rokZapiranja.start(kRokZapiranja);
    m_zapriObKoncu = true;
}

void TPodatkovnaPovezava::ZapriVse()
{
    m_dovoljeno = false;
    m_cakaKomponenta = nullptr;
    m_cakaPovezava = nullptr;
    m_rokovanjeCaka = false;
    m_zapriObKoncu = false;
    m_rokZapiranja.stop();
    Streznik1.Close();
    if (Odjemalec2.HasSocket())
        Odjemalec2.Close();
}
