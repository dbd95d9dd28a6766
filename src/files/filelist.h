#pragma once
// TFileList: the list of one or more local directories. It reads them again
// (Reload) whenever Directory, Mask, FileTypes, DisplayDirectory or
// DisplayParentDir is set, and ViewColumns in report view; it never watches
// the disk.
//
// A row's caption is the entry's name; its sub-items are the size text
// ("%10d", empty for a directory) and then one text per shown column from
// fiType on, so that sub-item k is always the text of list column k + 1. Type,
// Modified (short date, two spaces, time without seconds, in the default
// QLocale: the interface's language), Last Access (the same
// form), Attributes (letters D A R S H T) and Path (the directory) are filled;
// Created, Dos Name and Dos Ext have no counterpart here and stay empty. Rows
// are filled for the columns in force when they are read, so set ViewColumns
// before Directory.
//
// Reload clears the rows, reads every directory in Directory order and sorts
// the rows, with redrawing suspended, the view in list style and the wait
// cursor shown; the previous style (or one set meanwhile), redrawing and
// cursor come back at the end, also when a handler throws (the exception then
// leaves Reload). An entry passes when the attribute filter accepts it; files
// must also match Mask; "." is never shown, directories only with
// DisplayDirectory, ".." (a directory whatever the disk says) only with
// DisplayParentDir too and never in "/". Unreadable directories add nothing; an
// entry that cannot be described (it vanished while it is read, or the
// directory is not searchable) is filtered by the hidden bit its name gives and
// keeps a row with name and icon only.
//
// Directory is a list of directories separated by ";", except that a text that
// names an existing directory as a whole (";" is legal in a name) is that one
// directory. SetDirectoryBytes points the list at one directory given in the
// file system's bytes, for a name that is not valid UTF-8 (Directory() then
// reads back its display form). Rows keep their exact name and directory bytes
// (TListItem::PathBytes()); the caption, Path text and OnFileAdd's path are
// display forms, so callers that act on files must use PathBytes().
//
// Events: OnFileAdd(item, path, findData) for every row added, right after its
// texts are filled (path: the entry's directory, ending in "/"; for AddFile of
// "/a/b/" it is "/a/"). Pending user
// interface events are processed about every 10 ms while a directory is read
// and after each directory, so handlers of user actions may run in the middle
// of Reload. A Reload started from such a handler (or from OnFileAdd) takes
// over: the running one stops at once and leaves the rows to the new one.
// Destroying the list from OnFileAdd is safe.
//
// Columns: the captions, widths and alignments of the ten column kinds are one
// table shared by every file list (SetColumnCaption, SetColumnWidth); which
// list column shows which kind, and the sort direction, belong to each list.
// Clicking a column header sets SortColumn to the kind it shows, then raises
// OnColumnClick. Rows sort with ".." first, then directories, then files, in
// both directions; sizes compare as numbers, times as times (newest first
// while ascending), other texts and names in upper case, ties by name and
// then in their previous order.
#include "files/filelistview.h"
#include "files/filetypes.h"
#include "files/patternlist.h"

#include <QHash>

#include <array>
#include <cstdint>

class TFileList : public TFileListView {
    Q_OBJECT
public:
    using TFlInsertEvent = std::function<void(TFileList* sender, TListItem* item, const QString& path,
                                              const TFindData& findData)>;

    explicit TFileList(QWidget* parent = nullptr);

    // Adds a row for the entry at path; fills its texts and raises OnFileAdd when it exists.
    TListItem* AddFile(const QString& path) override;
    // During Reload the new style is kept and shown when the Reload ends; style decisions made
    // meanwhile (SetViewColumns, SetSortColumn) go by it.
    void SetViewStyle(TViewStyle style) override;
    void Reload();
    void BuildColumns();
    void SetColumnCaption(TFileInfo kind, const QString& caption);
    void SetColumnWidth(TFileInfo kind, int width);

    QString Directory() const { return m_directories.Join(u";"); }
    void SetDirectory(const QString& directories);
    void SetDirectoryBytes(const QByteArray& directory);
    TFileTypes FileTypes() const { return m_fileTypes; }
    void SetFileTypes(TFileTypes types);
    bool DisplayDirectory() const { return m_displayDirectory; }
    void SetDisplayDirectory(bool display);
    bool DisplayParentDir() const { return m_displayParentDir; }
    void SetDisplayParentDir(bool display);
    QString Mask() const { return m_patterns.Join(u";"); }
    void SetMask(const QString& mask);
    TFileInfo SortColumn() const { return m_sortColumn; }
    void SetSortColumn(TFileInfo kind);
    bool SortDescending() const { return m_descending; }
    TFileInfos ViewColumns() const { return m_viewColumns; }
    void SetViewColumns(TFileInfos columns);

    // The list column that shows a kind (-1 when not shown), and the kind a list column shows.
    int ColumnOf(TFileInfo kind) const { return m_columnOf.at(kind); }
    TFileInfo KindOfColumn(int column) const;

    TFlInsertEvent OnFileAdd;

protected:
    void ColumnClicked(int column) override;

private:
    // The style in force: during Reload the one that comes back when it ends.
    TViewStyle EffectiveStyle() const { return m_reloadDepth > 0 ? m_styleBeforeReload : ViewStyle(); }
    bool IsShown(TFileInfo kind) const
    {
        return m_viewColumns.Contains(kind) || m_viewColumns.Contains(fiAll);
    }
    void AddDirectory(const QByteArray& directory);
    bool ScanDirectory(const QByteArray& directory, std::uint64_t generation);
    void AddEntry(const QByteArray& directory, const TFindData& data, bool described, bool inRoot);
    void FillDetails(TListItem* item, const QString& directory, const TFindData& data);
    QString TimeText(std::int64_t seconds);
    void SortRows();

    TPatternList m_directories;                  // display forms, each ending in "/"
    QHash<QString, QByteArray> m_directoryBytes; // display form → the directory's bytes
    TPatternList m_patterns;
    TFileTypes m_fileTypes{ftArchive, ftReadonly};
    bool m_displayDirectory = true;
    bool m_displayParentDir = false;
    TFileInfo m_sortColumn = fiName;
    TFileInfos m_viewColumns{fiName, fiSize, fiType, fiModified};
    bool m_descending = false;
    std::array<int, fiAll> m_columnOf{};
    std::vector<TFileInfo> m_kindOfColumn;

    std::uint64_t m_reloadGeneration = 0;
    int m_reloadDepth = 0;
    TViewStyle m_styleBeforeReload = vsIcon;
    QString m_dateFormat;
    QString m_timeFormat;
    QHash<std::int64_t, QString> m_timeTexts; // minute → text, for one Reload
};
