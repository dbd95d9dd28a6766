#pragma once
// TASLink: a label whose text has a drop shadow and which, when clicked, asks
// the platform to open its caption as a link (OpenLink), prefixed with the
// scheme of URLType when URLTypeAdd is on.
//
// Contract:
// - A left click raises OnClick first, then opens the link (when the caption
//   is not empty and URLEnabled), then repaints.
// - While the mouse is over the label its text takes LinkColor; leaving
//   restores the earlier colour.
// - The accelerator key ("&" letter, with ShowAccelChar) gives FocusControl
//   the focus when it can take it.
// - With AutoSize on, changing the caption, font, ShadowSize or WordWrap
//   resizes the label to its text and shadow (a right-aligned label keeps its
//   right edge).
#include "widgets/controltypes.h"
#include "widgets/events.h"
#include "widgets/wincolor.h"

#include <QPointer>
#include <QWidget>

class QShortcut;

enum class TTextLayout { tlTop, tlCenter, tlBottom };
enum class TShadowPosition { spLeftTop, spLeftBottom, spRightBottom, spRightTop };
enum class TURLType { utFile, utFtp, utGopher, utHttp, utHttps, utMailto, utNews, utTelnet, utWais };

QString URLPrefix(TURLType type);

// What a click opens for a caption.
QString LinkTarget(const QString& caption, TURLType type, bool addPrefix);

// Where text and shadow go, relative to the text rectangle, for a shadow
// position and size.
struct TShadowOffsets {
    QPoint text;
    QPoint shadow;
};
TShadowOffsets ShadowOffsets(TShadowPosition position, int size);

class TASLink : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TASLink(QWidget* parent = nullptr);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool on);
    QWidget* FocusControl() const { return m_focusControl; }
    void SetFocusControl(QWidget* control) { m_focusControl = control; }
    TTextLayout Layout() const { return m_layout; }
    void SetLayout(TTextLayout layout);
    TColor ShadowColor() const { return m_shadowColor; }
    void SetShadowColor(TColor color);
    quint8 ShadowSize() const { return m_shadowSize; }
    void SetShadowSize(quint8 size);
    TShadowPosition ShadowPos() const { return m_shadowPos; }
    void SetShadowPos(TShadowPosition position);
    bool ShowAccelChar() const { return m_showAccelChar; }
    void SetShowAccelChar(bool on);
    bool ShowFocus() const { return m_showFocus; }
    void SetShowFocus(bool on);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool on);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool on);
    TColor LinkColor() const { return m_linkColor; }
    void SetLinkColor(TColor color) { m_linkColor = color; }
    bool URLEnabled() const { return m_urlEnabled; }
    void SetURLEnabled(bool on) { m_urlEnabled = on; }
    bool URLTypeAdd() const { return m_urlTypeAdd; }
    void SetURLTypeAdd(bool on) { m_urlTypeAdd = on; }
    TURLType URLType() const { return m_urlType; }
    void SetURLType(TURLType type) { m_urlType = type; }
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor color);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);

    // The size the text and its shadow take within a width (word breaks with WordWrap).
    QSize TextSize(int width) const;

    // What a left click does: OnClick, then the link is opened.
    void Click();

    TNotifyEvent OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int TextFlags() const;
    QString MeasuredText() const;
    void AdjustSize();
    void UpdateShortcut();

    QString m_caption;
    TAlignment m_alignment = TAlignment::taLeftJustify;
    bool m_autoSize = true;
    QPointer<QWidget> m_focusControl;
    TTextLayout m_layout = TTextLayout::tlTop;
    TColor m_shadowColor = clBtnHighlight;
    quint8 m_shadowSize = 1;
    TShadowPosition m_shadowPos = TShadowPosition::spLeftTop;
    bool m_showAccelChar = true;
    bool m_showFocus = false;
    bool m_transparent = true;
    bool m_wordWrap = false;
    TColor m_linkColor = clBlue;
    bool m_urlEnabled = true;
    bool m_urlTypeAdd = true;
    TURLType m_urlType = TURLType::utMailto;
    TColor m_fontColor = clWindowText;
    TColor m_savedFontColor = clWindowText;
    TColor m_color = clBtnFace;
    bool m_pressed = false;
    bool m_hover = false;
    QShortcut* m_shortcut = nullptr;
};
