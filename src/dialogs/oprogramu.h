#pragma once
// TOProgramu: the about window ("O Kvado"): the program's name, version,
// author and contact, the ABLOGO picture and, when the setting Ozadje is on,
// the SLIKA1 background. Created, shown modally and destroyed by the caller.
//
// Contract: the constructor switches the window's word table to Jezik - 1 when
// Jezik is 1 or 2 (otherwise the Slovenian texts stay and nothing is shown).
// The button Zapri1, Enter and Escape close it; it hands nothing back.
#include <QDialog>

class QLabel;
class TASLink;
class TGIFImage;
class THemisphereButton;
class TMultiLang;
class TWallpaper;

class TOProgramu : public QDialog {
    Q_OBJECT

public:
    TOProgramu(bool ozadje, quint8 jezik, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override; // Enter closes it like Zapri1

private:
    TWallpaper* m_ozadje;
    TGIFImage* m_logo;
    QLabel* m_verzija;
    THemisphereButton* m_zapri1;
    TMultiLang* m_ml3;
};
