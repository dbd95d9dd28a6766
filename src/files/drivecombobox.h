#pragma once
// TDriveComboBox: the drive selector. Its entries are the mounted volumes of
// real file systems (no kernel or pseudo file systems such as proc, sysfs or
// cgroup), one per root path, sorted by root path; the entry's text is the
// root path and its tool tip the volume's name and file system type.
//
// The drive of a path is the volume with the longest root that prefixes it on
// a whole-name boundary ("/home" is the drive of "/home/ana", not of
// "/homework").
//
// Events (UI thread; the sender is this control):
// - OnChange when the user picks an entry (also the one already shown: the
//   user then asks for that volume's root). Selecting a drive from the
//   program (SetDrive, SelectDriveOf) and re-reading the volumes never raise
//   it. An exception escaping the handler goes to ReportException. The
//   handler may call any method of the control, UpdateDrives included.
//
// The list of volumes is read at construction and again every time the
// drop-down opens, so a volume mounted while the program runs appears; the
// drive shown stays selected while it is still mounted. "/" is always listed,
// so every absolute path has a drive.
#include "widgets/events.h"

#include <QComboBox>
#include <QStringList>

#include <functional>

// The drive (one of roots) of path: the longest root that is path itself or
// prefixes it followed by "/"; empty when none does.
QString DriveOfPath(const QStringList& roots, const QString& path);

class TDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDriveComboBox(QWidget* parent = nullptr);

    // The root path of the selected volume ("" when the list is empty).
    QString Drive() const;
    // Selects the entry of this root; a root that is not listed changes nothing.
    void SetDrive(const QString& root);
    // Selects the drive of path among the listed volumes.
    void SelectDriveOf(const QString& path);
    // Reads the mounted volumes again.
    void UpdateDrives();
    // The listed root paths, in list order.
    QStringList Drives() const;

    void showPopup() override;

    TNotifyEventOf<TDriveComboBox> OnChange;
};
