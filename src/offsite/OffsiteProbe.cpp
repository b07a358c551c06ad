#include "offsite/OffsiteProbe.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTimer>

#include "offsite/OffsiteTexts.h"
#include "offsite/OffsiteTools.h"
#include "offsite/RcloneDestination.h"
#include "offsite/ResticRepository.h"
#include "offsite/ToolProcess.h"

OffsiteProbe::OffsiteProbe(const BackupTask &task, bool german, QObject *parent)
    : QObject(parent), m_task(task), m_target(OffsiteTarget::of(task)), m_german(german)
{
}

OffsiteProbe::~OffsiteProbe()
{
    if (m_tool)
        m_tool->stopNow();
    if (!m_probeFile.isEmpty())
        QFile::remove(m_probeFile);
}

void OffsiteProbe::start()
{
    QString program;
    const QString problem = OffsiteTools::problemWith(m_target, m_german, &program);
    if (!problem.isEmpty()) {
        QTimer::singleShot(0, this, [this, problem] { fail(problem); });
        return;
    }
    m_tool = std::make_unique<ToolProcess>(program, m_german);
    if (m_target.isRestic()) {
        m_tool->setCommonArguments(ResticRepository::commonArguments(m_target));
        m_tool->setRemovedVariables(ResticRepository::overridingVariables());
    } else {
        m_tool->setCommonArguments(RcloneDestination::commonArguments(m_target));
    }
    step();
}

void OffsiteProbe::step()
{
    if (m_target.isRestic()) {
        m_tool->run({QStringLiteral("snapshots"), QStringLiteral("--json")}, [this](const ToolResult &r) {
            if (!r.ok()) {
                fail(r.lastError);
                return;
            }
            const QList<OffsiteBackup> all = ResticRepository::snapshotsIn(r.output);
            int ofTask = 0;
            QDateTime last;
            for (const QJsonValue &v : QJsonDocument::fromJson(r.output).array()) {
                const QJsonObject o = v.toObject();
                if (o.value(QLatin1String("hostname")).toString() != ResticRepository::hostOf(m_task))
                    continue;
                ++ofTask;
                const QDateTime t = QDateTime::fromString(o.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
                if (!last.isValid() || t > last)
                    last = t;
            }
            m_done = true;
            emit finished(true, OffsiteTexts::probeSnapshots(int(all.size()), ofTask, last, m_german));
        });
        return;
    }
    // A small file of random bytes: written, read back, removed.
    QByteArray content(4096, Qt::Uninitialized);
    QRandomGenerator::global()->generate(reinterpret_cast<quint32 *>(content.data()),
                                         reinterpret_cast<quint32 *>(content.data() + content.size()));
    m_probeFile = QDir::temp().filePath(QStringLiteral("vaultwick-probe-%1").arg(QRandomGenerator::global()->generate()));
    QFile file(m_probeFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.flush()) {
        fail(file.errorString());
        return;
    }
    file.close();
    m_remoteName = RcloneJoin(m_target.destination,
                              QStringLiteral(".vaultwick-test-%1").arg(QRandomGenerator::global()->generate()));
    m_tool->run({QStringLiteral("copyto"), m_probeFile, m_remoteName}, [this, content](const ToolResult &r) {
        if (!r.ok()) {
            fail(r.lastError);
            return;
        }
        m_tool->run({QStringLiteral("cat"), m_remoteName}, [this, content](const ToolResult &read) {
            const bool same = read.ok() && read.output == content;
            const QString readError = read.ok() ? OffsiteTexts::probeReadBackDiffers(m_german) : read.lastError;
            m_tool->run({QStringLiteral("deletefile"), m_remoteName}, [this, same, readError](const ToolResult &del) {
                if (!same) {
                    fail(readError);
                    return;
                }
                if (!del.ok()) {
                    fail(del.lastError);
                    return;
                }
                m_done = true;
                emit finished(true, OffsiteTexts::probeWritten(m_target.destination, m_german));
            });
        });
    });
}

void OffsiteProbe::fail(const QString &why)
{
    if (m_done)
        return;
    m_done = true;
    emit finished(false, why);
}

void OffsiteProbe::cancel()
{
    m_done = true;
    if (m_tool)
        m_tool->cancel();
}
