#include "offsite/OffsiteInventory.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "offsite/OffsiteTexts.h"
#include "offsite/OffsiteTools.h"
#include "offsite/RcloneDestination.h"
#include "offsite/ResticRepository.h"
#include "offsite/ToolProcess.h"

OffsiteInventory::OffsiteInventory(const BackupTask &task, bool german, QObject *parent)
    : QObject(parent), m_task(task), m_target(OffsiteTarget::of(task)), m_german(german)
{
}

OffsiteInventory::~OffsiteInventory() = default;

void OffsiteInventory::start()
{
    QString program;
    const QString problem = OffsiteTools::problemWith(m_target, m_german, &program);
    if (!problem.isEmpty()) {
        QTimer::singleShot(0, this, [this, problem] {
            if (!m_done) {
                m_done = true;
                emit listed({}, problem);
            }
        });
        return;
    }
    m_destination = MakeOffsiteDestination(m_task, program, m_german);
    m_destination->list([this](const QList<OffsiteBackup> &backups, const QString &error) {
        if (m_done)
            return;
        m_done = true;
        emit listed(backups, error);
    });
}

void OffsiteInventory::cancel()
{
    m_done = true;
    if (m_destination)
        m_destination->cancel();
}

OffsiteRetrieve::OffsiteRetrieve(const BackupTask &task, bool german, QObject *parent)
    : QObject(parent), m_task(task), m_target(OffsiteTarget::of(task)), m_german(german)
{
}

OffsiteRetrieve::~OffsiteRetrieve()
{
    if (m_tool)
        m_tool->stopNow();
    if (!m_partial.isEmpty())
        QFile::remove(m_partial);
}

void OffsiteRetrieve::start(const OffsiteBackup &snapshot, const QString &target)
{
    m_file = target;
    QString program;
    const QString problem = m_target.isRestic() ? OffsiteTools::problemWith(m_target, m_german, &program)
                                                : OffsiteTexts::noRepository(m_german);
    if (!problem.isEmpty()) {
        QTimer::singleShot(0, this, [this, problem] {
            if (!m_done) {
                m_done = true;
                emit finished(false, problem);
            }
        });
        return;
    }
    m_partial = target + QStringLiteral(".part");
    m_tool = std::make_unique<ToolProcess>(program, m_german);
    m_tool->setCommonArguments(ResticRepository::commonArguments(m_target));
    m_tool->setRemovedVariables(ResticRepository::overridingVariables());
    m_tool->setOutputFile(m_partial);
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] { emit progress(QFileInfo(m_partial).size()); });
    poll->start(500);
    m_tool->run({QStringLiteral("dump"), snapshot.key, QLatin1Char('/') + snapshot.name},
                [this, poll](const ToolResult &r) {
                    poll->deleteLater();
                    if (m_done)
                        return;
                    m_done = true;
                    if (!r.ok()) {
                        QFile::remove(m_partial);
                        emit finished(false, r.lastError);
                        return;
                    }
                    QFile::remove(m_file);
                    QFile partial(m_partial);
                    if (!partial.rename(m_file)) {
                        const QString why = partial.errorString();
                        QFile::remove(m_partial);
                        emit finished(false, why);
                        return;
                    }
                    m_partial.clear();
                    emit progress(QFileInfo(m_file).size());
                    emit finished(true, {});
                });
}

void OffsiteRetrieve::cancel()
{
    m_done = true;
    if (m_tool)
        m_tool->cancel();
}
