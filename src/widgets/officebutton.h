#pragma once
// TOfficeButton: the flat tool button. At rest it shows no border and a grey
// version of its image; hot (mouse over) a thin raised bevel and the colour
// image; pressed a lowered bevel with the image one pixel down and right. It
// can carry a caption beside, above or below the image, act in a group of
// toggle buttons (GroupIndex, Down, AllowAllUp) and open a drop-down menu.
//
// Contract:
// - OnEnter / OnExit fire when the mouse enters and leaves the button (also
//   while the left button is held).
// - OnClick fires on a left release over the button that was pressed on it,
//   after the group state changed; never for a button with a DropDownMenu.
//   The accelerator key ("&" letter of the caption) presses and releases the
//   button, letting pending events run between the steps.
// - A press on a button with a DropDownMenu opens the menu below the button
//   and returns when the menu closes (QMenu::exec).
// - Handlers may change any property; an exception escaping them goes to
//   ReportException.
#include "widgets/controltypes.h"
#include "widgets/events.h"
#include "widgets/wincolor.h"

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>

class QShortcut;

enum class TExplorerButtonLayout { blBitmapTop, blBitmapBottom, blBitmapLeft, blBitmapRight };
enum class TExplorerButtonOption { boMonoDisplay = 1, boIconOnly = 2, boPopupMark = 4, boShowBevel = 8 };
Q_DECLARE_FLAGS(TExplorerButtonOptions, TExplorerButtonOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TExplorerButtonOptions)
enum class TExplorerButtonShadingType { stLight, stMedium, stDark };
enum class TBevelStyle { bsLowered, bsRaised };

// The grey shade of one pixel: white, highlight, shadow or black by the sum
// of its red, green and blue against the shading type's three thresholds.
QColor GreyShade(QRgb pixel, TExplorerButtonShadingType shading, const QColor& highlight,
                 const QColor& shadow);

// The grey version of an image: the top-left pixel's colour stays as it is
// (it is the transparent colour), every other pixel becomes its GreyShade.
QImage GreyImage(const QImage& bitmap, TExplorerButtonShadingType shading, const QColor& highlight,
                 const QColor& shadow);

// The image as ARGB with every pixel of its top-left colour transparent.
QImage TransparentImage(const QImage& bitmap);

// Where the image and the caption go in a button of the given size.
struct TOfficeButtonGeometry {
    QRect image;   // width includes 10 for the drop-down mark when shown
    QRect caption; // the caption's laid-out rectangle
};

struct TOfficeButtonLayoutInput {
    QSize button;
    QSize caption; // measured caption (0 x 0 when none)
    int gap = 0;   // 2 between image and caption, 0 without a caption
    QSize image;   // the bitmap's size, width + 10 with a drop-down mark
    bool hasBitmap = false;
    bool popupMark = false;
    bool wordWrap = false;
    TExplorerButtonLayout layout = TExplorerButtonLayout::blBitmapTop;
    TAlignment alignment = TAlignment::taCenter;
};

TOfficeButtonGeometry OfficeButtonGeometry(const TOfficeButtonLayoutInput& in);

class TOfficeButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)

public:
    explicit TOfficeButton(QWidget* parent = nullptr);

    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    bool AllowAllUp() const { return m_allowAllUp; }
    void SetAllowAllUp(bool on);
    TBevelStyle BevelStyle() const { return m_bevelStyle; }
    void SetBevelStyle(TBevelStyle style);
    QImage Bitmap() const { return m_bitmap; }
    // An image with a device pixel ratio above 1 is drawn at that density (sharp on a scaled screen);
    // its size on the button is its device-independent size.
    void SetBitmap(const QImage& bitmap);
    QSize BitmapSize() const { return m_bitmap.deviceIndependentSize().toSize(); }
    QImage NoFocusBitmap() const { return m_noFocusBitmap; }
    void SetNoFocusBitmap(const QImage& bitmap);
    QImage DisabledBitmap() const { return m_disabledBitmap; }
    void SetDisabledBitmap(const QImage& bitmap);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int index);
    bool Down() const { return m_down; }
    void SetDown(bool down);
    QMenu* DropDownMenu() const { return m_dropDownMenu; }
    void SetDropDownMenu(QMenu* menu);
    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu) { m_popupMenu = menu; }
    TExplorerButtonLayout Layout() const { return m_layout; }
    void SetLayout(TExplorerButtonLayout layout);
    TExplorerButtonOptions Options() const { return m_options; }
    void SetOptions(TExplorerButtonOptions options);
    TExplorerButtonShadingType ShadingType() const { return m_shadingType; }
    void SetShadingType(TExplorerButtonShadingType shading);
    bool ShowDownPattern() const { return m_showDownPattern; }
    void SetShowDownPattern(bool on);
    TColor UnselectedFontColor() const { return m_unselectedFontColor; }
    void SetUnselectedFontColor(TColor color);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool on);
    QString Hint() const { return m_hint; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool on);

    // The grey image computed from Bitmap.
    QImage GreyBitmap() const { return m_greyBitmap; }
    bool Hot() const { return m_hot; }
    bool Pressed() const { return m_pressed; }
    // Where the image and caption are placed at the current size.
    TOfficeButtonGeometry Geometry() const;

    // Presses and releases the button as its accelerator key does (a button
    // with a DropDownMenu opens the menu and returns when it closes).
    void Click();

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TNotifyEvent OnClick;
    TMouseMoveEvent OnMouseMove;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QList<TOfficeButton*> GroupSiblings() const;
    void SetHot(bool hot);
    void PressLeft();
    void ReleaseLeft(bool overNow);
    void AfterMenu();
    void UpdateGreyBitmap();
    void UpdateShortcut();
    void UpdateToolTip();
    QSize CaptionSize() const;
    int CaptionFlags() const;
    bool ShowsPopupMark() const;
    QColor Sys(TColor color) const { return FromWinColor(color, palette()); }

    TAlignment m_alignment = TAlignment::taCenter;
    bool m_allowAllUp = false;
    TBevelStyle m_bevelStyle = TBevelStyle::bsRaised;
    QImage m_bitmap;
    QImage m_noFocusBitmap;
    QImage m_disabledBitmap;
    QImage m_greyBitmap;
    QString m_caption;
    int m_groupIndex = 0;
    bool m_down = false;
    QPointer<QMenu> m_dropDownMenu;
    QPointer<QMenu> m_popupMenu;
    TExplorerButtonLayout m_layout = TExplorerButtonLayout::blBitmapTop;
    TExplorerButtonOptions m_options = TExplorerButtonOption::boMonoDisplay |
                                       TExplorerButtonOption::boPopupMark |
                                       TExplorerButtonOption::boShowBevel;
    TExplorerButtonShadingType m_shadingType = TExplorerButtonShadingType::stMedium;
    bool m_showDownPattern = true;
    TColor m_unselectedFontColor = clWindowText;
    bool m_wordWrap = false;
    QString m_hint;
    bool m_showHint = false;
    bool m_hot = false;
    bool m_pressed = false;
    QShortcut* m_shortcut = nullptr;
};
