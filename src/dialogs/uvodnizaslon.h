#pragma once
// TUvodniZaslon: the splash window of the start: the SPLPIC picture
// (KvadoSplash, 320 x 200) in a lowered 3-pixel bevelled frame, borderless,
// always on top, centred on the screen.
//
// Contract: Show() shows and paints it at once (it processes the pending
// paint events, not user input) and starts Timer1; 4000 ms later the timer
// stops and the window hides itself. Nothing waits for it. Close() stops the
// timer and hides it at once; the start-up calls it before it asks anything,
// so the splash never covers a question. Both may be called any number of
// times; the window is destroyed by its creator.
#include <QWidget>

class QTimer;
class TCustomPanel;
class TGIFImage;

class TUvodniZaslon : public QWidget {
    Q_OBJECT

public:
    static constexpr int kShowMs = 4000;

    explicit TUvodniZaslon(QWidget* parent = nullptr);

    void Show();
    void Close();

    QTimer* Timer1() const { return m_timer1; }

private:
    TCustomPanel* m_frame;
    TGIFImage* m_kvadoSplash;
    QTimer* m_timer1;
};
