#pragma once
// THemisphereButton: an elliptical button drawn as a dome lit from the upper
// left, which sinks in (lit from the lower right) while pressed. Only points
// within the ellipse count as the button.
//
// Contract:
// - A left press within the ellipse sets Pressed; moving keeps Pressed on
//   while the mouse is over the ellipse (for a button that was up). A release
//   over the ellipse raises OnClick, then: without a group the button comes
//   up; in a group the button toggles (its group siblings come up), except
//   that a down button stays down unless AllowAllUp. A release off the ellipse
//   restores the earlier state. A double click also raises OnDblClick.
// - The raised and sunken pictures are recomputed (lazily, before the next
//   paint) whenever the size, caption, font, bevels, border or colours change.
#include "widgets/controltypes.h"
#include "widgets/events.h"
#include "widgets/wincolor.h"

#include <QImage>
#include <QWidget>

enum class THemisphereBevel { hbNone, hbLowered, hbRaised };

struct THemisphereLook {
    THemisphereBevel bevelInner = THemisphereBevel::hbNone;
    THemisphereBevel bevelOuter = THemisphereBevel::hbLowered;
    int bevelWidth = 1;
    QColor bright = Qt::white;
    QColor dark = QColor(0x80, 0x80, 0x80);
};

// Width of all bevels that are not none.
int HemisphereBevelSize(const THemisphereLook& look);

// The dome picture (raised or sunken) with its bevel rings; transparent
// beyond the outer ellipse.
QImage HemisphereImage(QSize size, bool sunken, const THemisphereLook& look);

// Whether (x, y) lies on a button of this size with bevels m pixels wide.
bool HemisphereHit(QSize size, int m, QPoint point);

class THemisphereButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit THemisphereButton(QWidget* parent = nullptr);

    bool AllowAllUp() const { return m_allowAllUp; }
    void SetAllowAllUp(bool on); // also on every grouped sibling of the same group
    THemisphereBevel BevelInner() const { return m_look.bevelInner; }
    void SetBevelInner(THemisphereBevel bevel);
    THemisphereBevel BevelOuter() const { return m_look.bevelOuter; }
    void SetBevelOuter(THemisphereBevel bevel);
    int BevelWidth() const { return m_look.bevelWidth; }
    void SetBevelWidth(int width); // values <= 0 are refused
    TColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(TColor color);
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle style);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    TColor ColorBright() const { return ToWinColor(m_look.bright); }
    void SetColorBright(TColor color);
    TColor ColorDark() const { return ToWinColor(m_look.dark); }
    void SetColorDark(TColor color);
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int index) { m_groupIndex = index; }
    bool Pressed() const { return m_pressed; }
    void SetPressed(bool pressed);

    QImage ImageOut();
    QImage ImageIn();

    // A press and release over the button: OnClick, then the group rules
    // above. Does nothing while disabled.
    void Click();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown; // every press, before the button reacts
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp; // every release, after OnClick

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool Hits(QPoint point) const;
    void ReleaseLeft(QPoint pos);
    void Clicked();
    void Invalidate();
    void Recompute();
    QList<THemisphereButton*> GroupSiblings() const;

    THemisphereLook m_look;
    bool m_allowAllUp = false;
    TColor m_borderColor = clGray;
    TBorderStyle m_borderStyle = TBorderStyle::bsNone;
    QString m_caption;
    int m_groupIndex = 0;
    bool m_pressed = false;
    bool m_mouseDown = false;
    bool m_wasPressed = false;
    bool m_dirty = true;
    QImage m_imageOut;
    QImage m_imageIn;
};
