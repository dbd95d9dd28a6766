#pragma once
// TCustomPanel: the plain panel the other panel-like controls build on. It
// paints its face in Color, an outer bevel, a BorderWidth frame in Color, an
// inner bevel, and its Caption centred vertically with Alignment.
//
// Contract: every setter stores and repaints; no events of its own. Subclasses
// that paint more call PaintPanel() first, then draw within InnerRect().
#include "widgets/controltypes.h"
#include "widgets/wincolor.h"

#include <QWidget>

// The client rectangle less the outer bevel, the border and the inner bevel.
QRect PanelInnerRect(const QRect& client, TPanelBevel inner, TPanelBevel outer, int bevelWidth,
                     int borderWidth);

class TCustomPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TCustomPanel(QWidget* parent = nullptr);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    TPanelBevel BevelInner() const { return m_bevelInner; }
    void SetBevelInner(TPanelBevel bevel);
    TPanelBevel BevelOuter() const { return m_bevelOuter; }
    void SetBevelOuter(TPanelBevel bevel);
    int BevelWidth() const { return m_bevelWidth; }
    void SetBevelWidth(int width); // values below 1 are taken as 1
    int BorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int width); // negative values are taken as 0
    TColor Color() const;           // the parent panel's colour while ParentColor is on
    void SetColor(TColor color);    // also switches ParentColor off
    bool ParentColor() const { return m_parentColor; }
    void SetParentColor(bool on);

    // Sum of the bevel widths (BevelWidth for each bevel that is not none).
    int BevelSize() const;
    QRect InnerRect() const;
    QColor Resolve(TColor color) const { return FromWinColor(color, palette()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void PaintPanel(QPainter& painter, bool withCaption = true);

private:
    QString m_caption;
    TAlignment m_alignment = TAlignment::taCenter;
    TPanelBevel m_bevelInner = TPanelBevel::bvNone;
    TPanelBevel m_bevelOuter = TPanelBevel::bvRaised;
    int m_bevelWidth = 1;
    int m_borderWidth = 0;
    TColor m_color = clBtnFace;
    bool m_parentColor = false;
};
