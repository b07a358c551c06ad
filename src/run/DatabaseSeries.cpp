#include "run/DatabaseSeries.h"

#include <QTimer>

#include "engine/Clock.h"
#include "offsite/OffsiteTexts.h"
#include "engine/ProtocolLog.h"
#include "engine/RunEvents.h"
#include "restore/RestoreTexts.h"
#include "run/BackupRun.h"
#include "run/HostValueCheck.h"
#include "run/RunMessage.h"
#include "secrets/SecretTexts.h"
#include "secrets/TaskSecrets.h"
#include "shell/LanguageTexts.h"
#include "tasks/DatabaseList.h"
#include "tasks/TargetPath.h"

DatabaseSeries::DatabaseSeries(const BackupTask &task, TransportFactory transports, Retriever &retriever,
                               ProtocolLog &log, const LanguageTexts &texts, RunEvents &events, QObject *parent)
    : TaskRun(parent), m_task(task), m_transports(std::move(transports)), m_retriever(retriever), m_log(log),
      m_texts(texts), m_events(events)
{
}

DatabaseSeries::~DatabaseSeries()
{
    delete m_current;
}

void DatabaseSeries::start()
{
    m_started = m_log.clock().now();
    const bool german = m_texts.german();
    // Refused before anything reaches the host, as a single database's run does.
    QString refused = BackupFileNameProblem(m_task.backupfile, german);
    if (refused.isEmpty())
        refused = LocalDirectoryProblem(m_task.localdir, german);
    if (!refused.isEmpty()) {
        m_log.AddStatus(refused);
        QTimer::singleShot(0, this, [this, refused] { conclude(false, refused); });
        return;
    }
    if (m_task.secrets != QLatin1String(TaskSecrets::InKeyring)) {
        begin();
        return;
    }
    // Once for every database, and before the listing logs in.
    TaskSecrets::fetch(m_task, german, this, [this](const QString &problem) {
        const bool german = m_texts.german();
        if (m_stopped || !problem.isEmpty()) {
            const QString reason = m_stopped ? SecretTexts::cancelled(german) : SecretTexts::runFailed(german);
            m_log.AddStatus(reason);
            if (!m_stopped && problem != SecretTexts::lockedOrUnreachable(german))
                m_log.AddStatus(problem);
            conclude(false, reason);
            return;
        }
        m_task.secrets.clear();  // at hand now: each database's run asks no more
        begin();
    });
}

void DatabaseSeries::begin()
{
    if (!DatabaseList::isAll(m_task.database)) {
        m_names = DatabaseList::names(m_task.database);
        QTimer::singleShot(0, this, &DatabaseSeries::next);
        return;
    }
    m_lister = m_transports(m_task);
    connect(m_lister.get(), &Transport::protocolLine, this, [this](const QString &l) { m_log.AddStatus(l); });
    connect(m_lister.get(), &Transport::lineSent, this, [this](const QString &l) { m_log.AddSent(l); });
    connect(m_lister.get(), &Transport::negotiation, this,
            [this](const QString &t) { emit m_events.negotiationText(t); });
    connect(m_lister.get(), &Transport::finished, this, &DatabaseSeries::listed);
    emit m_events.sessionStarting();
    m_lister->startListing(m_task);
}

void DatabaseSeries::listed(const TransportResult &result)
{
    emit m_events.sessionEnded();
    // The transport is still on the stack that reported.
    m_lister.release()->deleteLater();
    const bool german = m_texts.german();
    if (!result.dumpCompleted) {
        const QString reason = result.reason.isEmpty() ? DatabaseList::listingFailed(QString(), german) : result.reason;
        m_log.AddStatus(reason);
        conclude(false, reason);
        return;
    }
    m_names = result.databases;
    m_log.AddStatus(DatabaseList::listed(m_names, german));
    if (m_names.isEmpty()) {
        conclude(false, DatabaseList::listed(m_names, german));
        return;
    }
    next();
}

void DatabaseSeries::next()
{
    if (m_done)
        return;
    if (m_stopped || m_index >= m_names.size()) {
        conclude(true, QString());
        return;
    }
    const QString name = m_names.at(m_index);
    m_log.AddStatus(DatabaseList::databaseStarting(m_index + 1, int(m_names.size()), name, m_texts.german()));
    const BackupTask one = DatabaseList::taskFor(m_task, name);
    m_current = new BackupRun(one, m_transports(one), m_retriever, m_log, m_texts, m_events, this);
    if (m_restoreOptions)
        m_current->setTestRestore(*m_restoreOptions);
    connect(m_current, &TaskRun::finished, this, &DatabaseSeries::databaseDone);
    m_current->start();
}

void DatabaseSeries::databaseDone(const RunOutcome &outcome)
{
    if (m_current)
        m_current->deleteLater();  // still on its own call stack
    m_current = nullptr;
    m_outcomes.append(outcome);
    // One repository check a week serves every database of the task.
    if (outcome.offsiteChecked)
        m_task.lastoffsitecheck = m_log.clock().now().date().toString(Qt::ISODate);
    ++m_index;
    QTimer::singleShot(0, this, &DatabaseSeries::next);
}

void DatabaseSeries::conclude(bool ok, const QString &reason)
{
    if (m_done)
        return;
    m_done = true;
    const bool german = m_texts.german();
    RunOutcome o;
    o.taskName = m_task.name;
    o.started = m_started;
    QStringList failures;
    QStringList warnings;
    QStringList testFailures;
    QStringList offsiteFailures;
    int offsiteCopied = 0;
    bool offsiteOnly = true;  // every warning is about the off-site copy
    int stored = 0;
    int tested = 0;
    qint64 tables = 0;
    qint64 rows = 0;
    for (int i = 0; i < m_outcomes.size(); ++i) {
        const RunOutcome &one = m_outcomes.at(i);
        const QString name = m_names.value(i);
        if (!one.success) {
            failures.append(name + QStringLiteral(": ") + (one.reason.isEmpty() ? one.message : one.reason));
            continue;
        }
        ++stored;
        o.storedFile = one.storedFile;
        if (!one.warning.isEmpty()) {
            warnings.append(name + QStringLiteral(": ") + one.warning);
            if (one.warningKind != RunOutcome::Warning::Offsite)
                offsiteOnly = false;
        }
        if (one.offsite.startsWith(QLatin1String("failed: ")))
            offsiteFailures.append(name + QStringLiteral(": ") + one.offsite.mid(8));
        else if (!one.offsite.isEmpty())
            ++offsiteCopied;
        o.offsiteChecked = o.offsiteChecked || one.offsiteChecked;
        if (one.restoreTest == QLatin1String("passed")) {
            ++tested;
            const QStringList counts = one.restoreCounts.split(QLatin1Char(' '));
            tables += counts.value(0).toLongLong();
            rows += counts.value(1).toLongLong();
        } else if (!one.restoreTest.isEmpty()) {
            testFailures.append(name + QStringLiteral(": ") + one.restoreTest);
        }
    }
    // Databases a cancel kept from running were not stored either.
    const int total = int(m_names.size());
    o.success = ok && stored == total && total > 0;
    if (!ok) {
        o.reason = reason;
        o.message = RunMessage(m_texts, m_log, false, reason);
    } else {
        const QString count = DatabaseList::storedCount(stored, total, german);
        if (!o.success && failures.isEmpty())
            failures.append(m_texts.pick(QStringLiteral("cancelled"), QStringLiteral("abgebrochen")));
        o.reason = failures.join(QStringLiteral("; "));
        o.message = RunMessage(m_texts, m_log, o.success, o.success ? count : o.reason + QStringLiteral(" - ") + count);
        m_log.AddStatus(count);
    }
    if (o.success && !warnings.isEmpty()) {
        o.warning = warnings.join(QStringLiteral("; "));
        o.warningKind = offsiteOnly ? RunOutcome::Warning::Offsite : RunOutcome::Warning::TestRestore;
        o.message = (offsiteOnly ? OffsiteTexts::storedButFailed(m_log.Timestamp(), o.warning, german)
                                 : RestoreTexts::storedButFailed(m_log.Timestamp(), o.warning, german))
            + QStringLiteral(" - ")
            + DatabaseList::storedCount(stored, total, german);
    }
    if (!offsiteFailures.isEmpty())
        o.offsite = QStringLiteral("failed: ") + offsiteFailures.join(QStringLiteral("; "));
    else if (offsiteCopied > 0)
        o.offsite = QStringLiteral("copied");
    if (!testFailures.isEmpty())
        o.restoreTest = QStringLiteral("failed: ") + testFailures.join(QStringLiteral("; "));
    else if (tested > 0 && tested == stored)
        o.restoreTest = QStringLiteral("passed");
    if (o.restoreTest == QLatin1String("passed"))
        o.restoreCounts = QStringLiteral("%1 %2").arg(tables).arg(rows);
    emit finished(o);
}

void DatabaseSeries::cancelSession()
{
    m_stopped = true;
    if (m_lister)
        m_lister->cancel();
    if (m_current)
        m_current->cancelSession();
}

void DatabaseSeries::abort()
{
    m_stopped = true;
    if (m_lister)
        m_lister->cancel();
    if (m_current)
        m_current->abort();
}
