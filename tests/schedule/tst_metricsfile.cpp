// The metrics file a monitoring system scrapes, read back by the rules of
// Prometheus's text format.
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "run/RunOutcome.h"
#include "schedule/MetricsFile.h"
#include "tasks/TaskStore.h"

namespace {
// name{task} -> value, failing on any line the format does not allow: a
// sample needs its metric's TYPE before it, labels their escapes, and no
// series may come twice.
QMap<QString, qint64> parse(const QByteArray &text)
{
    static const QRegularExpression sample(QStringLiteral(R"re(^([a-zA-Z_:][a-zA-Z0-9_:]*)\{task="((?:[^"\\\n]|\\[\\"n])*)"\} (-?[0-9]+)$)re"));
    static const QRegularExpression comment(QStringLiteral(R"(^# (HELP|TYPE) ([a-zA-Z_:][a-zA-Z0-9_:]*) (.+)$)"));
    QMap<QString, qint64> series;
    QSet<QString> typed;
    [&] {
        QVERIFY(text.endsWith('\n'));
        for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch c = comment.match(line);
            if (c.hasMatch()) {
                if (c.captured(1) == QLatin1String("TYPE")) {
                    QCOMPARE(c.captured(3), QStringLiteral("gauge"));
                    typed << c.captured(2);
                }
                continue;
            }
            const QRegularExpressionMatch s = sample.match(line);
            QVERIFY2(s.hasMatch(), qPrintable(line));
            QVERIFY2(typed.contains(s.captured(1)), qPrintable(line));
            const QString key = s.captured(1) + QLatin1Char(' ') + s.captured(2);
            QVERIFY2(!series.contains(key), qPrintable(line));
            series.insert(key, s.captured(3).toLongLong());
        }
    }();
    return series;
}
} // namespace

class TestMetricsFile : public QObject {
    Q_OBJECT
private slots:
    // Stored, failed and never run tasks; the run that just ended counts
    // over its record; the file is rewritten whole and readable by others.
    void eachTasksLastRunAndBackup()
    {
        QTemporaryDir dir;
        TaskStore store(dir.filePath(QStringLiteral("store.conf")));
        BackupTask shop = BackupTask::withDefaults(QStringLiteral("shop"));
        shop.localdir = dir.filePath(QStringLiteral("shop"));
        QVERIFY(QDir().mkpath(shop.localdir));
        QFile backup(shop.localdir + QStringLiteral("/backup.sql"));
        QVERIFY(backup.open(QIODevice::WriteOnly) && backup.write(QByteArray(1234, 'x')) == 1234);
        backup.close();
        BackupTask blog = shop;
        blog.name = QStringLiteral("blog");
        blog.localdir = dir.filePath(QStringLiteral("none"));
        BackupTask odd = blog;
        odd.name = QStringLiteral("odd \"name\"");
        for (const BackupTask &t : {shop, blog, odd})
            QVERIFY(store.SaveTask(t.name, t));
        QVERIFY(store.SaveRunRecord(QStringLiteral("shop"), {QStringLiteral("2027-03-04T03:00:00+00:00"),
                                                              QStringLiteral("2027-03-04T03:00:00+00:00"),
                                                              QStringLiteral("Successful on 03/04/2027 03:00:00"), {}, {}}));
        QVERIFY(store.SaveRunRecord(QStringLiteral("blog"), {QStringLiteral("2027-03-04T03:00:00+00:00"), {},
                                                              QStringLiteral("!!! Not Successful on 03/04/2027"), {}, {}}));
        RunOutcome latest;
        latest.taskName = QStringLiteral("shop");
        latest.success = true;
        latest.warning = QStringLiteral("the test restore failed");  // stored, but not proven
        const QDateTime now(QDate(2027, 3, 5), QTime(3, 0), Qt::UTC);
        const QString path = dir.filePath(QStringLiteral("vaultwick.prom"));
        QVERIFY(MetricsFile::write(path, MetricsFile::collect(store, &latest, now)));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(parse(file.readAll()),
                 (QMap<QString, qint64>{{"vaultwick_last_success_timestamp_seconds shop", now.toSecsSinceEpoch()},
                                        {"vaultwick_last_run_success shop", 0},
                                        {"vaultwick_last_run_success blog", 0},
                                        {"vaultwick_last_backup_bytes shop", 1234}}));
        QVERIFY(file.permissions() & QFileDevice::ReadOther);
        const QByteArray quoted = MetricsFile::text({{QStringLiteral("a \"b\" \\ c"), {}, true, true, 5}});
        QVERIFY2(quoted.contains("vaultwick_last_run_success{task=\"a \\\"b\\\" \\\\ c\"} 1\n"), quoted.constData());
        QVERIFY(!parse(quoted).isEmpty());
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("vaultwick.prom*")}), QStringList{QStringLiteral("vaultwick.prom")});
    }
};

QTEST_MAIN(TestMetricsFile)
#include "tst_metricsfile.moc"
