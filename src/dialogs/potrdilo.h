#pragma once
// TPotrdilo: the question about a server certificate that could not be
// verified ("Kvado - Potrdilo strežnika"). It shows who the certificate was
// issued to and by, its validity in local time (marked "expired" or "not yet
// valid" when the clock is outside it), its SHA-256 fingerprint grouped in a
// monospace font, and why it was not accepted; the user trusts it once,
// always, or cancels.
//
// Two variants, chosen by the constructor:
// - first meeting (no stored fingerprint): a question icon, a heading that the
//   certificate could not be verified, the question below the details;
// - changed certificate (a fingerprint was stored for this host and port and
//   differs): a loud warning: a warning icon on a red band, a red heading
//   saying the certificate has CHANGED since it was trusted, the explanation,
//   and both fingerprints (trusted before, and new).
// In both, Cancel is the default button and takes the focus, Escape and
// closing the window cancel, and the two trust buttons are never default, so
// only a deliberate click or their mnemonic trusts.
//
// Contract: exec() returns a TPotrdiloIzbira. The constructor fills every
// text in language 0 (Slovenian) or 1 (English); any other value shows
// Slovenian. The window writes nothing itself: the caller stores a fingerprint
// trusted always. Modal; UI thread only.
#include "net/certificateinfo.h"

#include <QByteArray>
#include <QDialog>

class QGridLayout;
class QLabel;
class TButton3D;
class TMultiLang;

// What the user chose; the result of exec().
enum TPotrdiloIzbira : quint8 { pzPreklici = 0, pzEnkrat = 1, pzVedno = 2 };

class TPotrdilo : public QDialog {
    Q_OBJECT

public:
    // storedSha256: the fingerprint trusted before for this host and port
    // when it differs from info's (the changed variant), else empty.
    TPotrdilo(const TCertificateInfo& info, const QByteArray& storedSha256, int language,
              QWidget* parent = nullptr);

    bool Changed() const { return !m_stored.isEmpty(); }
    TMultiLang* ML8() const { return m_ml8; }

    void reject() override; // Escape and closing are Cancel

    // "AB:CD:..." in two lines of 16 bytes each, as the window shows it.
    static QString GroupedFingerprint(const QByteArray& sha256);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void buildComponents();
    QLabel* addRow(const char* name, QLabel* value);
    void showTexts();
    QString ReasonText() const;

    TCertificateInfo m_info;
    QByteArray m_stored;
    QWidget* m_band;
    QLabel* m_icon;
    QLabel* m_naslov;
    QLabel* m_razlaga;
    QLabel* m_veljaOd;
    QLabel* m_veljaDo;
    QLabel* m_oznakaOdtis;
    QLabel* m_vprasanje;
    QLabel* m_razlog;
    TButton3D* m_zaupajEnkrat;
    TButton3D* m_zaupajVedno;
    TButton3D* m_preklici;
    QGridLayout* m_details;
    TMultiLang* m_ml8;
};
