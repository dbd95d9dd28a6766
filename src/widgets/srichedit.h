#pragma once
// TSRichEdit: a rich-text edit with scroll events and line operations. Lines
// are the laid-out (visual) lines of the document.
//
// Contract: OnVScroll / OnHScroll fire after the control has handled a
// vertical or horizontal scroll-bar action of the user (arrows, page, drag,
// wheel), queued so the new position is in place; ScrollToLine and other
// programmatic scrolling raise none.
#include "widgets/events.h"

#include <QTextEdit>

class TSRichEdit : public QTextEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)

public:
    explicit TSRichEdit(QWidget* parent = nullptr);

    QString Text() const { return toPlainText(); }
    void SetText(const QString& text) { setPlainText(text); }

    int LineCount() const;
    // The line that holds the caret (the start of the selection).
    int CaretLine() const;
    // Whole lines of the current font that fit the view; -1 while not visible.
    int VisibleLineCount() const;
    // Scrolls so that line n (held within 0 .. LineCount - 1) is the first visible one.
    void ScrollToLine(int n);
    // The line at the top of the view.
    int FirstVisibleLine() const;

    TNotifyEvent OnVScroll;
    TNotifyEvent OnHScroll;

private:
    int LineOfPosition(int position) const;
};
