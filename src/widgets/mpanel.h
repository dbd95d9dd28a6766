#pragma once
// TMPanel: a tool panel stacked in a TPanelManager. Its tab colours and tab
// caption are shown on the manager's grip and bottom tab; its FloatX/FloatY
// enlarge its floating window (TFloatPanel).
//
// Contract: changing a tab property repaints the manager it sits in. Changing
// ArangeButtons to a different value lines up the visible tool-button children
// (QToolButton, the platform's speed button) in one row from x = 20, y = 2.
// Floatable off keeps the panel docked: dragging it out of the manager does
// nothing. No events of its own.
#include "widgets/custompanel.h"

class TMPanel : public TCustomPanel {
    Q_OBJECT
    Q_PROPERTY(QString TabCaption READ TabCaption WRITE SetTabCaption)

public:
    explicit TMPanel(QWidget* parent = nullptr);

    TColor TabColor() const { return m_tabColor; }
    void SetTabColor(TColor color);
    TColor TabHighColor() const { return m_tabHighColor; }
    void SetTabHighColor(TColor color);
    QString TabCaption() const { return m_tabCaption; }
    void SetTabCaption(const QString& caption);
    bool ParentTabColor() const { return m_parentTabColor; }
    void SetParentTabColor(bool on);
    bool ArangeButtons() const { return m_arangeButtons; }
    void SetArangeButtons(bool on);
    int FloatX() const { return m_floatX; }
    void SetFloatX(int extra) { m_floatX = extra; }
    int FloatY() const { return m_floatY; }
    void SetFloatY(int extra) { m_floatY = extra; }
    bool Floatable() const { return m_floatable; }
    void SetFloatable(bool on) { m_floatable = on; }

    // Set while the panel lives in a floating window.
    bool Floating() const { return m_floating; }
    void SetFloating(bool on) { m_floating = on; }

private:
    void RepaintManager();

    TColor m_tabColor = clBlue;
    TColor m_tabHighColor = 0xFFC0C0;
    QString m_tabCaption;
    bool m_parentTabColor = true;
    bool m_arangeButtons = false;
    int m_floatX = 0;
    int m_floatY = 0;
    bool m_floatable = true;
    bool m_floating = false;
};
