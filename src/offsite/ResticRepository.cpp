#include "offsite/ResticRepository.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "offsite/OffsiteTexts.h"
#include "offsite/OffsiteTools.h"
#include "offsite/ToolProcess.h"

namespace {
constexpr int CheckParts = 10;
}

ResticRepository::ResticRepository(const BackupTask &task, const QString &program, bool german, QObject *parent)
    : OffsiteDestination(parent), m_task(task), m_target(OffsiteTarget::of(task)), m_german(german),
      m_tool(std::make_unique<ToolProcess>(program, german))
{
    m_tool->setCommonArguments(commonArguments(m_target));
    m_tool->setRemovedVariables(overridingVariables());
    connect(m_tool.get(), &ToolProcess::outputLine, this, [this](const QByteArray &line) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.value(QLatin1String("message_type")).toString() != QLatin1String("summary"))
            return;
        m_snapshot = o.value(QLatin1String("snapshot_id")).toString();
        m_processed = qint64(o.value(QLatin1String("total_bytes_processed")).toDouble());
        m_added = qint64(o.value(QLatin1String("data_added")).toDouble());
        m_seconds = o.value(QLatin1String("total_duration")).toDouble();
    });
    connect(m_tool.get(), &ToolProcess::fed, this, [this](qint64, int permille) {
        emit caption(OffsiteTexts::progress(m_remote.name, permille / 10, m_german));
    });
}

ResticRepository::~ResticRepository()
{
    m_tool->stopNow();
    joinWorker();
}

void ResticRepository::joinWorker()
{
    if (m_worker.joinable())
        m_worker.join();
}

QStringList ResticRepository::commonArguments(const OffsiteTarget &target)
{
    // Values joined to their flags: a value that starts with a dash stays a value.
    QStringList args{QStringLiteral("--repo=") + target.destination};
    if (!target.config.isEmpty())
        args << QStringLiteral("--password-file=") + target.config;
    if (const int limit = OffsiteTools::uploadLimit(); limit > 0)
        args << QStringLiteral("--limit-upload=%1").arg(limit);
    return args;
}

QStringList ResticRepository::overridingVariables()
{
    return {QStringLiteral("RESTIC_PASSWORD"), QStringLiteral("RESTIC_PASSWORD_COMMAND"),
            QStringLiteral("RESTIC_PASSWORD_FILE"), QStringLiteral("RESTIC_REPOSITORY"),
            QStringLiteral("RESTIC_REPOSITORY_FILE")};
}

QString ResticRepository::hostOf(const BackupTask &task)
{
    return task.name;
}

QString ResticRepository::tagOf(const BackupTask &task)
{
    QString tag = task.name;
    tag.replace(QLatin1Char(','), QLatin1Char('_'));
    return tag;
}

QList<OffsiteBackup> ResticRepository::snapshotsIn(const QByteArray &json)
{
    QList<OffsiteBackup> found;
    for (const QJsonValue &v : QJsonDocument::fromJson(json).array()) {
        const QJsonObject o = v.toObject();
        OffsiteBackup b;
        b.key = o.value(QLatin1String("id")).toString();
        b.name = o.value(QLatin1String("paths")).toArray().at(0).toString();
        if (b.name.startsWith(QLatin1Char('/')))
            b.name.remove(0, 1);
        b.time = QDateTime::fromString(o.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
        b.day = b.time.toLocalTime().date();
        if (!b.key.isEmpty())
            found.append(b);
    }
    std::sort(found.begin(), found.end(), [](const OffsiteBackup &a, const OffsiteBackup &b) { return a.time > b.time; });
    return found;
}

void ResticRepository::list(Listed done)
{
    m_tool->run({QStringLiteral("snapshots"), QStringLiteral("--json"), QStringLiteral("--host=") + hostOf(m_task),
                 QStringLiteral("--tag=") + tagOf(m_task)},
                [done](const ToolResult &r) {
                    if (!r.ok()) {
                        done({}, r.lastError);
                        return;
                    }
                    done(snapshotsIn(r.output), {});
                });
}

void ResticRepository::put(const StoredBackup &local, Done done)
{
    m_local = local;
    m_remote = OffsiteNameOf(local, OffsiteTarget::Kind::Restic);
    m_done = std::move(done);
    emit protocolLine(OffsiteTexts::started(QFileInfo(local.path).fileName(), m_target.destination, m_german));
    joinWorker();
    const QString path = local.path;
    m_worker = std::thread([this, path] {
        QString detail;
        const ChecksumState state = VerifyChecksum(path, &detail);
        QMetaObject::invokeMethod(this, [this, state, detail] { checksummed(int(state), detail); },
                                  Qt::QueuedConnection);
    });
}

void ResticRepository::checksummed(int state, const QString &detail)
{
    if (!m_done)
        return;
    const QString file = QFileInfo(m_local.path).fileName();
    switch (ChecksumState(state)) {
    case ChecksumState::Matches:
        emit protocolLine(OffsiteTexts::checksumBeforeCopy(file, m_german));
        break;
    case ChecksumState::Missing:
        // Stored before checksums were kept: the file is all there is.
        break;
    case ChecksumState::Mismatch:
        m_done(OffsiteTexts::mismatch(file, m_german));
        return;
    case ChecksumState::Unreadable:
        m_done(detail);
        return;
    }
    backup();
}

void ResticRepository::backup()
{
    m_snapshot.clear();
    m_clock.start();
    m_tool->runFeeding(
        {QStringLiteral("backup"), QStringLiteral("--stdin"), QStringLiteral("--stdin-filename=") + m_remote.name,
         QStringLiteral("--host=") + hostOf(m_task), QStringLiteral("--tag=") + tagOf(m_task),
         QStringLiteral("--time=") + m_local.modified.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), QStringLiteral("--json")},
        m_local.path, [this](const ToolResult &r) {
            emit caption(QString());
            Done done = std::move(m_done);
            m_done = nullptr;
            if (!r.ok()) {
                done(r.lastError);
                return;
            }
            if (m_snapshot.isEmpty()) {
                done(OffsiteTexts::noSnapshot(m_german));
                return;
            }
            emit protocolLine(OffsiteTexts::resticSent(m_processed, m_added, m_seconds, m_german));
            // Exit status 0 is not enough: the new snapshot has to be there.
            list([this, done](const QList<OffsiteBackup> &snapshots, const QString &error) {
                if (!error.isEmpty()) {
                    done(error);
                    return;
                }
                const bool listed = std::any_of(snapshots.begin(), snapshots.end(),
                                                [this](const OffsiteBackup &s) { return s.key.startsWith(m_snapshot); });
                if (!listed) {
                    done(OffsiteTexts::notListed(m_snapshot, m_german));
                    return;
                }
                emit protocolLine(OffsiteTexts::verified(QStringLiteral("restic snapshot"), m_snapshot, m_german));
                done({});
            });
        });
}

void ResticRepository::keep(const RetentionPolicy &policy, const QDate &, const QList<OffsiteBackup> &listed,
                            Removed done)
{
    if (policy.keepsEverything()) {
        done(0, {});
        return;
    }
    QStringList args{QStringLiteral("forget"), QStringLiteral("--host=") + hostOf(m_task),
                     QStringLiteral("--tag=") + tagOf(m_task), QStringLiteral("--group-by=host,paths")};
    if (policy.daily > 0)
        args << QStringLiteral("--keep-daily") << QString::number(policy.daily);
    if (policy.weekly > 0)
        args << QStringLiteral("--keep-weekly") << QString::number(policy.weekly);
    if (policy.monthly > 0)
        args << QStringLiteral("--keep-monthly") << QString::number(policy.monthly);
    args << QStringLiteral("--prune");
    const int before = int(listed.size());
    // A lock left by a restic that was stopped would refuse the forget; unlock removes only such stale locks.
    m_tool->run({QStringLiteral("unlock")}, [this, args, before, done](const ToolResult &) {
        m_tool->run(args, [this, before, done](const ToolResult &r) {
            if (!r.ok()) {
                done(0, r.lastError);
                return;
            }
            list([before, done](const QList<OffsiteBackup> &after, const QString &error) {
                done(error.isEmpty() ? std::max(0, before - int(after.size())) : 0, error);
            });
        });
    });
}

bool ResticRepository::checkDue(const QString &lastCheckDay, const QDate &today) const
{
    const QDate last = QDate::fromString(lastCheckDay, Qt::ISODate);
    return !last.isValid() || last.addDays(7) <= today || last > today;
}

void ResticRepository::check(const QDate &today, Done done)
{
    // A tenth of the data each week: all of it read in ten weeks.
    const int part = today.weekNumber() % CheckParts + 1;
    m_tool->run({QStringLiteral("check"), QStringLiteral("--read-data-subset"),
                 QStringLiteral("%1/%2").arg(part).arg(CheckParts)},
                [this, part, done](const ToolResult &r) {
                    if (!r.ok()) {
                        done(OffsiteTexts::checkFailed(r.lastError, m_german));
                        return;
                    }
                    emit protocolLine(OffsiteTexts::checkPassed(part, CheckParts, m_german));
                    done({});
                });
}

void ResticRepository::cancel()
{
    m_done = nullptr;
    m_tool->cancel();
}

void ResticRepository::stopNow()
{
    m_done = nullptr;
    m_tool->stopNow();
}
