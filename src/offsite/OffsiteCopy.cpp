#include "offsite/OffsiteCopy.h"

#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QTimer>

#include "offsite/OffsiteTexts.h"
#include "offsite/OffsiteTools.h"
#include "offsite/RcloneDestination.h"
#include "offsite/ResticRepository.h"

OffsiteCopy::OffsiteCopy(const BackupTask &task, bool german, QObject *parent)
    : QObject(parent), m_task(task), m_target(OffsiteTarget::of(task)), m_german(german)
{
}

OffsiteCopy::~OffsiteCopy() = default;

void OffsiteCopy::start(const QString &storedFile, const QDate &today)
{
    m_storedFile = storedFile.isEmpty() ? QString() : QFileInfo(storedFile).absoluteFilePath();
    m_today = today;
    QString program;
    const QString problem = OffsiteTools::problemWith(m_target, m_german, &program);
    if (!problem.isEmpty()) {
        QTimer::singleShot(0, this, [this, problem] { end(problem); });
        return;
    }
    m_destination = MakeOffsiteDestination(m_task, program, m_german);
    connect(m_destination.get(), &OffsiteDestination::protocolLine, this,
            [this](const QString &line) { emit protocolLine(OffsiteTarget::masked(line)); });
    connect(m_destination.get(), &OffsiteDestination::caption, this, &OffsiteCopy::caption);
    m_destination->list([this](const QList<OffsiteBackup> &remote, const QString &error) { listed(remote, error); });
}

QList<StoredBackup> OffsiteCopy::toCopy(const QList<StoredBackup> &local, const QString &justStored,
                                        const QList<OffsiteBackup> &remote, OffsiteTarget::Kind kind,
                                        const RetentionPolicy &policy, const QDate &today)
{
    QList<StoredBackup> wanted;
    QSet<QString> taken;  // name and day: the newest backup of a day stands for it
    QMap<QString, QList<QDate>> days;  // what the destination will hold, by name
    for (const OffsiteBackup &r : remote)
        days[r.name].append(r.day);
    QList<StoredBackup> ordered;
    for (const StoredBackup &b : local) {
        if (b.path == justStored)
            ordered.prepend(b);
        else
            ordered.append(b);
    }
    for (const StoredBackup &b : std::as_const(ordered)) {
        const OffsiteBackup name = OffsiteNameOf(b, kind);
        const QString slot = name.name + QLatin1Char('/') + name.day.toString(Qt::ISODate);
        if (taken.contains(slot))
            continue;
        taken.insert(slot);
        // A day the destination holds already is left as it is, but for this run's own backup.
        if (b.path != justStored && IsOnDestination(b, remote, kind))
            continue;
        wanted.append(b);
        days[name.name].append(name.day);
    }
    if (policy.keepsEverything())
        return wanted;
    QList<StoredBackup> kept;
    for (const StoredBackup &b : std::as_const(wanted)) {
        const OffsiteBackup name = OffsiteNameOf(b, kind);
        if (b.path == justStored || DecideRetention(days.value(name.name), policy, today).keep.contains(name.day))
            kept.append(b);
    }
    return kept;
}

void OffsiteCopy::listed(const QList<OffsiteBackup> &remote, const QString &error)
{
    if (!error.isEmpty()) {
        end(error);
        return;
    }
    m_remote = remote;
    m_queue = toCopy(StoredBackupsOf(m_task), m_storedFile, remote, m_target.kind, OffsitePolicy(m_task), m_today);
    const int behind = int(m_queue.size()) - (!m_queue.isEmpty() && m_queue.first().path == m_storedFile ? 1 : 0);
    if (behind > 0)
        emit protocolLine(OffsiteTexts::catchingUp(behind, m_german));
    else if (m_queue.isEmpty())
        emit protocolLine(OffsiteTexts::upToDate(m_german));
    copyNext();
}

void OffsiteCopy::copyNext()
{
    if (m_queue.isEmpty()) {
        retain();
        return;
    }
    const StoredBackup next = m_queue.takeFirst();
    m_destination->put(next, [this, next](const QString &error) {
        if (!error.isEmpty()) {
            // What is left is tried again at the next run.
            end(error);
            return;
        }
        ++m_result.copied;
        // The copy is there now: rclone's under its name (in place of an older
        // one of that day), restic's as one snapshot more.
        const OffsiteBackup copied = OffsiteNameOf(next, m_target.kind);
        if (!m_target.isRestic())
            m_remote.removeIf([&copied](const OffsiteBackup &r) { return r.key == copied.key; });
        m_remote.append(copied);
        copyNext();
    });
}

void OffsiteCopy::retain()
{
    m_destination->keep(OffsitePolicy(m_task), m_today, m_remote, [this](int removed, const QString &error) {
        m_result.removed = removed;
        if (removed > 0)
            emit protocolLine(OffsiteTexts::removed(removed, m_german));
        if (!error.isEmpty()) {
            end(error);
            return;
        }
        if (!m_destination->checkDue(m_task.lastoffsitecheck, m_today)) {
            end({});
            return;
        }
        m_destination->check(m_today, [this](const QString &error) {
            m_result.checked = error.isEmpty();
            end(error);
        });
    });
}

void OffsiteCopy::end(const QString &error)
{
    if (m_done)
        return;
    m_done = true;
    m_result.ok = error.isEmpty();
    // The tool's words may hold the repository's address, password and all.
    m_result.reason = OffsiteTarget::masked(error);
    if (!error.isEmpty())
        emit protocolLine(OffsiteTexts::failed(m_result.reason, m_german));
    emit caption(QString());
    emit finished(m_result);
}

void OffsiteCopy::cancel()
{
    if (m_destination)
        m_destination->cancel();
    QTimer::singleShot(0, this, [this] { end(OffsiteTexts::cancelled(m_german)); });
}

void OffsiteCopy::stopNow()
{
    m_done = true;
    if (m_destination)
        m_destination->stopNow();
}
