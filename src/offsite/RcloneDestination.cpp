#include "offsite/RcloneDestination.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>

#include "offsite/OffsiteTexts.h"
#include "offsite/OffsiteTools.h"
#include "offsite/ToolProcess.h"
#include "retrieval/LocalTarget.h"

namespace {
const QLatin1String PartSuffix(".vw-part");

bool isHex(const QString &text, int length)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]+$"));
    return text.size() == length && hex.match(text).hasMatch();
}

// The first field of hashsum's line ("HASH  NAME"), in lower case.
QString firstHash(const QByteArray &output)
{
    return QString::fromUtf8(output).section(QLatin1Char('\n'), 0, 0).section(QLatin1Char(' '), 0, 0).trimmed().toLower();
}

QString sidecarHash(const QString &path)
{
    QFile sum(path + QStringLiteral(".sha256"));
    if (!sum.open(QIODevice::ReadOnly))
        return {};
    const QString hex = QString::fromLatin1(sum.read(64)).toLower();
    return isHex(hex, 64) ? hex : QString();
}
}

RcloneDestination::RcloneDestination(const BackupTask &task, const QString &program, bool german, QObject *parent)
    : OffsiteDestination(parent), m_task(task), m_target(OffsiteTarget::of(task)), m_german(german),
      m_tool(std::make_unique<ToolProcess>(program, german))
{
    m_tool->setCommonArguments(commonArguments(m_target));
}

RcloneDestination::~RcloneDestination() = default;

QStringList RcloneDestination::commonArguments(const OffsiteTarget &target)
{
    QStringList args;
    if (!target.config.isEmpty())
        args << QStringLiteral("--config=") + target.config;
    args << QStringLiteral("--ask-password=false");
    if (const int limit = OffsiteTools::uploadLimit(); limit > 0)
        args << QStringLiteral("--bwlimit") << QStringLiteral("%1k").arg(limit);
    return args;
}

QString RcloneDestination::partialName(const QString &relative)
{
    const int slash = int(relative.lastIndexOf(QLatin1Char('/')));
    return relative.left(slash + 1) + QLatin1Char('.') + relative.mid(slash + 1) + PartSuffix;
}

QString RcloneDestination::failure(const ToolResult &result) const
{
    return result.lastError;
}

void RcloneDestination::list(Listed done)
{
    m_tool->run({QStringLiteral("lsjson"), QStringLiteral("-R"), QStringLiteral("--files-only"),
                 QStringLiteral("--no-mimetype"), m_target.destination},
                [this, done](const ToolResult &r) {
                    // A destination no copy has gone to yet is not there: it holds nothing.
                    if (!r.ok() && r.lastError.contains(QLatin1String("directory not found"))) {
                        done({}, {});
                        return;
                    }
                    if (!r.ok()) {
                        done({}, failure(r));
                        return;
                    }
                    // A list cut short or garbled would make copies look missing, or old.
                    QJsonParseError parse;
                    const QJsonDocument doc = QJsonDocument::fromJson(r.output, &parse);
                    if (r.outputCut || parse.error != QJsonParseError::NoError || !doc.isArray()) {
                        done({}, OffsiteTexts::unreadableList(QStringLiteral("rclone"), m_german));
                        return;
                    }
                    QList<OffsiteBackup> found;
                    m_stale.clear();
                    const QJsonArray entries = doc.array();
                    for (const QJsonValue &v : entries) {
                        const QJsonObject o = v.toObject();
                        const QString path = o.value(QLatin1String("Path")).toString();
                        const QStringList parts = path.split(QLatin1Char('/'));
                        if (parts.size() != 2 || !DayOfSubdirectory(parts.at(0)).isValid())
                            continue;
                        QString name = parts.at(1);
                        if (name.startsWith(QLatin1Char('.')) && name.endsWith(PartSuffix)) {
                            name = name.mid(1, name.size() - 1 - PartSuffix.size());
                            if (name.endsWith(QLatin1String(".sha256")))
                                name.chop(7);
                            if (IsTaskFileName(m_task, name))
                                m_stale.append(path);
                            continue;
                        }
                        if (!IsTaskFileName(m_task, name))
                            continue;
                        OffsiteBackup b;
                        b.key = path;
                        b.name = name;
                        b.day = DayOfSubdirectory(parts.at(0));
                        b.time = QDateTime::fromString(o.value(QLatin1String("ModTime")).toString(), Qt::ISODateWithMs);
                        b.size = qint64(o.value(QLatin1String("Size")).toDouble(-1));
                        found.append(b);
                    }
                    std::sort(found.begin(), found.end(), [](const OffsiteBackup &a, const OffsiteBackup &b) {
                        return a.day != b.day ? a.day > b.day : a.time > b.time;
                    });
                    done(found, {});
                });
}

void RcloneDestination::put(const StoredBackup &local, Done done)
{
    m_up = Upload();
    m_up.local = local;
    m_up.remote = OffsiteNameOf(local, OffsiteTarget::Kind::Rclone);
    m_up.done = std::move(done);
    // Its own temporary names are taken again now, no leftovers to remove.
    m_stale.removeAll(partialName(m_up.remote.key));
    m_stale.removeAll(partialName(m_up.remote.key + QStringLiteral(".sha256")));
    emit protocolLine(OffsiteTexts::started(QFileInfo(local.path).fileName(), m_target.shown(), m_german));
    expectedHash();
}

void RcloneDestination::expectedHash()
{
    m_up.expected = sidecarHash(m_up.local.path);
    if (!m_up.expected.isEmpty()) {
        uploadFile();
        return;
    }
    // No checksum file beside it: rclone hashes the stored file, off this thread.
    m_tool->run({QStringLiteral("hashsum"), QStringLiteral("sha256"), m_up.local.path}, [this](const ToolResult &r) {
        const QString hash = firstHash(r.output);
        if (!r.ok() || !isHex(hash, 64)) {
            finishUpload(failure(r));
            return;
        }
        m_up.expected = hash;
        uploadFile();
    });
}

void RcloneDestination::uploadFile()
{
    const QString file = QFileInfo(m_up.local.path).fileName();
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(m_tool.get(), &ToolProcess::line, this, [this, file](const QString &line) {
        static const QRegularExpression percent(QStringLiteral(",\\s*(\\d{1,3})%"));
        const QRegularExpressionMatch m = percent.match(line);
        if (m.hasMatch())
            emit caption(OffsiteTexts::progress(file, m.captured(1).toInt(), m_german));
    });
    m_up.clock.start();
    m_tool->run({QStringLiteral("copyto"), QStringLiteral("--stats"), QStringLiteral("1s"),
                 QStringLiteral("--stats-one-line"), QStringLiteral("--stats-log-level"), QStringLiteral("NOTICE"),
                 m_up.local.path, RcloneJoin(m_target.destination, partialName(m_up.remote.key))},
                [this, connection](const ToolResult &r) {
                    disconnect(*connection);
                    if (!r.ok()) {
                        finishUpload(failure(r));
                        return;
                    }
                    emit protocolLine(OffsiteTexts::sent(m_up.local.size, m_up.clock.elapsed() / 1000.0, m_german));
                    uploadChecksum();
                });
}

void RcloneDestination::uploadChecksum()
{
    const QString sum = m_up.local.path + QStringLiteral(".sha256");
    if (!QFileInfo::exists(sum)) {
        verifySha256();
        return;
    }
    m_tool->run({QStringLiteral("copyto"), sum,
                 RcloneJoin(m_target.destination, partialName(m_up.remote.key + QStringLiteral(".sha256")))},
                [this](const ToolResult &r) {
                    if (!r.ok()) {
                        finishUpload(failure(r));
                        return;
                    }
                    verifySha256();
                });
}

void RcloneDestination::verifySha256()
{
    m_tool->run({QStringLiteral("hashsum"), QStringLiteral("sha256"),
                 RcloneJoin(m_target.destination, partialName(m_up.remote.key))},
                [this](const ToolResult &r) {
                    const QString hash = firstHash(r.output);
                    if (r.ok() && isHex(hash, 64)) {
                        compare(hash, QStringLiteral("SHA-256"));
                        return;
                    }
                    // This remote keeps no SHA-256 (a crypt remote, most clouds).
                    verifyOwnHash();
                });
}

void RcloneDestination::verifyOwnHash()
{
    m_tool->run({QStringLiteral("lsjson"), QStringLiteral("--hash"), QStringLiteral("--stat"),
                 RcloneJoin(m_target.destination, partialName(m_up.remote.key))},
                [this](const ToolResult &r) {
                    const QJsonObject hashes =
                        QJsonDocument::fromJson(r.output).object().value(QLatin1String("Hashes")).toObject();
                    QString type;
                    for (const char *preferred : {"md5", "sha1"}) {
                        if (!hashes.value(QLatin1String(preferred)).toString().isEmpty()) {
                            type = QLatin1String(preferred);
                            break;
                        }
                    }
                    for (auto it = hashes.begin(); type.isEmpty() && it != hashes.end(); ++it) {
                        if (!it.value().toString().isEmpty())
                            type = it.key();
                    }
                    if (!r.ok() || type.isEmpty()) {
                        verifyByReading();
                        return;
                    }
                    m_up.hashName = type;
                    compareOwnHash(hashes.value(type).toString().toLower());
                });
}

void RcloneDestination::compareOwnHash(const QString &remoteHash)
{
    // The same hash of the stored file, so the two can be compared.
    m_tool->run({QStringLiteral("hashsum"), m_up.hashName, m_up.local.path}, [this, remoteHash](const ToolResult &r) {
        const QString local = firstHash(r.output);
        if (!r.ok() || local.isEmpty()) {
            verifyByReading();
            return;
        }
        if (local != remoteHash) {
            finishUpload(OffsiteTexts::mismatch(QFileInfo(m_up.local.path).fileName(), m_german));
            return;
        }
        emit protocolLine(OffsiteTexts::verified(m_up.hashName.toUpper(), remoteHash, m_german));
        moveIntoPlace();
    });
}

void RcloneDestination::verifyByReading()
{
    m_tool->run({QStringLiteral("hashsum"), QStringLiteral("sha256"), QStringLiteral("--download"),
                 RcloneJoin(m_target.destination, partialName(m_up.remote.key))},
                [this](const ToolResult &r) {
                    const QString hash = firstHash(r.output);
                    if (!r.ok() || !isHex(hash, 64)) {
                        finishUpload(failure(r));
                        return;
                    }
                    compare(hash, QString());
                });
}

void RcloneDestination::compare(const QString &hash, const QString &how)
{
    if (hash != m_up.expected) {
        finishUpload(OffsiteTexts::mismatch(QFileInfo(m_up.local.path).fileName(), m_german));
        return;
    }
    emit protocolLine(how.isEmpty() ? OffsiteTexts::readBack(hash, m_german)
                                    : OffsiteTexts::verified(how, hash, m_german));
    moveIntoPlace();
}

void RcloneDestination::moveIntoPlace()
{
    const QString final = RcloneJoin(m_target.destination, m_up.remote.key);
    m_tool->run({QStringLiteral("moveto"), RcloneJoin(m_target.destination, partialName(m_up.remote.key)), final},
                [this, final](const ToolResult &r) {
                    if (!r.ok()) {
                        finishUpload(failure(r));
                        return;
                    }
                    if (!QFileInfo::exists(m_up.local.path + QStringLiteral(".sha256"))) {
                        finishUpload({});
                        return;
                    }
                    m_tool->run({QStringLiteral("moveto"),
                                 RcloneJoin(m_target.destination,
                                            partialName(m_up.remote.key + QStringLiteral(".sha256"))),
                                 final + QStringLiteral(".sha256")},
                                [this](const ToolResult &sum) { finishUpload(sum.ok() ? QString() : failure(sum)); });
                });
}

void RcloneDestination::finishUpload(const QString &error)
{
    emit caption(QString());
    Done done = std::move(m_up.done);
    m_up.done = nullptr;
    if (done)
        done(error);
}

void RcloneDestination::keep(const RetentionPolicy &policy, const QDate &today, const QList<OffsiteBackup> &listed,
                             Removed done)
{
    QStringList paths = m_stale;
    QStringList backups;
    if (!policy.keepsEverything()) {
        QMap<QString, QList<const OffsiteBackup *>> byName;
        for (const OffsiteBackup &b : listed)
            byName[b.name].append(&b);
        for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
            QList<QDate> days;
            for (const OffsiteBackup *b : it.value())
                days.append(b->day);
            const QList<QDate> gone = DecideRetention(days, policy, today).remove;
            for (const OffsiteBackup *b : it.value()) {
                if (gone.contains(b->day))
                    backups.append(b->key);
            }
        }
    }
    for (const QString &key : std::as_const(backups))
        paths << key << key + QStringLiteral(".sha256");
    m_stale.clear();
    // Counted as backups: only the files themselves, not their checksums or leftovers.
    removeNext(paths, 0, [done, count = int(backups.size())](int, const QString &error) { done(count, error); });
}

void RcloneDestination::removeNext(QStringList paths, int removed, Removed done)
{
    if (paths.isEmpty()) {
        done(removed, {});
        return;
    }
    const QString path = paths.takeFirst();
    m_tool->run({QStringLiteral("deletefile"), RcloneJoin(m_target.destination, path)},
                [this, paths, removed, done, path](const ToolResult &r) {
                    // A checksum file a copy never had is no failure.
                    if (!r.ok() && !path.endsWith(QLatin1String(".sha256"))
                        && !r.lastError.contains(QLatin1String("not found"))) {
                        done(removed, failure(r));
                        return;
                    }
                    removeNext(paths, removed + 1, done);
                });
}

void RcloneDestination::cancel()
{
    m_tool->cancel();
}

void RcloneDestination::stopNow()
{
    m_tool->stopNow();
}
