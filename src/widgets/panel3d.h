#pragma once
// TPanel3D: a panel with an embossed caption and an optional title across its
// top border (like a group frame whose title straddles the frame line).
//
// Contract: every setter stores and repaints; no events of its own.
#include "widgets/custompanel.h"
#include "widgets/paint3d.h"

#include <QFont>

enum class TPanel3DRePaintCT { rpAll, rpCaption, rpTitle };
enum class TPanel3DVertAlignment { vaTop, vaCenter, vaBottom };

// How far the frame starts below the top: ShadowSizeTitle plus half the title
// font's pixel height (rounded toward zero).
int Panel3DFrameOffset(int shadowSizeTitle, int titlePixelHeight);

// The title box's horizontal extent [left, right) in a panel of width for a
// title textWidth wide.
QPair<int, int> Panel3DTitleSpan(TAlignment alignment, int width, int textWidth);

// The caption's top for a text h high in the rectangle top..bottom (bottom exclusive).
int Panel3DCaptionTop(TPanel3DVertAlignment alignment, int top, int bottom, int h, int shadowSize);

class TPanel3D : public TCustomPanel {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)

public:
    explicit TPanel3D(QWidget* parent = nullptr);

    TAlignment AlignmentTitle() const { return m_alignmentTitle; }
    void SetAlignmentTitle(TAlignment alignment);
    TPanelText3DBevel BevelCaption() const { return m_bevelCaption; }
    void SetBevelCaption(TPanelText3DBevel bevel);
    TPanelText3DBevel BevelTitle() const { return m_bevelTitle; }
    void SetBevelTitle(TPanelText3DBevel bevel);
    TPanelBevel BorderTitle() const { return m_borderTitle; }
    void SetBorderTitle(TPanelBevel bevel);
    TColor ColorTitle() const { return m_colorTitle; }
    void SetColorTitle(TColor color);
    QFont FontTitle() const { return m_fontTitle; }
    void SetFontTitle(const QFont& font);
    TColor HColorCaption() const { return m_hColorCaption; }
    void SetHColorCaption(TColor color);
    TColor HColorTitle() const { return m_hColorTitle; }
    void SetHColorTitle(TColor color);
    TColor SColorCaption() const { return m_sColorCaption; }
    void SetSColorCaption(TColor color);
    TColor SColorTitle() const { return m_sColorTitle; }
    void SetSColorTitle(TColor color);
    TPanel3DRePaintCT RePaintCT() const { return m_rePaintCT; }
    void SetRePaintCT(TPanel3DRePaintCT which);
    quint8 ShadowSizeCaption() const { return m_shadowSizeCaption; }
    void SetShadowSizeCaption(quint8 size);
    quint8 ShadowSizeTitle() const { return m_shadowSizeTitle; }
    void SetShadowSizeTitle(quint8 size);
    QString Title() const { return m_title; }
    void SetTitle(const QString& title);
    TPanel3DVertAlignment VertAlignment() const { return m_vertAlignment; }
    void SetVertAlignment(TPanel3DVertAlignment alignment);

    // The top of the outer frame.
    int FrameTop() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TText3D Look(TPanelText3DBevel style, TColor light, TColor dark, int offset) const;

    TAlignment m_alignmentTitle = TAlignment::taLeftJustify;
    TPanelText3DBevel m_bevelCaption = TPanelText3DBevel::bvRaised3;
    TPanelText3DBevel m_bevelTitle = TPanelText3DBevel::bvRaised3;
    TPanelBevel m_borderTitle = TPanelBevel::bvNone;
    TColor m_colorTitle = clBtnFace;
    QFont m_fontTitle;
    TColor m_hColorCaption = clBtnHighlight;
    TColor m_hColorTitle = clBtnHighlight;
    TColor m_sColorCaption = clBtnShadow;
    TColor m_sColorTitle = clBtnShadow;
    TPanel3DRePaintCT m_rePaintCT = TPanel3DRePaintCT::rpAll;
    quint8 m_shadowSizeCaption = 1;
    quint8 m_shadowSizeTitle = 1;
    QString m_title;
    TPanel3DVertAlignment m_vertAlignment = TPanel3DVertAlignment::vaCenter;
};
