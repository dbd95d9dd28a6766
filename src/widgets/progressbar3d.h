#pragma once
// ProgressBar3D: a raised 3D progress bar with an optional percentage text.
//
// The percentage stays readable over both parts: over the bar it is drawn in
// TextColourOver(bar colour, font colour).
//
// Contract: Progress takes a new value only within MinValue..MaxValue
// (inclusive); other values are ignored. Every change repaints. The size is
// kept to the orientation's rule (see ProgressBarSize) when the orientation
// changes and on every resize event (a hidden bar gets its resize event when
// it is shown). No events.
#include "widgets/custompanel.h"

enum class ProgressBar3DOrientation { BarHorizontal, BarVertical };

// num / den rounded to the nearest integer, halves to even; den must not be 0.
qint64 RoundHalfEven(qint64 num, qint64 den);

// The percentage shown for progress: 0 when max equals min.
int ProgressPercent(int progress, int minValue, int maxValue);

// The colour of the percentage text where it lies over the bar: the font colour when it stands out
// from the bar colour by lightness, else black over a light bar and white over a dark one.
QColor TextColourOver(const QColor& bar, const QColor& font);

// The bar's length for the control's length (width or height) and a percentage.
int ProgressBarLength(int length, int percent);

// The size rule: a horizontal bar is never taller than wide and at least
// 50 x 20, a vertical one never wider than tall and at least 20 x 50.
QSize ProgressBarSize(QSize size, ProgressBar3DOrientation orientation);

class ProgressBar3D : public TCustomPanel {
    Q_OBJECT

public:
    explicit ProgressBar3D(QWidget* parent = nullptr);

    int MinValue() const { return m_minValue; }
    void SetMinValue(int value);
    int MaxValue() const { return m_maxValue; }
    void SetMaxValue(int value);
    int Progress() const { return m_progress; }
    void SetProgress(int value);
    bool ShowText() const { return m_showText; }
    void SetShowText(bool on);
    TColor BarColor() const { return m_barColor; }
    void SetBarColor(TColor color);
    TColor BackColor() const { return m_backColor; }
    void SetBackColor(TColor color);
    TColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(TColor color);
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor color);
    ProgressBar3DOrientation Orientation() const { return m_orientation; }
    void SetOrientation(ProgressBar3DOrientation orientation);

    int Percent() const { return ProgressPercent(m_progress, m_minValue, m_maxValue); }
    // The bar's rectangle at the current size and progress (empty at 0).
    QRect BarRect() const;
    QString Text() const { return QStringLiteral("%1%").arg(Percent()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int m_minValue = 0;
    int m_maxValue = 100;
    int m_progress = 0;
    bool m_showText = true;
    TColor m_barColor = clBtnFace;
    TColor m_backColor = clBtnFace;
    TColor m_borderColor = clBtnFace;
    TColor m_fontColor = clBlue;
    ProgressBar3DOrientation m_orientation = ProgressBar3DOrientation::BarHorizontal;
};
