#include <QAction>
#include <QFile>
#include <QSettings>
#include <QSize>
#include <QTemporaryDir>
#include <QtTest>

#include "tasks/AppSettings.h"
#include "tasks/TaskListView.h"
#include "tasks/TaskStore.h"

namespace {
// A settings format that remembers, at every write of the file, which keys
// it held, and refuses the write numbered failAt.
struct WriteLog {
    QList<QStringList> writes;
    int failAt = -1;
};
WriteLog g_log;

bool readLines(QIODevice &device, QSettings::SettingsMap &map)
{
    while (!device.atEnd()) {
        const QString line = QString::fromUtf8(device.readLine()).trimmed();
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            map.insert(line.left(eq), line.mid(eq + 1));
    }
    return true;
}

bool writeLines(QIODevice &device, const QSettings::SettingsMap &map)
{
    g_log.writes.append(map.keys());
    if (g_log.writes.size() - 1 == g_log.failAt)
        return false;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        device.write((it.key() + QLatin1Char('=') + it.value().toString() + QLatin1Char('\n')).toUtf8());
    return true;
}
}

class TestAppSettings : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_ini;
    TaskStore store() const { return TaskStore(m_ini); }

    void setRaw(const QString &key, const QVariant &value)
    {
        QSettings raw(m_ini, QSettings::IniFormat);
        raw.setValue(key, value);
    }
    QVariant raw(const QString &key) const
    {
        return QSettings(m_ini, QSettings::IniFormat).value(key);
    }

private slots:
    void init()
    {
        static int n = 0;
        m_ini = m_dir.filePath(QStringLiteral("settings%1.ini").arg(++n));
    }

    void defaultsOnAnEmptyStore()
    {
        QVERIFY(!QFile::exists(m_ini));
        const TaskStore s = store();
        AppSettings settings(s);
        QCOMPARE(settings.ReadDisplay(), 0);
        QCOMPARE(settings.ReadLanguage(), 0);
        QVERIFY(!QFile::exists(m_ini));  // reading creates nothing
    }

    void readValues_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("value");
        QTest::newRow("icons") << QStringLiteral("0") << 0;
        QTest::newRow("report") << QStringLiteral("1") << 1;
        QTest::newRow("odd") << QStringLiteral("7") << 7;
        QTest::newRow("negative") << QStringLiteral("-2") << -2;
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("not a number") << QStringLiteral("Details") << 0;
        QTest::newRow("number and text") << QStringLiteral("1x") << 0;
        QTest::newRow("too large") << QStringLiteral("99999999999") << 0;
    }

    void readValues()
    {
        QFETCH(QString, stored);
        QFETCH(int, value);
        setRaw(AppSettings::DisplayKey, stored);
        setRaw(AppSettings::LanguageKey, stored);
        const TaskStore s = store();
        AppSettings settings(s);
        QCOMPARE(settings.ReadDisplay(), value);
        QCOMPARE(settings.ReadLanguage(), value);
    }

    void aValueThatIsNotTextFailsTheRead()
    {
        setRaw(AppSettings::DisplayKey, QSize(1, 2));
        setRaw(AppSettings::LanguageKey, QStringList{QStringLiteral("0"), QStringLiteral("1")});
        const TaskStore s = store();
        AppSettings settings(s);
        QVERIFY_THROWS_EXCEPTION(TaskStoreReadError, settings.ReadDisplay());
        QVERIFY_THROWS_EXCEPTION(TaskStoreReadError, settings.ReadLanguage());
    }

    void saveWritesDecimalText()
    {
        const TaskStore s = store();
        AppSettings settings(s);
        QVERIFY(settings.SaveSettings(3, false, 1));
        for (const QString &key : {AppSettings::TotalTasksKey, AppSettings::LanguageKey, AppSettings::DisplayKey})
            QCOMPARE(raw(key).typeId(), int(QMetaType::QString));
        QCOMPARE(raw(AppSettings::TotalTasksKey).toString(), QStringLiteral("3"));
        QCOMPARE(raw(AppSettings::LanguageKey).toString(), QStringLiteral("1"));
        QCOMPARE(raw(AppSettings::DisplayKey).toString(), QStringLiteral("1"));

        QVERIFY(settings.SaveSettings(0, true, 0));
        QCOMPARE(raw(AppSettings::TotalTasksKey).toString(), QStringLiteral("0"));
        QCOMPARE(raw(AppSettings::LanguageKey).toString(), QStringLiteral("0"));
        QCOMPARE(raw(AppSettings::DisplayKey).toString(), QStringLiteral("0"));
        QCOMPARE(settings.ReadDisplay(), 0);

#ifndef Q_OS_WIN
        // The file holds the tasks' passwords too.
        QCOMPARE(QFile::permissions(m_ini) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
#endif
    }

    void savingKeepsTheTasks()
    {
        const TaskStore s = store();
        BackupTask t = BackupTask::withDefaults(QStringLiteral("Shop"));
        t.hostpw = QStringLiteral("secret");
        QVERIFY(s.SaveTask(t.name, t));
        QVERIFY(AppSettings(s).SaveSettings(1, true, 1));
        QCOMPARE(s.ListTaskNames(), QStringList{QStringLiteral("Shop")});
        QCOMPARE(s.LoadTask(QStringLiteral("Shop")).hostpw, QStringLiteral("secret"));
    }

    void settingsAreWrittenInOrderAndAFailureEndsTheSave()
    {
        const QSettings::Format format = QSettings::registerFormat(QStringLiteral("vwlog"), readLines, writeLines);
        QVERIFY(format != QSettings::InvalidFormat);
        const QString t = AppSettings::TotalTasksKey, l = AppSettings::LanguageKey, d = AppSettings::DisplayKey;
        {
            g_log = {};
            QSettings settings(m_dir.filePath(QStringLiteral("order.vwlog")), format);
            QVERIFY(AppSettings::saveTo(settings, 2, true, 1));
            QCOMPARE(g_log.writes.size(), 3);
            QCOMPARE(g_log.writes[0], QStringList({t}));
            QCOMPARE(g_log.writes[1], QStringList({l, t}));
            QCOMPARE(g_log.writes[2], QStringList({d, l, t}));
        }
        {
            g_log = {};
            g_log.failAt = 1;  // the language cannot be written
            QSettings settings(m_dir.filePath(QStringLiteral("fail.vwlog")), format);
            QVERIFY(!AppSettings::saveTo(settings, 2, true, 1));
            for (const QStringList &keys : std::as_const(g_log.writes))
                QVERIFY(!keys.contains(d));
        }
        QSettings back(m_dir.filePath(QStringLiteral("fail.vwlog")), format);
        QCOMPARE(back.value(t).toString(), QStringLiteral("2"));
        QVERIFY(!back.contains(d));
    }

    // A stored Display of 7 leaves the list as designed and is written back.
    void oddDisplayModeIsWrittenBack()
    {
        setRaw(AppSettings::DisplayKey, QStringLiteral("7"));
        const TaskStore s = store();
        AppSettings settings(s);
        TaskListView view;
        view.holdDisplayMode(settings.ReadDisplay());
        QVERIFY(view.isReportView());
        QVERIFY(view.findChild<QAction *>(QStringLiteral("Details1"))->isChecked());
        QVERIFY(!view.findChild<QAction *>(QStringLiteral("Symbole1"))->isChecked());
        QVERIFY(settings.SaveSettings(view.rowCount(), true, view.displayMode()));
        QCOMPARE(raw(AppSettings::DisplayKey).toString(), QStringLiteral("7"));
        QCOMPARE(raw(AppSettings::TotalTasksKey).toString(), QStringLiteral("0"));
    }

    void firstStartComesUpInIconViewAndEnglish()
    {
        const TaskStore s = store();
        AppSettings settings(s);
        TaskListView view;
        view.holdDisplayMode(settings.ReadDisplay());
        QVERIFY(!view.isReportView());
        QVERIFY(view.Symbole1()->isChecked());
        QCOMPARE(settings.ReadLanguage(), 0);
        QVERIFY(settings.SaveSettings(view.rowCount(), true, view.displayMode()));
        QCOMPARE(raw(AppSettings::DisplayKey).toString(), QStringLiteral("0"));
        QCOMPARE(raw(AppSettings::LanguageKey).toString(), QStringLiteral("0"));
        QCOMPARE(raw(AppSettings::TotalTasksKey).toString(), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
