#pragma once
// TLocalPane: the local pane of the main window (the container ScrollBox1): a
// bar Wallpaper1 (21 pixels, or the selector's height when the style needs
// more) holding the drive selector Medij1 (150 wide) and beside it the path
// field LokalnaPot (the folder shown; Enter goes to a typed path with the
// checks of "Skoči v", Escape puts the shown path back) and, under it, the
// local file list LokalneDat1 filling the rest. The pane has no minimum size, so a
// splitter may narrow it to one pixel. The list shows folders and every file
// whatever its name (also names without a dot), in details view at start.
//
// The list always shows the process's current directory, absolute and ending
// in "/": every operation that changes directory (entering a folder, going
// up, a typed path, a drive's root, the start) makes the change and then points the
// list at whatever the current directory then is, also when the change
// failed. When the current directory has been removed from under the program,
// the nearest existing folder above it becomes current (else the home folder).
// Operations act on the rows' exact bytes (TListItem::PathBytes), never on
// captions.
//
// Questions and failures go through TPrompts (modal: events keep arriving
// while one is open, so an operation reads the rows it acts on before it
// asks). Texts: "I/O error <n>: <reason>" for failed file operations, the
// system's own messages otherwise.
//
// Keys in the list handled here: Backspace (GoUp), Enter (Odpri), Shift+Del
// (DeleteForGood). F2 and Ctrl+A are left to the window's actions: the list's
// own caption editing by F2 and its own select-all are switched off. A slow
// second click on a selected row, or StartRename(), edits a caption in place;
// the accepted name renames the entry (refused: "", ".", "..", a name with
// "/", NUL or control characters, an existing name); afterwards the list is
// read again and the row selected, and a refusal or failure is reported.
//
// The name and kind columns widen to the rows of each folder read (up to half
// the pane) unless the user has sized them by hand.
//
// The list follows the disk by itself (TFolderWatch): entries added, removed
// or renamed outside Kvado show after a short wait, the selection and the
// focused row kept by name; never while a caption is being edited (then
// after it), and at most one reading at a time.
//
// Deleting runs on a worker thread (TLocalPaneDelete); when it ends, the
// failures are reported and the list is read again. Destroying the pane
// stops a running delete after its current entry.
//
// Events (UI thread):
// - OnSelectionCountChanged(sender, count) once the events of a click or a
//   selection change have been handled (coalesced; not raised when the count
//   stayed the same).
// - OpenUrl(url): hands a file or folder to the desktop's opener; true when it
//   was taken (default QDesktopServices::openUrl).
#include "files/filetypes.h"
#include "ftp/sejaview.h"

#include <QHash>
#include <QSet>
#include <QWidget>

#include <functional>

class QUrl;
class QLineEdit;
class TDriveComboBox;
class TFileList;
class TFolderWatch;
class TListItem;
class TPrompts;
class TWallpaper;

class TLocalPane : public QWidget {
    Q_OBJECT
public:
    using TSelectionCountEvent = std::function<void(TLocalPane* sender, int count)>;

    explicit TLocalPane(TPrompts& prompts, QWidget* parent = nullptr);
    ~TLocalPane() override;

    TFileList* List() const { return m_list; }
    TDriveComboBox* Drive() const { return m_drive; }
    TWallpaper* Bar() const { return m_bar; }
    QLineEdit* PathField() const { return m_path; }
    TFolderWatch* Watch() const { return m_watch; }

    // Makes lokMapa current (the home folder when it cannot be) and shows it.
    void Start(const QString& lokMapa);

    // View styles as the setting TPogledaLok numbers them: 1 large icons, 2 small icons, 3 list,
    // 4 details; any other value gives details. SetView returns the value to record.
    void ApplyViewStyle(int tPogledaLok) { SetView(tPogledaLok); }
    int SetView(int style);
    int ViewStyle() const { return m_viewStyle; } // kept here: the list shows "list" while it reads

    // Column captions for language 0 (Slovenian) or 1 (English) and the size column 85 wide;
    // the columns are rebuilt for any language.
    void SetLanguage(int language);
    // Widens the report columns to their captions, the rows shown and the widest size, attribute and
    // date texts (a 10-digit size never reads "99999…"); the window calls it after a language or font
    // change, and at a first start once the rows are read.
    void FitColumns();
    // The width the list needs to show every report column, its frame and vertical scroll bar.
    int ColumnsWidth() const;

    // Commands.
    void Odpri();            // enter the selected folder, or open the selected file
    void Razii1Click();      // hand the selected entry to the opener, without any message
    void Pla2IzbrisiClick(); // to the Trash, after a question
    void DeleteForGood();    // for good, after its own question
    void Pla2OsveziLokClick() { Refresh(); }
    void Pla2UsiMapoClick();
    void Pla2SkociClick();
    void Pla2IzberiVseClick();
    void Medij1Change();
    void GoUp();
    void StartRename();

    int SelectedCount() const;
    bool HasSelection() const { return SelectedCount() > 0; }

    // For the session engine.
    QString Directory() const; // absolute, ending in "/"
    QByteArray DirectoryBytes() const { return m_directory; }
    bool HasFocusedEntry() const;
    std::vector<TLokalniVnos> SelectedEntries() const; // in list order
    void Deselect(const QString& caption);
    void Refresh(); // reads the current directory again

    // For the transfer queue: paths as the engine writes names (FromUtf8Kept of the rows' exact bytes).
    QStringList SelectedPaths() const; // absolute, in list order
    bool SelectionHasFolder() const;
    // The absolute path of the folder at a row of the list; "" for a file's row or no row.
    QString FolderOfRow(int row) const;

    // Deletes started and not yet reported.
    int PendingDeletes() const { return m_runningDeletes; }

    TSelectionCountEvent OnSelectionCountChanged;
    std::function<bool(const QUrl& url)> OpenUrl;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConnectList();
    void ShowCurrentDirectory();
    void ChangeTo(const QByteArray& path);
    void Delete(bool toTrash);
    void Renamed(TListItem* item, QString& text);
    void SelectRow(const QByteArray& name);
    bool IsDirectoryRow(const TListItem* item) const;
    void NoteSelectionChange();
    void GoToTypedPath();
    void WidenToRows();
    void FollowDisk();

    TPrompts& m_prompts;
    TWallpaper* m_bar;
    TDriveComboBox* m_drive;
    TFileList* m_list;
    QLineEdit* m_path;
    TFolderWatch* m_watch;
    QSet<TFileInfo> m_userSized; // columns sized by hand: never widened to the rows
    QByteArray m_directory;      // what the list shows: the current directory
    int m_viewStyle = 4;
    int m_runningDeletes = 0;
    bool m_countPending = false;
    int m_lastCount = -1;
    // Caption → row, for Deselect; valid while the rows have not been cleared since it was built.
    QHash<QString, TListItem*> m_rowsByCaption;
    quint64 m_rowsByCaptionClears = ~quint64(0);
};
