#pragma once
// TQueuePane: the transfer queue's pane under the two file panes: a table of
// the queue's items (TQueueModel) and a row of buttons for the user's
// commands on the selected rows (stop, retry, remove, move up, move down),
// the same commands in a pop-up menu; Delete in the table removes.
//
// TQueueModel reads the queue in place (row k = the queue's row k); it keeps
// only the number of rows the view has been told about, never a copy of an
// item. The queue reports its changes after they happen: the model then
// announces them to the view in the same call (rows beyond the queue's
// Count() read as empty meanwhile, so nothing is read out of range).
//
// Contract:
// - The model takes over the queue's four events; OnQueueChanged fires after
//   each of them has been passed to the view (the window shows or hides the
//   pane and recomputes its totals there). It may read the queue, not change it.
// - Texts (column captions, directions, states) come from the word table given
//   by SetWords and follow its language: call Retranslate after a switch. The
//   buttons carry object names the word table writes captions into; their
//   accessible names follow the captions.
// - OnStop(rows) asks to stop the running items of those rows (the scheduler
//   does it); retry, remove and the moves act on the queue directly, and
//   OnRetried follows a retry (of failed, skipped or stopped items: the
//   window starts what waits there).
#include "transfer/transferqueue.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <functional>

class QMenu;
class QPushButton;
class QTreeView;
class TMultiLang;

class TQueueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The short columns first, so the state stays in sight; the long paths last.
    enum TColumn { qcName, qcDirection, qcSize, qcDone, qcSpeed, qcState, qcLocal, qcRemote, qcCount };

    explicit TQueueModel(TTransferQueue& queue, QObject* parent = nullptr);
    ~TQueueModel() override; // gives the queue's events back

    void SetWords(TMultiLang* words) { m_words = words; }
    void Retranslate(); // captions and texts anew in the word table's language
    // The text of the state column: "Ni uspelo: <reason>" and the like.
    QString StateText(const TQueueItem& item) const;
    QString Title() const; // "Vrsta prenosov"

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    std::function<void()> OnQueueChanged;

private:
    QString word(const char* key) const;
    void changed();

    TTransferQueue& m_queue;
    TMultiLang* m_words = nullptr;
    int m_rows = 0;
};

class TQueuePane : public QWidget {
    Q_OBJECT
public:
    explicit TQueuePane(TTransferQueue& queue, QWidget* parent = nullptr);

    TQueueModel& Model() { return m_model; }
    QTreeView* View() const { return m_view; }
    void SetWords(TMultiLang* words);
    void Retranslate();
    // The panes' font for the table: the columns widen with it, and the pane's height fits six rows.
    void SetListFont(const QFont& font);
    // The height for a window whose panes have `room` pixels: six rows at most, two fifths of
    // the room, one row at least (0: no limit known).
    void FitHeight(int room);
    std::vector<int> SelectedRows() const; // ascending

    // The commands, on the selected rows (the buttons and the pop-up call them).
    void StopSelected();
    void RetrySelected();
    void RemoveSelected();
    void MoveSelectedUp() { moveSelected(true); }
    void MoveSelectedDown() { moveSelected(false); }

    std::function<void(const std::vector<int>& rows)> OnStop;
    std::function<void()> OnQueueChanged; // after the model's OnQueueChanged (the pane's buttons follow it)
    std::function<void()> OnRetried;      // rows were made waiting again: the queue may start them

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void moveSelected(bool up);
    void selectIds(const std::vector<quint32>& ids);
    void updateButtons();
    QPushButton* button(const char* name, const QString& caption, void (TQueuePane::*command)());

    TTransferQueue& m_queue;
    TQueueModel m_model;
    QTreeView* m_view;
    QMenu* m_menu;
    std::vector<QPushButton*> m_buttons; // stop, retry, remove, up, down
    int m_preferredHeight = 0;
    int m_smallestHeight = 0;
    int m_room = 0;
};
