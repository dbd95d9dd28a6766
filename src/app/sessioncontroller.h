#pragma once
// TSessionController: owns the session engine and starts and ends its
// connections. The session parameters live once, in the settings: Connect
// builds the engine's parameters from them every time it opens a connection.
//
// Contract:
// - Connect logs contacting, opens the control connection, logs connected,
//   gives event sound 0 and enables "Skoči v ..." (the engine enables the
//   Disconnect, Stop and transfer-type buttons). The opening completes later
//   and is reported by the engine. A connection that cannot even be started
//   (a host name that cannot be looked up, no free socket) is reported at once
//   with a message box and a status line, the buttons disabled again: it is
//   never silent.
// - CloseConnection closes an open control connection without QUIT (the
//   window's closing); Disconnect is the user's Disconnect command.
// - Everything runs on the UI thread; Connect runs the event loop while the
//   host name is looked up, so any handler may run meanwhile.
#include "ftp/ftpseja.h"
#include "sites/settings.h"

class TSejaView;
class TPrompts;

class TSessionController {
public:
    TSessionController(TSejaView& view, TPrompts& prompts);

    TFtpSeja& Seja() { return m_seja; }
    bool Connected() { return m_seja.Connected(); }

    // The engine's parameters as the settings give them, with the host type of
    // this connection (a site's own, or quick connect's choice; never a setting).
    static TSejaParametri ParametersOf(const TSettings& settings, quint8 serverKind);

    void Connect(const TSettings& settings, quint8 serverKind, const QString& contactingLine,
                 const QString& connectedLine);
    void Disconnect() { m_seja.HitriGumb2Click(); }
    void CloseConnection();
    void SetTimeOut(int seconds) { m_seja.SetTimeOut(seconds); }

private:
    TSejaView& m_view;
    TPrompts& m_prompts;
    TFtpSeja m_seja;
};
