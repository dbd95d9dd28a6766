#pragma once
// Small pieces the start-up and quick-connect windows share: placing a window
// in the middle of its screen, turning an embedded GIF picture into a pixmap
// for a wallpaper, and the one replaceable question box of a dialog.
//
// Contract: all functions run on the UI thread. TAskBox is called
// synchronously; the default (ShowMessageBox) runs a modal QMessageBox, so
// events keep being delivered while it is open.
#include <QMessageBox>
#include <QPixmap>

#include <functional>

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
