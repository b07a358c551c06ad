#include "shell/StoredBackupsWindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <memory>
#include <optional>

#include "restore/BackupCheck.h"
#include "offsite/OffsiteTarget.h"
#include "restore/HostRestore.h"
#include "retrieval/ByteCount.h"
#include "shell/OffsiteBackupsView.h"
#include "shell/RestoreTargetDialog.h"
#include "storage/DumpExport.h"

namespace {
enum Column { When, File, Size, Checksum, TestRestoreColumn, OffsiteColumn };
}

StoredBackupsWindow::StoredBackupsWindow(const BackupTask &task, RestoreOptions restore, bool german, QWidget *parent,
                                         SshClientSettings ssh, QString lockDirectory)
    : QDialog(parent), m_task(task), m_restore(std::move(restore)), m_german(german), m_ssh(std::move(ssh)),
      m_lockDirectory(std::move(lockDirectory))
{
    setObjectName(QStringLiteral("StoredBackupsWindow"));
    setWindowTitle(pick("Stored backups of %1", "Gespeicherte Backups von %1").arg(task.name));
    auto *layout = new QVBoxLayout(this);
    m_heading = new QLabel(this);
    m_heading->setObjectName(QStringLiteral("heading"));
    m_heading->setText(pick("In %1", "In %1").arg(task.localdir));
    layout->addWidget(m_heading);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("backups"));
    m_list->setRootIsDecorated(false);
    QStringList columns{pick("Date and time", "Datum und Zeit"), pick("File", "Datei"), pick("Size", "Größe"),
                        pick("Checksum", "Prüfsumme"), pick("Test restore", "Testwiederherstellung")};
    if (!OffsiteTarget::of(task).isNone())
        columns << pick("Off-site", "Extern");
    m_list->setHeaderLabels(columns);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list, 1);
    if (!OffsiteTarget::of(task).isNone()) {
        m_offsite = new OffsiteBackupsView(task, german, this);
        layout->addWidget(m_offsite, 1);
        connect(m_offsite, &OffsiteBackupsView::listed, this, &StoredBackupsWindow::showOffsite);
        connect(m_offsite, &OffsiteBackupsView::restoreRequested, this, &StoredBackupsWindow::askAndRestoreSnapshot);
        connect(m_offsite, &OffsiteBackupsView::retrieveProgress, this, [this](qint64 bytes) {
            m_progress->setFormat(pick("%1 fetched", "%1 geholt").arg(FormatByteCount(bytes)));
            m_progress->setTextVisible(true);
        });
    }

    auto *buttons = new QHBoxLayout;
    m_check = new QPushButton(pick("Check", "Prüfen"), this);
    m_check->setObjectName(QStringLiteral("check"));
    m_check->setToolTip(pick("Checksum and a test restore into a throwaway local server",
                             "Prüfsumme und eine Testwiederherstellung in einen lokalen Wegwerf-Server"));
    m_save = new QPushButton(pick("Save as SQL...", "Als SQL speichern..."), this);
    m_save->setObjectName(QStringLiteral("saveAsSql"));
    m_folder = new QPushButton(pick("Open folder", "Ordner öffnen"), this);
    m_folder->setObjectName(QStringLiteral("openFolder"));
    m_restoreButton = new QPushButton(pick("Restore into database...", "In Datenbank wiederherstellen..."), this);
    m_restoreButton->setObjectName(QStringLiteral("restore"));
    m_restoreButton->setToolTip(pick("Into the task's own database (SSH tasks) or a server you name",
                                     "In die Datenbank der Aufgabe (SSH-Aufgaben) oder einen Server, den Sie nennen"));
    auto *close = new QPushButton(pick("Close", "Schließen"), this);
    close->setObjectName(QStringLiteral("close"));
    for (QPushButton *b : {m_check, m_save, m_restoreButton, m_folder})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    layout->addWidget(m_progress);
    m_lines = new QPlainTextEdit(this);
    m_lines->setObjectName(QStringLiteral("lines"));
    m_lines->setReadOnly(true);
    m_lines->setMaximumBlockCount(500);
    m_lines->setFixedHeight(fontMetrics().lineSpacing() * 6);
    layout->addWidget(m_lines);

    connect(m_check, &QPushButton::clicked, this, &StoredBackupsWindow::checkSelected);
    connect(m_save, &QPushButton::clicked, this, &StoredBackupsWindow::askAndSave);
    connect(m_folder, &QPushButton::clicked, this, &StoredBackupsWindow::openFolder);
    connect(m_restoreButton, &QPushButton::clicked, this, &StoredBackupsWindow::askAndRestore);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            [this] { setBusy(bool(m_running) || bool(m_restoring) || m_export.joinable()
                             || (m_offsite && m_offsite->isRetrieving())); });
    resize(760, m_offsite && m_offsite->isVisibleTo(this) ? 600 : 420);
    reload();
    if (m_offsite) {
        say(pick("Checking the destination %1 ...", "Prüfe das Ziel %1 ...").arg(OffsiteTarget::masked(task.offsite)));
        m_offsite->start();
    }
}

StoredBackupsWindow::~StoredBackupsWindow()
{
    // A check ends with its server; an export is short and writes atomically.
    m_running.reset();
    m_restoring.reset();
    if (m_export.joinable())
        m_export.join();
}

QString StoredBackupsWindow::pick(const char *english, const char *german) const
{
    return QString::fromUtf8(m_german ? german : english);
}

void StoredBackupsWindow::reload()
{
    m_backups = StoredBackupsOf(m_task);
    m_list->clear();
    // As the task list's Message writes times, with the whole year.
    const QString timeFormat = m_german ? QStringLiteral("dd.MM.yyyy HH:mm") : QStringLiteral("MM/dd/yyyy HH:mm");
    for (qsizetype i = 0; i < m_backups.size(); ++i) {
        const StoredBackup &b = m_backups[i];
        auto *item = new QTreeWidgetItem(m_list);
        item->setText(When, b.modified.toString(timeFormat));
        item->setText(File, QDir(m_task.localdir).relativeFilePath(b.path));
        item->setToolTip(File, b.path);
        item->setText(Size, FormatByteCount(b.size));
        item->setTextAlignment(Size, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(Checksum, QFileInfo::exists(b.path + QStringLiteral(".sha256")) ? pick("not checked", "nicht geprüft")
                                                                                     : pick("none", "keine"));
        // The run record speaks of the newest: the last run stored it.
        if (i == 0 && !m_task.lastrestoretest.isEmpty())
            item->setText(TestRestoreColumn, m_task.lastrestoretest.startsWith(QLatin1String("passed"))
                                           ? pick("passed", "bestanden")
                                           : pick("failed", "gescheitert"));
        if (m_offsite)
            item->setText(OffsiteColumn, m_offsite->cellFor(b));
    }
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    else
        say(pick("No stored backup of this task was found.", "Keine gespeicherte Sicherung dieser Aufgabe gefunden."));
    setBusy(false);
}

QString StoredBackupsWindow::selectedFile() const
{
    const int row = m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
    return row >= 0 && row < m_backups.size() ? m_backups[row].path : QString();
}

void StoredBackupsWindow::showOffsite()
{
    for (qsizetype i = 0; i < m_backups.size() && i < m_list->topLevelItemCount(); ++i) {
        m_list->topLevelItem(int(i))->setText(OffsiteColumn, m_offsite->cellFor(m_backups[i]));
        m_list->topLevelItem(int(i))->setToolTip(OffsiteColumn, m_offsite->error());
    }
    if (!m_offsite->error().isEmpty())
        say(pick("The destination could not be listed: %1", "Das Ziel konnte nicht gelistet werden: %1")
                .arg(m_offsite->error()));
    else if (OffsiteTarget::of(m_task).isRestic())
        say(pick("%1 snapshots of this task in the repository.", "%1 Snapshots dieser Aufgabe im Repository.")
                .arg(m_offsite->snapshots().size()));
    else
        say(pick("The destination was listed.", "Das Ziel wurde gelistet."));
}

void StoredBackupsWindow::setBusy(bool busy)
{
    if (m_offsite)
        m_offsite->setBusy(busy);
    const bool chosen = !selectedFile().isEmpty();
    m_check->setEnabled(!busy && chosen);
    m_save->setEnabled(!busy && chosen);
    m_folder->setEnabled(chosen);
    m_restoreButton->setEnabled(!busy && chosen);
    if (!busy) {
        m_progress->setRange(0, 1000);
        m_progress->setTextVisible(false);
    }
}

void StoredBackupsWindow::say(const QString &line)
{
    m_lines->appendPlainText(line);
}

void StoredBackupsWindow::checkSelected()
{
    const QString file = selectedFile();
    if (file.isEmpty() || m_running)
        return;
    QTreeWidgetItem *item = m_list->currentItem();
    m_running = std::make_unique<BackupCheck>(m_restore, m_german);
    connect(m_running.get(), &BackupCheck::protocolLine, this, &StoredBackupsWindow::say);
    connect(m_running.get(), &BackupCheck::finished, this, [this, item](bool passed) {
        const ChecksumState sum = m_running->checksum();
        if (m_list->indexOfTopLevelItem(item) >= 0) {
            item->setText(Checksum, sum == ChecksumState::Matches    ? pick("matches", "stimmt")
                                    : sum == ChecksumState::Mismatch ? pick("MISMATCH", "stimmt NICHT")
                                    : sum == ChecksumState::Missing  ? pick("none", "keine")
                                                                     : pick("unreadable", "nicht lesbar"));
            const TestRestoreResult &r = m_running->restore();
            if (r.passed())
                item->setText(TestRestoreColumn, pick("passed", "bestanden"));
            else if (r.status == TestRestoreResult::Status::Failed)
                item->setText(TestRestoreColumn, pick("failed", "gescheitert"));
        }
        // Still on the stack of its signal.
        m_running.release()->deleteLater();
        setBusy(false);
        emit checkFinished(passed);
    });
    // Busy while the server starts; then how far the load is.
    connect(m_running.get(), &BackupCheck::progress, this, [this](int permille) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(qBound(0, permille, 1000));
    });
    setBusy(true);
    m_progress->setRange(0, 0);
    m_running->start(file);
}

void StoredBackupsWindow::askAndSave()
{
    const QString file = selectedFile();
    if (file.isEmpty())
        return;
    QString suggested = QFileInfo(file).fileName();
    for (const QString &suffix : {QStringLiteral(".gz"), QStringLiteral(".zst")})
        suggested.replace(suffix, QString());
    // Window-modal, without a loop of its own: runs go on while it is open.
    auto *files = new QFileDialog(this, pick("Save as SQL", "Als SQL speichern"), QDir::home().filePath(suggested),
                                  pick("SQL files (*.sql);;All files (*)", "SQL-Dateien (*.sql);;Alle Dateien (*)"));
    files->setAttribute(Qt::WA_DeleteOnClose);
    files->setAcceptMode(QFileDialog::AcceptSave);
    connect(files, &QFileDialog::fileSelected, this, &StoredBackupsWindow::saveSelectedAs);
    files->open();
}

void StoredBackupsWindow::saveSelectedAs(const QString &target)
{
    const QString file = selectedFile();
    if (file.isEmpty() || m_export.joinable())
        return;
    setBusy(true);
    m_progress->setRange(0, 0);
    QPointer<StoredBackupsWindow> self(this);
    m_export = std::thread([self, file, target] {
        QString error;
        const bool saved = ExportDump(file, target, &error);
        QMetaObject::invokeMethod(
            self.data(), [self, target, saved, error] {
                if (!self)
                    return;
                self->m_export.join();
                self->say(saved ? self->pick("Saved as %1", "Gespeichert als %1").arg(target)
                                : self->pick("Not saved as %1: %2", "Nicht gespeichert als %1: %2").arg(target, error));
                self->setBusy(false);
                emit self->saveFinished(saved);
            },
            Qt::QueuedConnection);
    });
}

QString StoredBackupsWindow::restoreQuestion() const
{
    const BackupTask task = StoredBackupTask(m_task, selectedFile());
    return RestoreTargetDialog::question(HostRestore::target(task, m_german), QFileInfo(selectedFile()).fileName(),
                                         task.database, m_german);
}

void StoredBackupsWindow::askAndRestore()
{
    if (selectedFile().isEmpty())
        return;
    // A task with several databases restores each file into its own.
    auto *dialog = new RestoreTargetDialog(StoredBackupTask(m_task, selectedFile()), QFileInfo(selectedFile()).fileName(),
                                           m_german, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (dialog->intoHost())
            restoreSelected(dialog->typedName());
        else
            restoreSelectedInto(dialog->server(), dialog->typedName());
    });
    dialog->open();
}

bool StoredBackupsWindow::restoreSelected(const QString &typedName)
{
    const BackupTask task = StoredBackupTask(m_task, selectedFile());
    if (!mayRestore(task.database, typedName, selectedFile()))
        return false;
    auto *host = new HostRestore(m_ssh, m_german, m_lockDirectory);
    watchRestore(host);
    host->start(task, selectedFile());
    return true;
}

bool StoredBackupsWindow::restoreSelectedInto(const ServerTarget &server, const QString &typedName)
{
    if (!mayRestore(server.database, typedName, selectedFile()))
        return false;
    auto *named = new ServerRestore(m_restore, m_german);
    watchRestore(named);
    named->start(server, selectedFile());
    return true;
}

bool StoredBackupsWindow::mayRestore(const QString &database, const QString &typedName, const QString &file)
{
    if (typedName != database || database.isEmpty()) {
        say(pick("Not restored: the name typed is not the database's.", "Nicht wiederhergestellt: der eingegebene Name ist nicht der der Datenbank."));
        return false;
    }
    return !file.isEmpty() && !m_restoring && !m_running && !(m_offsite && m_offsite->isRetrieving());
}

void StoredBackupsWindow::askAndRestoreSnapshot(const OffsiteBackup &snapshot)
{
    auto *dialog = new RestoreTargetDialog(m_offsite->taskOf(snapshot), snapshot.name, m_german, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog, snapshot] {
        const ServerTarget server = dialog->server();
        restoreSnapshot(snapshot, dialog->intoHost() ? nullptr : &server, dialog->typedName());
    });
    dialog->open();
}

bool StoredBackupsWindow::restoreSnapshotInto(const OffsiteBackup &snapshot, const ServerTarget &server,
                                              const QString &typedName)
{
    return restoreSnapshot(snapshot, &server, typedName);
}

bool StoredBackupsWindow::restoreSnapshot(const OffsiteBackup &snapshot, const ServerTarget *server,
                                          const QString &typedName)
{
    if (!m_offsite)
        return false;
    const BackupTask task = m_offsite->taskOf(snapshot);
    if (!mayRestore(server ? server->database : task.database, typedName, snapshot.key))
        return false;
    const std::optional<ServerTarget> into = server ? std::optional<ServerTarget>(*server) : std::nullopt;
    // The restore starts once the dump is here; the file goes when it is done.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(m_offsite, &OffsiteBackupsView::retrieved, this,
                          [this, connection, task, into](bool ok, const QString &file, const QString &reason) {
        disconnect(*connection);
        if (!ok) {
            say(pick("Not restored: the snapshot could not be fetched: %1",
                     "Nicht wiederhergestellt: der Snapshot konnte nicht geholt werden: %1").arg(reason));
            setBusy(false);
            emit restoreFinished(false);
            return;
        }
        RestoreJob *job = into ? static_cast<RestoreJob *>(new ServerRestore(m_restore, m_german))
                               : static_cast<RestoreJob *>(new HostRestore(m_ssh, m_german, m_lockDirectory));
        connect(job, &RestoreJob::finished, m_offsite, [view = m_offsite, file] { view->discard(file); });
        watchRestore(job);
        if (into)
            static_cast<ServerRestore *>(job)->start(*into, file);
        else
            static_cast<HostRestore *>(job)->start(task, file);
    });
    if (!m_offsite->retrieve(snapshot)) {
        disconnect(*connection);
        say(pick("Not restored: no private temporary folder could be made.",
                 "Nicht wiederhergestellt: es ließ sich kein privater temporärer Ordner anlegen."));
        return false;
    }
    say(pick("Fetching snapshot %1 (%2) from the repository ...", "Hole Snapshot %1 (%2) aus dem Repository ...")
            .arg(snapshot.key.left(8), snapshot.name));
    setBusy(true);
    m_progress->setRange(0, 0);
    return true;
}

void StoredBackupsWindow::watchRestore(RestoreJob *job)
{
    m_restoring.reset(job);
    connect(m_restoring.get(), &RestoreJob::protocolLine, this, &StoredBackupsWindow::say);
    connect(m_restoring.get(), &RestoreJob::progress, this, [this](qint64 sent, int permille) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(qBound(0, permille, 1000));
        m_progress->setFormat(pick("%1 sent (%p%)", "%1 gesendet (%p %)").arg(FormatByteCount(sent)));
        m_progress->setTextVisible(true);
    });
    connect(m_restoring.get(), &RestoreJob::finished, this, [this](bool restored) {
        // Still on the stack of its signal.
        m_restoring.release()->deleteLater();
        setBusy(false);
        emit restoreFinished(restored);
    });
    setBusy(true);
    m_progress->setRange(0, 0);
}

void StoredBackupsWindow::openFolder()
{
    const QString file = selectedFile();
    if (!file.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}
