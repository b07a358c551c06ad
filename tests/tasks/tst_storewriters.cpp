// The tray program and a command-line run write one task store at the same
// time: two real processes (this test binary started again as a writer) and
// the test itself.
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "tasks/TaskStore.h"

namespace {
constexpr int Rounds = 30;
const char *const WriterArgument = "--write-store";

QString key(const QString &writer, int i)
{
    return QStringLiteral("tasks/%1/Options/k%2").arg(writer).arg(i);
}

// Each value its own read-modify-write, as runs and the editor make them.
int writeRounds(const QString &file, const QString &writer)
{
    TaskStore store(file);
    for (int i = 0; i < Rounds; ++i) {
        if (!store.writeValues({{key(writer, i), QString::number(i)}})) {
            std::fprintf(stderr, "write %d failed: %s\n", i, qPrintable(store.writeError()));
            return 1;
        }
    }
    return 0;
}
} // namespace

class TestStoreWriters : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private slots:
    void writesOfDifferentKeysFromTwoProcessesAllLand()
    {
        const QString file = m_dir.filePath(QStringLiteral("shared.conf"));
        QVERIFY(TaskStore(file).writeValues({{QStringLiteral("tasks/Shop/Options/host"), QStringLiteral("h")}}));
        QProcess writers[2];
        const QString names[2] = {QStringLiteral("A"), QStringLiteral("B")};
        for (int w = 0; w < 2; ++w) {
            writers[w].setProcessChannelMode(QProcess::ForwardedErrorChannel);
            writers[w].start(QCoreApplication::applicationFilePath(),
                             {QString::fromLatin1(WriterArgument), file, names[w]});
        }
        for (QProcess &p : writers)
            QVERIFY(p.waitForStarted());
        QCOMPARE(writeRounds(file, QStringLiteral("C")), 0);
        for (QProcess &p : writers) {
            QVERIFY(p.waitForFinished(120000));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.exitCode(), 0);
        }

        // The file and its backup copy are whole and hold every key of every writer.
        for (const QString &path : {file, file + QStringLiteral(".bak")}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(StoreFile::IsWhole(f.readAll()));
            QSettings settings(path, QSettings::IniFormat);
            QCOMPARE(settings.value(QStringLiteral("tasks/Shop/Options/host")).toString(), QStringLiteral("h"));
            for (const QString &writer : {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")})
                for (int i = 0; i < Rounds; ++i)
                    QCOMPARE(settings.value(key(writer, i)).toString(), QString::number(i));
        }
        // No scratch copy is left behind.
        const QStringList left = QDir(m_dir.path()).entryList({QStringLiteral("*.new*")}, QDir::Files);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
    }

    void aLockHeldTooLongFailsTheWriteWithAReason()
    {
        const QString file = m_dir.filePath(QStringLiteral("locked.conf"));
        TaskStore store(file);
        QVERIFY(store.writeValues({{QStringLiteral("tasks/T/Options/host"), QStringLiteral("old")}}));
        QLockFile held(file + QStringLiteral(".lock"));
        QVERIFY(held.tryLock(0));
        store.setLockTimeout(50);
        QVERIFY(!store.writeValues({{QStringLiteral("tasks/T/Options/host"), QStringLiteral("new")}}));
        QVERIFY(store.writeError().contains(QStringLiteral("locked")));
        QCOMPARE(QSettings(file, QSettings::IniFormat).value(QStringLiteral("tasks/T/Options/host")).toString(),
                 QStringLiteral("old"));
        held.unlock();
        QVERIFY(store.writeValues({{QStringLiteral("tasks/T/Options/host"), QStringLiteral("new")}}));
        QVERIFY(store.writeError().isEmpty());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], WriterArgument) == 0)
        return writeRounds(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestStoreWriters test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storewriters.moc"
