#pragma once
// TFtpSeja: Kvado's FTP session engine. It owns the control connection
// Odjemalec1 (opened as a line socket), the data connection (Podatkovna),
// the phase and flags, and the remote listing table; it talks to the window
// only through TSejaView.
//
// Contract:
// - Everything runs on the UI thread. Socket events reach the Odjemalec1... and
//   Streznik1... handlers; every reply line reaches BeriMedpom, which acts
//   only on a line whose fourth character is a space and dispatches on the
//   code and Faza. The engine does not queue commands: Faza says how the
//   next reply is read.
// - The download and upload commands wait between files (running the event
//   loop) until the previous transfer has ended; any handler may run nested
//   meanwhile. Reply handlers never wait: an end of transfer whose reply
//   overtakes the data connection's events is completed once the data
//   connection has closed (PreveriPrenos). Every wait ends when the control
//   connection closes, and the transfer state is then cleared, so nothing
//   spins for ever. Destroying the engine from inside a nested handler is not
//   allowed.
// - Replies are matched to commands: every final reply (2xx..5xx) answers
//   the oldest command still owed one; 225, 226, 425 and 426 always answer
//   the running transfer's command (a server that skipped or added a reply
//   is caught up with), and any other 2xx but 250 answers the oldest command
//   that is not a transfer's (one sent while it runs). A final reply that answers no command at all is only
//   shown and starts nothing (421 excepted); the greeting's 220 is acted on
//   once per connection, and a 331 after PASS is a failed login, not a
//   request to send PASS again.
// - A transfer (LIST, RETR, STOR, with REST for a resume) ends once, with one
//   verdict, decided in one place (PreveriPrenos/KoncajPrenos) from its final
//   reply, how its data connection ended, the bytes counted and whether the
//   local file was written. A download succeeds only on a 2xx after a clean
//   end of its data connection with the file written and at least the size
//   the server announced ("(N bytes)" of its 1xx, else the listed size); an
//   upload only on a 2xx after all of the file was sent. Any refusal, a local
//   file that cannot be opened or written, the loss of the control connection
//   (421, a close, the user's disconnect or a new connection) and a stall
//   end the transfer as failed, with one status line; the part received stays
//   for a resume. A 450 to any transfer command announces a new port and
//   sends the transfer's first command again (at most three times). After
//   Stop the aborted transfer has no verdict but the abort's status.
// - A transfer's kind and local file are fixed when it is prepared; later
//   commands that change the phase do not change where its data goes. A
//   double-click download sets PrenosTece like the download command.
// - A stall: while a transfer is prepared, no data and no reply for the
//   connection time-out (TimeOut) ends it as failed (@idCasPotekel); a
//   transfer whose data keeps flowing never times out.
// - When the session gives up by itself while the server still owes a reply
//   (a stall, a connect that timed out or failed, a transfer failed before
//   its command was answered, a fall-back to passive after a 1xx), it sends
//   ABOR; until the server has answered what it owed (TFtpOdgovori::Uskladi)
//   every other command waits and goes out in order afterwards, and Busy()
//   holds. With no answer within the time-out the connection ends with a
//   status (@idNeusklajen); the part received stays for a resume.
// - A 230, 257 or 450 (not answering a transfer command) that arrives while
//   a transfer runs is acted on once it has ended (PoPrenosu), so it cannot
//   close the running transfer's data connection.
// - Reply lines that reach the engine after the control connection closed are
//   only shown, never acted on. Reply lines may end in CR LF or LF alone. More
//   than kNajvecVrstic lines or kNajvecOdgovor bytes since the last reply that
//   answered something (an endless multi-line reply, a stream of replies nobody
//   asked for) end the connection with a status (@idPredolgOdgovor); the log
//   keeps the first lines. A listing whose 2xx has come is first read to the
//   end of its data connection and shown.
// - The raw listing is capped at kNajvecjiSeznam bytes: beyond that the data
//   connection is closed and a status says the listing was cut. The table
//   holds at most kNajvecVnosov entries (@idPreveVnosov beyond).
// - A listing is read with the layout the server kind chooses (serverKind,
//   ChooseListFormat): a UNIX listing exactly as RazcleniSeznam reads it, DOS/IIS
//   and VMS listings into the same columns; lines the layout does not know
//   give no row. Lines that have the layout's shape but cannot be read with
//   confidence give no row either, and a status line each (@idNeprebranaVrstica;
//   past the first few, @idSeNeprebranih with the rest's count). A VMS size in
//   blocks is shown as such, never taken as bytes.
// - Uploads start sending only once the server has answered STOR with 1xx.
// - Data connections are active (dataConnection 0) or passive (1). Active:
//   PripraviPrenos listens on the control connection's own local address at
//   VrataPodatkov, sends PORT, and admits a connection only from the control
//   connection's peer address. Passive: PripraviPrenos sends EPSV (PASV once
//   a server has refused EPSV with 5xx, for the rest of the session); the
//   transfer's first command waits until the 229/227 reply has been read and
//   Odjemalec2 is connecting to the control connection's peer at the port
//   announced (a 227's address is used only when it is that peer: a server
//   behind NAT announces a private one, a hostile one a third host). A reply
//   that is not exactly "(|||port|)" or "h1,h2,h3,h4,p1,p2" ends the transfer
//   as failed (@idNapacenPasiv). Both modes then share one path: the data
//   events, the stall watch (also over the connect), Stop and the verdict.
// - In active mode, a PORT refused with 5xx followed by a refused transfer
//   command, a 425 to the transfer command, or no connection from the server
//   within the time-out retries the same transfer once in passive mode; the
//   session then stays passive and a status line says so (@idPasivno). When
//   the server then refuses both EPSV and PASV, the transfer is retried in
//   active mode, which stays for the rest of the session (@idAktivno, once).
// - A name received from the server is never used as a local file name unless
//   IsSafeLocalName accepts it, and no command containing CR, LF or NUL is
//   ever sent: both are refused with a status line.
// - Every local path is absolute: the local directory, "/", and the name as
//   it stands (a leading ":" is a name, not a resource). Any entry of that
//   name counts as existing (a dangling link too); an overwrite replaces the
//   entry itself and never writes through a symbolic link.
// - A local file being downloaded is opened (created or truncated) only when
//   the server connects the data connection, so a refused RETR leaves the
//   user's file untouched; an existing file that a new download would
//   truncate waits until the server has taken the RETR (its 1xx, the first
//   byte, or a successful end) when the data connection came first (passive
//   mode, a server that connects at PORT). Its absolute path is resolved when the command is
//   given; a resumed download opens the existing file only (never creates
//   one) and only when its size is still the resume offset. A resume that
//   would make no sense (the local file already larger than the remote one;
//   an upload whose remote file is larger than the local one) asks first.
// - Listings: when a 2xx FEAT has a feature line MLST or MLSD (its first
//   word, any case) and the server kind is left to detection (not 1, 2 or
//   3), every listing of the connection sends MLSD instead of LIST and is
//   read as machine facts. A 500 or 502 to MLSD lists again with LIST (a new
//   data connection) and LIST stays for the rest of the connection.
// - Sizes, offsets and byte counts are 64-bit.
// - Names: the control connection and the listings speak one encoding at a
//   time (Dekoder for reply lines and listings, Kodiraj for commands):
//   code page 1250 (nameEncoding 0), UTF-8 (1), or automatic (2). With UTF-8
//   or automatic, after the 230 of the login the engine sends FEAT before
//   anything else. Automatic: when one of
//   its feature lines (lines beginning with a space) is "UTF8" (any case,
//   trimmed) it sends OPTS UTF8 ON, and a 2xx or 5xx to that switches to
//   UTF-8 (the FEAT has declared it; some servers refuse the OPTS because
//   UTF-8 is always on); a FEAT without UTF8, a refused FEAT or a 4xx to the
//   OPTS keeps code page 1250 (with UTF-8 chosen, the UTF8 line changes
//   nothing). Then the session goes on as after a 230. A new connection
//   starts again from the parameter. Both encodings keep every name's exact
//   bytes from listing to command: UTF-8 through FromUtf8Kept/ToUtf8Kept
//   (core/utf8kept.h), whose marks stand for bytes that are no valid UTF-8.
// - A local file name is written, and an upload's file read, under the bytes
//   ToUtf8Kept gives its name: the same as any other file's name for valid
//   text, the name's own bytes for one that is no valid UTF-8 (the server's
//   when downloaded, the local pane's marks when uploaded).
// - Files go in binary unless text is chosen: automatic sends TYPE I before a
//   transfer whenever the last TYPE sent was another (every listing sends
//   TYPE A), so a server's ASCII conversion never rewrites a file and a resume
//   is never refused for ASCII mode.
// - Encryption (encryption 1..3), the login's TLS step: explicit TLS sends
//   AUTH TLS on the greeting's 220 instead of USER; a 234 starts the handshake
//   on the control connection, implicit TLS starts it as soon as the
//   connection is made (the 220 then comes encrypted). A certificate the trust
//   store or the host name did not accept is put to AcceptCertificate (host as
//   typed, the control port), with the handshake time-out paused; then
//   ShowEncryption, and USER only now. After the login's 230: PBSZ 0 and PROT
//   P, then the session goes on as after a 230 in the clear. From PROT P on,
//   every data connection completes a TLS handshake (resuming the control
//   connection's session) before any byte of a transfer moves; one that fails
//   ends its transfer as failed with nothing written, never in the clear.
//   A data connection must present the control connection's certificate
//   (the same SHA-256), else its transfer fails with nothing written and a
//   status naming both fingerprints (@idTujePotrdilo). One that ends without
//   the server's close_notify is cut off (@idNepotrjenKonec, the part stays
//   for a resume) unless it carried exactly the size announced or listed.
//   Explicit TLS when offered (1) goes on in the clear after a refused AUTH
//   TLS or PROT P, with a status line saying so; required (2) and implicit (3)
//   end the connection instead, and also at a failed data handshake, so USER,
//   PASS and files never travel in the clear. A failed or timed-out control
//   handshake and a refused certificate always end the connection (a message
//   box says why). The window is told the session is no longer encrypted when
//   the control connection closes.
//
// - The transfer queue's operations (ftpvrsta.cpp), by absolute path, one at
//   a time and only while Ready(): ListFolder, MakeFolder, FetchFile,
//   SendFile. Each ends with exactly one OnOperationDone (fired from inside
//   the engine's handlers, or from inside the call when it cannot start).
//   They do none of the user's after-effects (no remote pane, no listing
//   after an upload, no local refresh, no sound, no question); their verdict
//   is the transfer's own (PreveriPrenos/KoncajPrenos). A listing goes by
//   MLSD <folder> when the connection lists with MLSD; else by CWD <folder>
//   and LIST (the LIST argument is read by many servers as options and a
//   pattern), and the browsing session first asks PWD and returns there with
//   CWD afterwards, so the user's folder stays the server's. MakeFolder
//   reports "exists" when MKD is refused and a CWD into the folder succeeds.
//   StopOperation stops the running one (a transfer as STOPFTPClick does;
//   the part stays); the browsing session still returns to its folder first.
// - Every download and upload (the user's and the queue's) fires
//   OnTransferStarted when its first command goes out, OnTransferProgress as
//   bytes move (the file's bytes, a resume's offset included) and exactly
//   one OnTransferEnded (ok; stopped by Stop; else failed with the status
//   line's text, or the server's reply when no status was shown).
// - OnReady fires each time the session becomes Ready() (logged in, no
//   transfer, no command awaiting its reply, no user command or operation
//   running). SetBackground(true) makes a connection for the queue: after
//   the login it lists nothing and goes to no initial folder, and a login
//   refused with 530 ends the connection. OnClosed fires once per connection
//   when it ends (the user's disconnect and a new Povezi included), after a
//   running operation's OnOperationDone; tooMany: a 421 before the login
//   ended, or a 530 naming too many users, connections or clients.
//
// The pieces it owns, each with its own contract: TFtpOdgovori (which command
// owes which reply), TPrenos (the transfer: kind, local file, offsets,
// counters, data socket, verdict), TPodatkovnaPovezava (opens the data
// connection, active or passive), TVrataPodatkov (the data ports) and
// TSeznamFtp (the listing, raw and read). The control connection's
// "connected" is handled in one place (Povezan), as is the data
// connection's "ready" (Streznik1Accept, fired by TPodatkovnaPovezava).
#include "ftp/ftpodgovori.h"
#include "ftp/podatkovnapovezava.h"
#include "ftp/prenos.h"
#include "ftp/sejaparametri.h"
#include "ftp/sejaview.h"
#include "ftp/seznamftp.h"
#include "ftp/vratapodatkov.h"

#include "net/basicclientsocket.h"
#include "net/tlsoptions.h"

#include <QByteArray>
#include <QObject>
#include <QScopeGuard>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class TLineSocketBase;

class TFtpSeja : public QObject {
public:
    static constexpr int kPrvaVrata = TVrataPodatkov::kPrva; // data ports 1280..1600
    static constexpr int kZadnjaVrata = TVrataPodatkov::kZadnja;
    static constexpr qsizetype kNajvecjiSeznam = TSeznamFtp::kNajvecjiSeznam; // raw listing cap
    static constexpr int kNajvecVrstic = TFtpOdgovori::kNajvecVrstic;         // lines of one multi-line reply
    static constexpr qsizetype kNajvecOdgovor = TFtpOdgovori::kNajvecOdgovor; // bytes of one multi-line reply

    explicit TFtpSeja(TSejaView* view, QObject* parent = nullptr);
    ~TFtpSeja() override;

    // Session parameters, written by the connect forms.
    TSejaParametri& Parametri() { return m_parametri; }
    // The connection time-out (seconds) from the settings.
    void SetTimeOut(int seconds) { Odjemalec1.SetTimeOut(seconds); }

    // What the connect forms do to start a session: address and port, open
    // with TLineSocket, buffer sizes and OnLine; enable the disconnect, stop
    // and transfer-type buttons. An exception of the socket layer leaves here.
    void Povezi();
    bool Connected() { return Odjemalec1.Connected(); }

    // Handlers of Odjemalec1.
    void Odjemalec1Connect(TSockCtrl* sender, TSocketBase* socket);
    // The control connection is ready for the session: the one place it is
    // taken up (addresses for the data connections, the pane, the type).
    void Povezan(TSocketBase* socket);
    void Odjemalec1Info(TSockCtrl* sender, TSockInfo icode, TSocketBase* socket);
    void Odjemalec1TimeOut(TSockCtrl* sender, TSocketBase* socket);
    void Odjemalec1Disconnect(TSockCtrl* sender, TSocketBase* socket);
    void BeriMedpom(TLineSocketBase* sender, const QByteArray& line, bool complete);
    // The user's disconnect.
    void HitriGumb2Click();

    // Data connection.
    bool PripraviPrenos();
    void Streznik1Accept(TSockCtrl* sender, TSocketBase* socket);
    void Streznik1Read(TSockCtrl* sender, TSocketBase* socket);
    void Streznik1Write(TSockCtrl* sender, TSocketBase* socket);
    void Streznik1Disconnect(TSockCtrl* sender, TSocketBase* socket);
    // Passive mode's connect failed; its other events share Streznik1's handlers.
    void PasivnaNeuspela(TSocketBase* socket);

    // Transfer-type choice.
    void gsSamodejnoClick();
    void gsSlikaClick();
    void gsBinarnoClick();
    void gsTekstClick();

    // Transfers.
    void Pla1PrenesiClick();
    void Pla2PrenesiClick();
    void STOPFTPClick();

    // Remote pane commands.
    void FTPDat1DblClick();
    void FTPDat1Backspace();
    void Pla1SkociClick();
    void Pla1OsveziFTPClick();
    void Pla1UsMapoClick();
    void Pla1IzbrisiClick();
    void FTPDat1Edited();
    void Pla1IzberiVseClick();
    // The remote pane's popup menu opens: download and delete need a selection and no transfer.
    void PlavajociMenu1Popup();
    // The selection of the remote pane changed: status panel 1.
    void FTPDat1Change();

    // The transfer queue's operations and state (see the contract above).
    void SetBackground(bool background) { m_ozadje = background; }
    bool LoggedIn() const { return m_prijavljen; }
    bool Busy() const;
    bool Ready() { return Odjemalec1.Connected() && m_prijavljen && !Busy(); }
    void ListFolder(const QString& remoteFolder);
    void MakeFolder(const QString& remoteFolder);
    // offset > 0 resumes: the local file must then have exactly offset bytes.
    void FetchFile(const QString& remotePath, const QString& localPath, qint64 offset, qint64 size);
    void SendFile(const QString& localPath, const QString& remotePath, qint64 offset);
    void StopOperation();

    std::function<void()> OnReady;
    std::function<void(const QString& reason, bool tooMany)> OnClosed;
    std::function<void(const TOperationResult& result)> OnOperationDone;
    std::function<void(const TFileTransfer& transfer)> OnTransferStarted;
    std::function<void(qint64 bytes)> OnTransferProgress;
    std::function<void(bool ok, bool stopped, const QString& reason)> OnTransferEnded;

    // Builds the remote listing table and the pane from the raw listing.
    void RazcleniSeznam();

    // State, for the window and for tests.
    TFaza Faza() const { return m_faza; }
    QString TrenutnaMapa() const { return m_trenutnaMapa; }
    bool PrenosTece() const { return m_prenosTece; }
    bool OddajaTece() const { return m_oddajaTece; }
    bool VecBrisanje() const { return m_vecBrisanje; }
    int VrataPodatkov() const { return m_vrata.Vrata(); }
    void SetVrataPodatkov(int port) { m_vrata.SetVrata(port); }
    QChar IzbraniTip() const { return m_izbraniTip; }
    QChar ZadnjiTip() const { return m_zadnjiTip; }
    const TRemoteListing& Seznam() const { return m_seznam.Tabela(); }
    qint64 PrejetoBajtov() const { return m_prenos.prejeto; }
    // The raw listing cap; tests lower it.
    void SetNajvecjiSeznam(qsizetype bytes) { m_seznam.SetNajvecji(bytes); }
    // The table's entry cap; tests lower it.
    void SetNajvecVnosov(int entries) { m_seznam.SetNajvecVnosov(entries); }

    // The PORT argument of an IPv4 address (host order) and a port: "h1,h2,h3,h4,p1,p2".
    static QString PortArgument(quint32 address, int port);
    // The directory a 257 reply line names ("" when it names none).
    static QString Pot257(const QString& vrstica);

    TBasicClientSocket Odjemalec1;
    // Whether this session's data connections are passive now.
    bool Pasivno() const { return m_pasivno; }

private:
    // Sends one command line (code page 1250, CR LF); refuses one that holds CR, LF or NUL.
    // `za` says what its reply answers (every command sent owes one reply).
    bool Poslji(const QString& line, TOdgovorZa za = ozDrugo);
    // Whether a command line may be sent (no CR, LF or NUL); a status line says why not.
    bool VeljavenUkaz(const QString& line);
    // Logs the command with its label and argument, then sends it; false when refused.
    bool Ukaz(const QString& label, const QString& argument, const QString& line, TOdgovorZa za = ozDrugo);
    void Dnevnik(const QString& label, const QString& argument = {});
    void Stanje(const QString& text);
    // A status line per listing line the last reading left out as unreadable (the first few).
    void SporociNeprebrane();
    // A message of the main window's word table in the active language.
    QString Beseda(const char* key);

    // The session state machine.
    void Odgovor(int koda, const QString& vrstica);
    void Zavrnjeno450();
    // Sends the transfer's first command (REST of a resume, else RETR, STOR or LIST) and remembers it.
    bool ZacniUkazPrenosa(const QString& label, const QString& argument, const QString& line, TOdgovorZa za);
    bool JePrejem() const { return m_prenos.JePrejem(); }
    bool JeOddaja() const { return m_prenos.JeOddaja(); }
    QString Neuspeh(const QString& detail) { return Beseda("@idNeuspeh") + detail; } // a failure status
    // The data connection has ended (closed, reset or broken): the local file
    // is completed, then KoncajPodatkovno.
    void ZakljuciPodatkovno();
    void KoncajPodatkovno(); // the data connection has ended: flags, buttons, then PreveriPrenos
    void ZacniOddajo();      // the server has begun a STOR: send
    void Zavrnjeno550();
    void Prekinjeno();                     // the answer to ABOR
    void Reply1xx(const QString& vrstica); // a 1xx: an announced size; an upload may start
    void Prijava(int koda);                // 220 and 331: the login steps
    void PosljiUser();                     // the login's first command
    // Encryption (ftpsifriranje.cpp): the login's TLS step and the data connections' TLS.
    bool Sifrirano() const { return m_parametri.encryption >= 1 && m_parametri.encryption <= 3; }
    bool StrogoSifrirano() const { return m_parametri.encryption == 2 || m_parametri.encryption == 3; }
    void ZacniTls(); // the control connection's handshake
    void TlsKoncan(quint32 povezava, const TTlsOutcome& izid);
    void OdgovorTls(TOdgovorZa za, int koda, const QString& vrstica); // AUTH TLS, PBSZ or PROT answered
    void Zasciti(); // the login's 230: PBSZ and PROT first when encrypted
    // AUTH TLS or PROT P refused: the connection ends (strogo: required or
    // implicit) or the session goes on in the clear with a status (blago).
    void ZavrnjenaZascita(const char* strogo, const char* blago, const QString& vrstica);
    void KoncajNesifrirano(const QString& razlog); // ends the connection: it cannot go on encrypted
    void PodatkovnaBrezTls(const QString& razlog); // a data connection's handshake failed
    void KonecSifriranja();                        // the control connection closed
    // Catching up after giving up (ftpuskladitev.cpp; see the contract).
    void Uskladi();
    void OdgovorUskladitve(int koda);
    void KonecUskladitve();
    void ZapriKontrolno(const QString& razlog); // ends the connection with this status
    // A reply line as the log and the multi-line bound see it; false when it must not be acted on.
    bool Preberi(const QString& vrstica);

    // How a transfer ends (ftpkonec.cpp): the one owner of its verdict.
    // Ends the transfer once all it waits for is known (a final reply, and for
    // a download or listing the end of its data connection).
    void PreveriPrenos();
    // The verdict: closes what is open, clears the flags, shows one status
    // (status, or the success text when empty and uspeh) and does what follows
    // (the local refresh, the listing after an upload, the parsed listing).
    void KoncajPrenos(bool uspeh, const QString& status = {});
    void PrekiniPrenos(); // the control connection is gone: a running transfer has failed
    void CasPotekel();    // a stall or a data connect timed out: the transfer has failed
    void Dejavnost();     // the transfer moved: its stall deadline starts again
    void Nadzor();        // the stall check, every 200 ms while a transfer is prepared
    void
    Ponovi450(const QString& vrstica); // a 450 to a transfer command: a new port, its first command again
    QString OpisPrenosa() const;       // the local path, or the command of a listing
    void NastaviVelikost(const TRemoteEntry& entry); // size and size text of the progress display
    void Trenutna257(const QString& line);
    // 230, 257 and a 450 that answers no transfer start a listing or a new
    // port: while a transfer runs they wait until it has ended, in order.
    bool PrenosZaseden() const;
    void PoPrenosu(std::function<void()> action);
    void IzvediPoPrenosu();
    void Izpisi();   // list the directory: MLSD when the server offers it, else LIST
    void BrezMlsd(); // MLSD refused with 500/502: the listing again with LIST, and LIST from now on
    void PoPrijavi();
    // The login's 230: FEAT first in UTF-8 or automatic name encoding, else PoPrijavi.
    void Prijavljen();
    // The answer to FEAT or OPTS UTF8 ON: the name encoding and MLSD are decided, then PoPrijavi.
    void OdgovorFeat(TOdgovorZa za, int koda);
    void ZnacilnostFeat(const QString& vrstica); // a line of the FEAT reply: UTF8, MLST or MLSD
    // The encoding in force: decodes reply lines and listings, encodes commands.
    TNameDecoder Dekoder() const;
    QByteArray Kodiraj(QStringView text) const;

    // Runs the event loop until done() holds or the control connection closes;
    // false when it closed (the transfer state has then been cleared).
    bool Pocakaj(const std::function<bool()>& done);
    void ZapriStreznik(); // closes the data connection and stops listening
    void PocistiPrenos(); // PozabiPrenos, and the logo and the busy cursor stop
    void PozabiPrenos();  // stops listening, clears the transfer flags, closes the file, resets the progress
    bool ObjaviVrata();   // listen (Podatkovna.Poslusaj), then PORT with the port, and advance it
    // Passive mode (ftppasivno.cpp).
    void ZahtevajPasivno(); // EPSV, or PASV after a refused EPSV
    // The reply to EPSV or PASV: PASV after a refused EPSV, else connects the passive data connection and
    // sends the command.
    void OdgovorPasivno(int koda, const QString& vrstica);
    // The port a 229 or 227 reply announces (the host of a 227 is never used); 0 when garbage.
    static int PasivnaVrata(int koda, const QString& vrstica);
    bool PosljiUkazPrenosa(); // sends the transfer's first command (m_ukazPrenosa)
    // Active mode failed for this transfer: the session goes passive and the transfer starts again.
    bool PoskusiPasivno(int koda);
    void PreklopiNaPasivno();
    // The same transfer again from its first command (after a 450, or in passive mode).
    void PonoviPrenos(int ponovitve450);
    // PripraviPrenos for a transfer of this kind; its local file is pot, or
    // (when empty) the name of the command in the local directory.
    bool PripraviPrenos(TFaza vrsta, const QString& pot);
    void TipniKorak();

    // Transfers.
    QString LokalnaPot(const QString& name); // the absolute path of a name in the local directory
    // Asks whether to overwrite instead of a resume that makes no sense; false when it says No.
    bool VprasajPrepis(const char* key);
    // Receives what waits, in reads of 4096 bytes, up to one receive buffer; returns the bytes taken.
    int Beri(TSocketBase* socket);
    // Opens a download's local file, once per transfer; false when it cannot
    // be opened (the transfer has then failed). See PrejemZdaj.
    bool OdpriPrejem();
    // When the data connection is ready: a new download over an existing file
    // whose RETR the server has not taken yet (passive mode, a server that
    // connects at PORT) waits for the 1xx, the first byte or a successful end,
    // so a refused RETR does not truncate it; any other opens now.
    void PrejemZdaj();
    bool OdpriOddajo(); // the source of an upload, before PORT
    void PrikaziNapredek(qint64 count);
    void Omogoci(std::initializer_list<TSejaItem> items, bool enabled);
    void PrenesiVnos(const TRemoteEntry& entry); // steps of a new download
    int VrsticaNaStrezniku(const QString& ime);  // the remote pane's row of that caption (any case), -1 none
    bool PreveriIme(const QString& name);        // refuses a hostile remote name
    void NastaviTip(int choice, QChar letter);

    // The queue's operations (ftpvrsta.cpp).
    enum TKorak : quint8 { kkPwd, kkCwd, kkSeznam, kkNazaj, kkMkd, kkPrenos };
    struct TOpravilo {
        enum TVrsta : quint8 { voNic, voSeznam, voMapa, voPrejem, voOddaja };
        TVrsta vrsta = voNic;
        TKorak korak = kkPwd;
        QString pot;   // the remote folder or file
        QString nazaj; // the browsing session's folder to return to (PWD); empty: stay
        bool ustavljeno = false;
        bool vrni = false;     // the browsing session has left its folder: CWD nazaj before the end
        TOperationResult izid; // kept while the browsing session returns to its folder
    };
    bool ZacniOpravilo(TOpravilo::TVrsta vrsta, const QString& pot); // false: refused (its end fired)
    void KorakOpravila(TKorak korak);
    void OdgovorVrsta(int koda, const QString& vrstica);  // a reply to an operation's command
    void SeznamKoncan(bool uspeh, const QString& razlog); // an operation's listing has ended
    void KoncajOpravilo(TOperationResult izid);           // returns to the folder first when needed
    void JaviKonec(bool uspeh, bool ustavljeno, const QString& razlog); // OnTransferEnded, once
    void JaviZacetek();     // OnTransferStarted, once per transfer
    void JaviPripravljen(); // OnReady when the session has become Ready()
    // The connection has ended: a running operation fails, then OnClosed (once per connection).
    void Zaprto(const QString& razlog, bool prevec = false);
    // Whether a refused login's reply names too many users, connections or clients.
    static bool PrevecPovezav(const QString& vrstica);
    // Counts a user's transfer command as running while the guard lives; OnReady may fire at its end.
    auto UkazTece()
    {
        ++m_ukaziTecejo;
        return qScopeGuard([this, alive = m_alive] {
            if (!*alive)
                return;
            --m_ukaziTecejo;
            JaviPripravljen();
        });
    }
    bool ZaVrsto() const { return m_opravilo.vrsta != TOpravilo::voNic; }

    TSejaView* m_view;
    TSejaParametri m_parametri;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    TFtpOdgovori m_odgovori;
    TPrenos m_prenos;
    TVrataPodatkov m_vrata;
    TSeznamFtp m_seznam;

    TFaza m_faza = fzNic;
    QString m_trenutnaMapa;
    bool m_prenosTece = false;
    bool m_oddajaTece = false;
    bool m_vecBrisanje = false;
    bool m_cwdKorenZavrnjen = false; // "CWD /" has been sent after a refused CWD
    bool m_dolgaVrstica = false;     // a reply line overflowed the read buffer
    bool m_pozdrav = false;          // the greeting's 220 has been acted on
    bool m_gesloPoslano = false;     // PASS has been sent for this login
    bool m_utisano = false;          // an overlong reply ended the connection: lines are no longer shown
    QTimer m_nadzor;
    QChar m_izbraniTip = QLatin1Char('S');
    QChar m_zadnjiTip;
    QString m_imeDatoteke;
    QString m_izvornoIme;
    int m_indeksPreimenovanja = 0;

    std::deque<std::function<void()>> m_poPrenosu; // actions waiting for the transfer to end
    bool m_pasivno = false;                        // data connections are passive in this session
    bool m_bezEpsv = false;                        // the server refused EPSV: PASV from now on
    bool m_utf8 = false;                           // names are UTF-8 on this connection (else code page 1250)
    bool m_mlsd = false;                           // listings go by MLSD on this connection
    bool m_featMlsd = false;                       // the FEAT reply being read offers MLSD (or MLST)
    bool m_featUtf8 = false;                       // the FEAT reply being read lists UTF8
    // The control connection's encryption: none yet, AUTH TLS sent, handshake
    // running, certificate being judged, encrypted.
    enum TTlsFaza : quint8 { tfBrez, tfAuth, tfRokovanje, tfPotrdilo, tfSifrirano };
    TTlsFaza m_tlsFaza = tfBrez;
    bool m_userCaka = false; // the 220 came while the handshake or the certificate was pending
    quint32 m_povezava = 0;  // counts connections: a late handshake end of an earlier one is ignored
    QTimer m_tlsRok;         // a server silent during the control handshake

    bool m_uskladitev = false; // catching up after ABOR (Uskladi)
    QTimer m_rokUskladitve;
    std::vector<std::pair<QString, TOdgovorZa>> m_zadrzano; // commands given meanwhile
    bool m_padecPasivno = false;  // passive only since active failed in this session
    bool m_brezPasivnega = false; // passive was refused after that: active for good

    TOpravilo m_opravilo;
    bool m_ozadje = false;         // a background connection (SetBackground)
    bool m_prijavljen = false;     // the login has ended on this connection
    bool m_napovedan = false;      // OnTransferStarted has fired for the running transfer
    bool m_bilPripravljen = false; // Ready() when last looked at (OnReady fires on the change)
    bool m_javiZaprto = false;     // OnClosed is still owed for this connection
    int m_ukaziTecejo = 0;         // the user's transfer commands running (they wait between files)
    QString m_oddaljenoIme;        // the remote name or path of the transfer being prepared
    QString m_zadnjeStanje;        // the last status line (an operation's reason when it cannot start)

public:
    // The data connection's components (declared after the transfer whose
    // socket they close).
    TPodatkovnaPovezava Podatkovna;
};
