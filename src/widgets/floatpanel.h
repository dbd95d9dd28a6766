#pragma once
// TFloatPanel: the small always-on-top tool window a TMPanel floats in. It is
// titled with the panel's TabCaption ("Tools" when empty) and sized to the
// panel's children plus FloatX/FloatY.
//
// Contract: closing the window docks the panel back into its former parent
// (shown, Floating cleared); when that parent is a TPanelManager it lays out
// again and tells action 6. The window deletes itself when closed.
#include <QPointer>
#include <QWidget>

class TMPanel;

class TFloatPanel : public QWidget {
    Q_OBJECT

public:
    // Moves panel into a new floating window owned by owner.
    TFloatPanel(TMPanel* panel, QWidget* owner);

    TMPanel* Panel() const { return m_panel; }
    QWidget* FormerParent() const { return m_formerParent; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<TMPanel> m_panel;
    QPointer<QWidget> m_formerParent;
};
