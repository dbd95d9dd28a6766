#pragma once
// TOknoJezik: the language question of the first start, written in both
// languages at once (it has no word table). The caller stores the answer in
// the setting Jezik; the window writes nothing itself.
//
// Contract: it opens with "Slovenščina" selected and the list focused. The
// button Button3D1 closes it with Accepted and Chosen() = the selected index +
// 1; closing it any other way (Escape, the window manager) gives Rejected and
// Chosen() = 0, so the question comes again at the next start.
#include <QDialog>

class QComboBox;
class TButton3D;

class TOknoJezik : public QDialog {
    Q_OBJECT

public:
    explicit TOknoJezik(QWidget* parent = nullptr);

    // The value for the setting Jezik: language number + 1, or 0 when the
    // window was closed without its button.
    int Chosen() const { return m_chosen; }

private:
    QComboBox* m_jezik;
    TButton3D* m_button3D1;
    int m_chosen = 0;
};
