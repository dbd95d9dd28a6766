#pragma once
// TButton3D: the dialogs' push button, drawn by the program, whose caption
// can be embossed (raised, lowered) or carry a shadow.
//
// Contract: it is a QPushButton: clicked() and the rest behave as usual; a
// double click counts as a second press. Changing any property, the font or
// the enabled state repaints.
#include "widgets/wincolor.h"

#include <QPushButton>

enum class TButton3DBevel { bvNone, bvLowered, bvRaised, bvShadow };
enum class TButton3DPressState { bvNonePress, bvPress };

// One copy of the caption: where (relative to the caption's place) and in
// which colour, in drawing order.
struct TCaptionCopy {
    QPoint offset;
    QColor color;
    bool operator==(const TCaptionCopy&) const = default;
};

struct TButton3DLook {
    TButton3DBevel bevel = TButton3DBevel::bvRaised;
    TButton3DPressState pressState = TButton3DPressState::bvNonePress;
    int shadowSize = 1;
    QColor highlight;
    QColor shadow;
    QColor font;
};

// The copies of the caption a button draws; pressed shifts all by (1, 1).
QList<TCaptionCopy> Button3DCaptionCopies(const TButton3DLook& look, bool pressed, bool enabled);

class TButton3D : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TButton3D(QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
    TColor HighLightColor() const { return m_highLightColor; }
    void SetHighLightColor(TColor color);
    TColor ShadowColor() const { return m_shadowColor; }
    void SetShadowColor(TColor color);
    TButton3DBevel Bevel() const { return m_bevel; }
    void SetBevel(TButton3DBevel bevel);
    quint8 ShadowSize() const { return m_shadowSize; }
    void SetShadowSize(quint8 size);
    TButton3DPressState PressState() const { return m_pressState; }
    void SetPressState(TButton3DPressState state);

    // The default button while no other push button of its window has the focus.
    bool IsActiveDefault() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    TColor m_highLightColor = clBtnHighlight;
    TColor m_shadowColor = clBtnShadow;
    TButton3DBevel m_bevel = TButton3DBevel::bvRaised;
    quint8 m_shadowSize = 1;
    TButton3DPressState m_pressState = TButton3DPressState::bvNonePress;
};
