#include "shell/OffsiteBackupsView.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "offsite/OffsiteInventory.h"
#include "storage/StoredBackups.h"
#include "tasks/DatabaseList.h"

namespace {
enum Column { Time, Name, Id };
constexpr int kShortId = 8;
}

OffsiteBackupsView::OffsiteBackupsView(const BackupTask &task, bool german, QWidget *parent)
    : QWidget(parent), m_task(task), m_target(OffsiteTarget::of(task)), m_german(german)
{
    setObjectName(QStringLiteral("offsiteView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_heading = new QLabel(this);
    m_heading->setObjectName(QStringLiteral("snapshotsHeading"));
    m_heading->setText(pick("Snapshots in the restic repository %1", "Snapshots im restic-Repository %1")
                           .arg(m_target.shown()));
    layout->addWidget(m_heading);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("snapshots"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({pick("Date and time", "Datum und Zeit"), pick("File", "Datei"), pick("Snapshot", "Snapshot")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list, 1);
    auto *buttons = new QHBoxLayout;
    m_restore = new QPushButton(pick("Restore snapshot into database...", "Snapshot in Datenbank wiederherstellen..."), this);
    m_restore->setObjectName(QStringLiteral("restoreSnapshot"));
    m_restore->setToolTip(pick("Fetches the dump from the repository, then restores it as a stored backup",
                               "Holt den Dump aus dem Repository und stellt ihn dann wie eine gespeicherte Sicherung wieder her"));
    buttons->addWidget(m_restore);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &OffsiteBackupsView::updateButton);
    connect(m_restore, &QPushButton::clicked, this, [this] {
        OffsiteBackup snapshot;
        if (selectedSnapshot(snapshot))
            emit restoreRequested(snapshot);
    });
    // Only a restic repository has snapshots to list; rclone's files show as the column.
    setVisible(m_target.isRestic());
    updateButton();
}

OffsiteBackupsView::~OffsiteBackupsView()
{
    if (m_inventory)
        m_inventory->cancel();
    if (m_retrieve)
        m_retrieve->cancel();
}

QString OffsiteBackupsView::pick(const char *english, const char *german) const
{
    return QString::fromUtf8(m_german ? german : english);
}

void OffsiteBackupsView::start()
{
    if (m_target.isNone() || m_inventory)
        return;
    m_state = State::Checking;
    m_inventory = std::make_unique<OffsiteInventory>(m_task, m_german);
    connect(m_inventory.get(), &OffsiteInventory::listed, this, &OffsiteBackupsView::take);
    m_inventory->start();
}

void OffsiteBackupsView::take(const QList<OffsiteBackup> &backups, const QString &error)
{
    // Still on the stack of its signal.
    m_inventory.release()->deleteLater();
    m_remote = backups;
    m_error = error;
    m_state = error.isEmpty() ? State::Listed : State::Failed;
    m_list->clear();
    if (m_target.isRestic()) {
        const QString timeFormat = m_german ? QStringLiteral("dd.MM.yyyy HH:mm") : QStringLiteral("MM/dd/yyyy HH:mm");
        for (const OffsiteBackup &b : m_remote) {
            auto *item = new QTreeWidgetItem(m_list);
            item->setText(Time, b.time.toLocalTime().toString(timeFormat));
            item->setText(Name, b.name);
            item->setText(Id, b.key.left(kShortId));
            item->setToolTip(Id, b.key);
        }
        if (!m_remote.isEmpty())
            m_list->setCurrentItem(m_list->topLevelItem(0));
    }
    updateButton();
    emit listed();
}

QString OffsiteBackupsView::cellFor(const StoredBackup &local) const
{
    switch (m_state) {
    case State::Checking:
        return pick("checking the destination...", "prüfe das Ziel...");
    case State::Failed:
        return m_error.section(QLatin1Char('\n'), 0, 0).trimmed();
    case State::Listed:
        break;
    }
    return IsOnDestination(local, m_remote, m_target.kind) ? pick("yes", "ja") : pick("no", "nein");
}

QList<OffsiteBackup> OffsiteBackupsView::snapshots() const
{
    return m_target.isRestic() ? m_remote : QList<OffsiteBackup>{};
}

bool OffsiteBackupsView::selectedSnapshot(OffsiteBackup &snapshot) const
{
    const int row = m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
    if (!m_target.isRestic() || row < 0 || row >= m_remote.size())
        return false;
    snapshot = m_remote[row];
    return true;
}

BackupTask OffsiteBackupsView::taskOf(const OffsiteBackup &snapshot) const
{
    if (!DatabaseList::isSeveral(m_task.database))
        return m_task;
    // The dump's name in the snapshot is the stored file's, without packing.
    const auto [before, after] = DatabaseList::fileNameParts(m_task.backupfile);
    const QString name = snapshot.name;
    if (name.size() > before.size() + after.size() && name.startsWith(before) && name.endsWith(after))
        return DatabaseList::taskFor(m_task, name.mid(before.size(), name.size() - before.size() - after.size()));
    return m_task;
}

bool OffsiteBackupsView::retrieve(const OffsiteBackup &snapshot)
{
    if (m_retrieve)
        return false;
    // Private to this window: the dump holds the database's data.
    if (!m_temporary)
        m_temporary = std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("vaultwick-restore-XXXXXX")));
    if (!m_temporary->isValid())
        return false;
    QFile::setPermissions(m_temporary->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // One at a time, removed once restored: the dump's own name cannot clash.
    const QString name = QFileInfo(snapshot.name).fileName();
    const QString file = QDir(m_temporary->path()).filePath(name.isEmpty() ? QStringLiteral("dump.sql") : name);
    m_retrieve = new OffsiteRetrieve(m_task, m_german, this);
    connect(m_retrieve, &OffsiteRetrieve::progress, this, &OffsiteBackupsView::retrieveProgress);
    connect(m_retrieve, &OffsiteRetrieve::finished, this, [this, file](bool ok, const QString &reason) {
        m_retrieve->deleteLater();
        m_retrieve = nullptr;
        if (!ok)
            discard(file);
        updateButton();
        emit retrieved(ok, file, reason);
    });
    m_retrieve->start(snapshot, file);
    updateButton();
    return true;
}

void OffsiteBackupsView::discard(const QString &file)
{
    if (!file.isEmpty() && m_temporary && file.startsWith(m_temporary->path() + QLatin1Char('/')))
        QFile::remove(file);
}

void OffsiteBackupsView::setBusy(bool busy)
{
    m_busy = busy;
    updateButton();
}

void OffsiteBackupsView::updateButton()
{
    OffsiteBackup chosen;
    m_restore->setEnabled(!m_busy && !m_retrieve && selectedSnapshot(chosen));
}
