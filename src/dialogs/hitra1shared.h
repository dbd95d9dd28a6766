#pragma once
// Small pieces the start-up and connect windows share: placing a window in the
// middle of its screen, turning an embedded GIF picture into a pixmap for a
// wallpaper, the one replaceable question box of a dialog, and the port that
// follows the encryption choice of the quick-connect form and the site editor.
//
// Contract: all functions run on the UI thread. TAskBox is called
// synchronously; the default (ShowMessageBox) runs a modal QMessageBox, so
// events keep being delivered while it is open.
#include <QMessageBox>
#include <QPixmap>

#include <functional>

class QComboBox;
class QLineEdit;
class QWidget;

// A question or message: icon, title, text, buttons and the default button;
// returns the button pressed (the Escape button when the box is closed).
using TAskBox = std::function<QMessageBox::StandardButton(
    QMessageBox::Icon icon, const QString& title, const QString& text, QMessageBox::StandardButtons buttons,
    QMessageBox::StandardButton defaultButton)>;

// A wallpaper panel "Ozadje" that fills the whole window (its background
// picture, when one is set, tiles it); the window's controls go on it.
class TWallpaper;
TWallpaper* FillWithWallpaper(QWidget* window);

// Gives every field that a label of the window names (QLabel::buddy) the
// label's text as its accessible name, so screen readers and test drivers
// find it by what the user reads; called after every language switch.
void NameFieldsAfterLabels(QWidget* window);

// A TAskBox that shows a real modal message box parented to parent.
TAskBox ShowMessageBox(QWidget* parent);

// Moves a top-level window so that its frame is centred on the screen it is
// on (the primary screen when it has none yet).
void CentreOnScreen(QWidget* window);

// The first frame of an embedded GIF picture (":/gif/<name>.gif") as decoded
// by TGIFImage; a null pixmap when it cannot be loaded.
QPixmap GifPicture(const QString& name);

// The encryption choices of the connect forms: 0 none, 1 explicit TLS when
// the server offers it, 2 explicit TLS required, 3 implicit TLS.
constexpr int kImplicitTls = 3;

// The recommended port of an encryption choice: "990" for implicit TLS, else "21".
QString DefaultPort(int encryption);

// Whenever the user picks an entry of the encryption list (activated, also
// the same entry again), the port field follows: implicit TLS turns a port
// "21" into "990", any other choice turns "990" back into "21"; every other
// port stays as typed. Setting the list's index in code changes no port.
// The list asks for the width of a short choice, not of its longest one.
void PortFollowsEncryption(QComboBox* encryption, QLineEdit* port);
