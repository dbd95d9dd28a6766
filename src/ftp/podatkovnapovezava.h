#pragma once
// TPodatkovnaPovezava: opens the data connection of a transfer, active
// (Streznik1 listens and admits the server) or passive (Odjemalec2 connects to
// the server), and hands its events on.
//
// Contract:
// - SetKontrola takes the control connection's own and peer addresses (host
//   order) once it is connected: an active data connection listens on that
//   own address and admits a connection only from that peer; a passive one
//   connects to that peer, whatever address a server announces.
// - Poslusaj (active) closes what is open and listens at the allocator's port,
//   passing over ports another program holds (each try moves the allocator
//   on); false with the last error's text when no port was free. Povezi
//   (passive) closes what is open and starts connecting to the peer at the
//   port; false with the error's text when the connect cannot start.
// - OnPripravljena fires once per data connection, when it is ready to carry
//   the transfer: an admitted connection (active) or a completed connect
//   (passive). It is the one place where the connection may be prepared
//   further before any data moves. OnNeuspeh fires when a passive connect
//   failed (the socket's LastError says why), OnTimeOut when it did not finish
//   within the time-out. OnRead, OnWrite and OnDisconnect are those of the
//   data connection, whichever mode opened it. All fire on the UI thread with
//   the component as sender; handlers may call Zapri and anything else.
// - With Sifriranje set (the session has PROT P in force), every data
//   connection is TLS, with this program as the TLS client whichever side
//   connected. The handshake starts once both the connection is there and
//   Dovoli has been called (the server has answered the transfer command with
//   1xx, so it is ready for it: a server may drop a handshake that comes
//   before), with the options Sifriranje gives at that moment (the control
//   connection's latest session, to resume). OnPripravljena fires only once
//   it has succeeded, so no byte of a transfer moves in the clear. A
//   handshake that fails fires OnTlsNeuspeh with the reason instead (the
//   connection is left open for the handler to close). With Potrdilo set (the
//   control connection's certificate, SHA-256), a data connection presenting
//   any other certificate fires OnTujePotrdilo with both fingerprints instead
//   of OnPripravljena (also left open for the handler to close). Poslusaj, Povezi and
//   Zapri start over: the next connection waits for its own Dovoli.
// - Zapri closes the data connection and stops listening (a connection closed
//   so hands its unread input to OnRead first: handlers must ignore a socket
//   they have forgotten). With Sifriranje, once the transfer command has
//   gone out (UkazPoslan) the server may begin the handshake, so until it has
//   ended the connection is let come, wait for Dovoli and finish it first (at
//   most kRokZapiranja), then reset (the transfer's data is not wanted), with
//   no event of it fired: a server may take a handshake cut off as fatal to
//   the whole session (vsftpd ends it; a reset after it costs only the
//   transfer). Zapira says such a close is pending. Poslusaj and
//   Povezi close at once.
#include "net/basicclientsocket.h"
#include "net/basicserversocket.h"
#include "net/tlsoptions.h"

#include <QString>
#include <QTimer>

#include <functional>

class TVrataPodatkov;

class TPodatkovnaPovezava {
public:
    explicit TPodatkovnaPovezava(QObject* parent);

    void SetKontrola(quint32 lokalni, quint32 streznik);
    quint32 LokalniNaslov() const { return m_lokalni; }
    bool Poslusaj(TVrataPodatkov& vrata, QString& napaka);
    bool Povezi(int vrata, int timeOut, QString& napaka);
    void Zapri();
    static constexpr int kRokZapiranja = 10000; // ms
    // The server confirmed in band that the data is complete (TLS
    // close_notify), so a reset that followed cut nothing off.
    static bool KonecPotrjen(TSocketBase* socket);
    // A TLS data connection that ended without the server's close_notify: its
    // data may have been cut off by a third party.
    static bool KonecNepotrjen(TSocketBase* socket);
    // The transfer command has gone out on the control connection.
    void UkazPoslan();
    // The server has answered the transfer command with 1xx: a TLS handshake may start.
    void Dovoli();
    bool Zapira() const { return m_zapriObKoncu; }

    // The TLS of every data connection (none when empty): see above.
    std::function<TTlsOptions()> Sifriranje;
    using TTlsNeuspehEvent =
        std::function<void(TSockCtrl* sender, TSocketBase* socket, const QString& razlog)>;
    TTlsNeuspehEvent OnTlsNeuspeh;
    QByteArray Potrdilo; // the certificate every data connection must present (empty: any)
    std::function<void(const QString& kontrolno, const QString& podatkovno)> OnTujePotrdilo;

    TSocketEvent OnPripravljena;
    TSocketEvent OnNeuspeh;
    TSocketEvent OnTimeOut;
    TSocketEvent OnRead;
    TSocketEvent OnWrite;
    TSocketEvent OnDisconnect;

    TBasicServerSocket Streznik1;
    TBasicClientSocket Odjemalec2; // the data connection of passive mode

private:
    void Posreduj(TSockCtrl& component);
    // A data connection is open: OnPripravljena, after its TLS handshake when Sifriranje is set.
    void Pripravljena(TSockCtrl* sender, TSocketBase* socket);

    // Starts the TLS handshake of a data connection.
    void ZacniTls(TSockCtrl* sender, TSocketBase* socket);
    // Closes everything at once, a handshake under way too.
    void ZapriVse();

    bool m_dovoljeno = false;              // Dovoli has been called for this data connection
    TSockCtrl* m_cakaKomponenta = nullptr; // a connection waiting for Dovoli
    TSocketBase* m_cakaPovezava = nullptr;
    bool m_rokovanjeCaka = false; // TLS: the transfer command is out, the handshake has not ended
    bool m_zapriObKoncu = false;  // Zapri came meanwhile: close once the handshake has ended
    QTimer m_rokZapiranja;
    quint32 m_lokalni = 0;
    QString m_streznik; // the control connection's peer, dotted
};

// An IPv4 address (host order) as dotted text.
QString PikcastNaslov(quint32 naslov);
