#pragma once
// TLogView: the session log FTPInfo1, a read-only rich text view of coloured
// lines. It shows what TSessionLog hands it (Append) and keeps the newest line
// at the bottom of the view.
//
// Contract:
// - Append adds one line in the colour of its kind (command, status or normal,
//   from SetColours), its controls and bidirectional overrides escaped as
//   TSessionLog escapes them; lines already shown keep their colour when the
//   colours change. The view scrolls to the end once the event loop runs again, one
//   scroll for a burst of lines.
// - The view holds MaxLines to MaxLines + TrimStep lines: the oldest go first,
//   TrimStep at a time, so a server that never stops talking cannot grow
//   memory without bound and each line costs about the same. Scrolling to the
//   end costs the same whatever the number of lines (no line counting).
// - Copy puts the selected text on the clipboard. No events of its own.
#include "ftp/sessionlog.h"
#include "sites/settings.h"

#include "widgets/srichedit.h"

class TLogView : public TSRichEdit {
    Q_OBJECT
public:
    static constexpr int MaxLines = 12000; // more than the engine shows of one endless reply
    static constexpr int TrimStep = 1000;

    explicit TLogView(QWidget* parent = nullptr);

    void SetColours(const TLogColours& colours) { m_colours = colours; }
    void Append(TLogColour colour, const QString& line);
    void Copy() { copy(); }
    // Lines held now (after the cap).
    int Lines() const;

private:
    TLogColours m_colours;
    bool m_scrollPending = false;
};
