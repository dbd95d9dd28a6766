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
// - Zapri closes the data connection and stops listening (a connection closed
//   so hands its unread input to OnRead first: handlers must ignore a socket
//   they have forgotten).
#include "net/basicclientsocket.h"
#include "net/basicserversocket.h"

#include <QString>

class TVrataPodatkov;

class TPodatkovnaPovezava {
public:
    explicit TPodatkovnaPovezava(QObject* parent);

    void SetKontrola(quint32 lokalni, quint32 streznik);
    quint32 LokalniNaslov() const { return m_lokalni; }
    bool Poslusaj(TVrataPodatkov& vrata, QString& napaka);
    bool Povezi(int vrata, int timeOut, QString& napaka);
    void Zapri();

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

    quint32 m_lokalni = 0;
    QString m_streznik; // the control connection's peer, dotted
};

// An IPv4 address (host order) as dotted text.
QString PikcastNaslov(quint32 naslov);
