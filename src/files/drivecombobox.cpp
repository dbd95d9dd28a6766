#include "files/drivecombobox.h"

#include "core/exception.h"

#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

namespace {

// File systems of the kernel and of desktop helpers: nothing a user keeps files on.
bool IsPseudoFileSystem(const QByteArray& type)
{
    static const QSet<QByteArray> pseudo{
        "autofs",     "binfmt_misc", "bpf",      "cgroup",  "cgroup2",         "configfs",   "debugfs",
        "devpts",     "devtmpfs",    "efivarfs", "fusectl", "fuse.gvfsd-fuse", "fuse.lxcfs", "fuse.portal",
        "hugetlbfs",  "mqueue",      "nsfs",     "proc",    "pstore",          "ramfs",      "rpc_pipefs",
        "securityfs", "selinuxfs",   "squashfs", "sysfs",   "tracefs",
    };
    return pseudo.contains(type);
}

// Kernel and run-time folders; removable media mounted under /run/media stay.
bool IsSystemRoot(const QString& root)
{
    if (root.startsWith(QLatin1String("/run/media/")))
        return false;
    for (const char* prefix : {"/proc", "/sys", "/dev", "/run", "/snap"}) {
        const QLatin1String folder(prefix);
        if (root == folder || root.startsWith(folder + QLatin1Char('/')))
            return true;
    }
    return false;
}

QStringList MountedRoots()
{
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        // A bind-mounted file (a container's /etc/hosts) has a root that is no folder.
        if (!volume.isValid() || !volume.isReady() || IsPseudoFileSystem(volume.fileSystemType()) ||
            IsSystemRoot(root) || !QFileInfo(root).isDir())
            continue;
        roots.append(root);
    }
    roots.removeDuplicates();
    roots.sort();
    return roots;
}

QString VolumeDescription(const QString& root)
{
    const QStorageInfo volume(root);
    const QString name = volume.displayName();
    const QString type = QString::fromLocal8Bit(volume.fileSystemType());
    return name == root ? type : name + QStringLiteral(" (") + type + QLatin1Char(')');
}

} // namespace

QString DriveOfPath(const QStringList& roots, const QString& path)
{
    QString best;
    for (const QString& root : roots) {
        if (root.size() <= best.size() || !path.startsWith(root))
            continue;
        const bool wholeName = path.size() == root.size() || root.endsWith(QLatin1Char('/')) ||
                               path.at(root.size()) == QLatin1Char('/');
        if (wholeName)
            best = root;
    }
    return best;
}

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent)
{
    UpdateDrives();
    connect(this, &QComboBox::activated, this, [this] { FireEvent(OnChange, this); });
}

QString TDriveComboBox::Drive() const
{
    return currentData().toString();
}

void TDriveComboBox::SetDrive(const QString& root)
{
    const int index = findData(root);
    if (index >= 0)
        setCurrentIndex(index);
}

void TDriveComboBox::SelectDriveOf(const QString& path)
{
    SetDrive(DriveOfPath(Drives(), path));
}

void TDriveComboBox::UpdateDrives()
{
    const QString shown = Drive();
    const QStringList roots = MountedRoots();
    if (roots == Drives())
        return;
    clear();
    for (const QString& root : roots) {
        addItem(root, root);
        setItemData(count() - 1, VolumeDescription(root), Qt::ToolTipRole);
    }
    SetDrive(shown);
}

QStringList TDriveComboBox::Drives() const
{
    QStringList roots;
    roots.reserve(count());
    for (int i = 0; i < count(); ++i)
        roots.append(itemData(i).toString());
    return roots;
}

void TDriveComboBox::showPopup()
{
    UpdateDrives();
    QComboBox::showPopup();
}
