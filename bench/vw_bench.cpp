// Measurements of the program's own code, one per run, printed as
// "key=value" pairs on one line for bench/run_benchmarks.sh to tabulate.
//
//   vw_bench make-store STOREFILE COUNT
//       COUNT tasks as the store keeps them ("Task 0001".., inactive), or with
//       COUNT 0 the one task the run measurements use (host 127.0.0.1)
//   vw_bench retrieve ftp|http PORT FILE LOCALDIR [PASSWORD [COMPRESS]]
//       one retrieval through the download dispatcher from 127.0.0.1:PORT,
//       shown on a stand-in window with the main window's progress widgets
//       (FTP: user "127.0.0.1", login directory; HTTP: http://127.0.0.1:PORT/FILE),
//       stored uncompressed (COMPRESS 0, the default), as gzip (1) or zstd (2)
//   vw_bench startup STOREFILE
//       main window made, shown and exposed, as main() does after the splash
//   vw_bench refresh STOREFILE REPEATS
//       RefreshTaskList on the shown main window
//   vw_bench save STOREFILE REPEATS
//       one task of the store saved again, as the editor's OK does
//   vw_bench idle-tray STOREFILE SECONDS
//       main window in the tray, event loop left alone
//   vw_bench connect-wait STOREFILE PORT
//       a run against a telnet port whose connection never completes
//   vw_bench paced-send STOREFILE PORT
//       a run against a peer that prompts at once: user name and dump command
//
// Times are wall-clock (steady clock); CPU is this process's user + system
// time from getrusage; memory is the peak resident set (VmHWM).
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QSettings>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

#include "engine/Clock.h"
#include "run/RunQueue.h"
#include "engine/ProtocolLog.h"
#include "engine/TForm1.h"
#include "retrieval/DownloadDispatcher.h"
#include "engine/RunEvents.h"
#include "shell/AboutResources.h"
#include "shell/LanguageTexts.h"
#include "shell/TNotifyIcon.h"
#include "storage/StreamCompressor.h"
#include "tasks/BackupTask.h"
#include "tasks/TaskListView.h"
#include "tasks/TaskStore.h"

namespace {

QElapsedTimer g_sinceMain;

long statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

struct Cpu {
    double ms = 0;
    long wakeups = 0;  // voluntary context switches: how often the process slept and woke
};

Cpu cpuNow()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    Cpu c;
    c.ms = (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
    c.wakeups = u.ru_nvcsw;
    return c;
}

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

int usage()
{
    std::fprintf(stderr, "usage: see the head of bench/vw_bench.cpp\n");
    return 2;
}

class NoProtocolView final : public ProtocolView {
public:
    void appendProtocolLine(const QString &line) override { lines.append(line); }
    void clearProtocol() override { lines.clear(); }
    QStringList lines;
};

// Shows a retrieval as the main window does, with the same widgets on
// screen: the bar in a group box whose caption carries the FTP text. So the
// figures include what painting the progress costs.
class StandInWindow final : public QWidget {
public:
    explicit StandInWindow(RunEvents &events)
    {
        auto *layout = new QVBoxLayout(this);
        m_box = new QGroupBox(QStringLiteral("Status && Log"), this);
        auto *inner = new QVBoxLayout(m_box);
        m_bar = new QProgressBar(m_box);
        m_bar->setFixedSize(150, 16);
        inner->addWidget(m_bar);
        layout->addWidget(m_box);
        resize(575, 200);
        QObject::connect(&events, &RunEvents::downloadProgress, this,
                         [this](int position, int maximum) { setDownloadProgress(position, maximum); });
        QObject::connect(&events, &RunEvents::statusCaption, this,
                         [this](const QString &caption) { setStatusCaption(caption); });
        QObject::connect(&events, &RunEvents::retrievalError, this,
                         [this](RetrievalError, const QString &text) { errors.append(text); });
    }
    void setDownloadProgress(int position, int maximum)
    {
        ++progressUpdates;
        m_bar->setRange(0, maximum);
        m_bar->setValue(position);
    }
    void setStatusCaption(const QString &caption)
    {
        ++captionUpdates;
        QString text = caption;
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        m_box->setTitle(text);
    }
    long progressUpdates = 0;
    long captionUpdates = 0;
    QStringList errors;

private:
    QGroupBox *m_box;
    QProgressBar *m_bar;
};

int makeStore(const QStringList &a)
{
    if (a.size() < 2)
        return usage();
    QFile::remove(a[0]);
    QSettings s(a[0], QSettings::IniFormat);
    auto put = [&s](const QString &name, const QString &key, const QString &value) {
        s.setValue(QStringLiteral("tasks/%1/Options/%2").arg(name, key), value);
    };
    const int count = a[1].toInt();
    auto putTask = [&](const QString &name, const QString &host, const QString &localdir, int run) {
        put(name, QStringLiteral("host"), host);
        put(name, QStringLiteral("hostuser"), QStringLiteral("bench"));
        put(name, QStringLiteral("hostpw"), QStringLiteral("benchpw"));
        put(name, QStringLiteral("ftpdir"), QStringLiteral("backups"));
        put(name, QStringLiteral("mysql"), QStringLiteral("db.example.net"));
        put(name, QStringLiteral("database"), QStringLiteral("shop_production"));
        put(name, QStringLiteral("dbuser"), QStringLiteral("shopbackup"));
        put(name, QStringLiteral("dbpw"), QStringLiteral("S3cure-Pass.2026"));
        put(name, QStringLiteral("backupfile"), QStringLiteral("shop.sql"));
        put(name, QStringLiteral("remotedir"), QStringLiteral("/home/shop/backups/"));
        put(name, QStringLiteral("localdir"), localdir);
        put(name, QStringLiteral("httpath"), QStringLiteral("http://www.example.net/backups/"));
        put(name, QStringLiteral("backuptime"), QStringLiteral("%1:%2").arg(name.size() % 24, 2, 10, QLatin1Char('0')).arg(7, 2, 10, QLatin1Char('0')));
        put(name, QStringLiteral("run"), QString::number(run));
        put(name, QStringLiteral("subdirectory"), QStringLiteral("1"));
        put(name, QStringLiteral("method"), QStringLiteral("0"));
    };
    if (count == 0) {
        putTask(QStringLiteral("Bench"), QStringLiteral("127.0.0.1"), QStringLiteral("/tmp/vw-bench-none"), 0);
    } else {
        // Each its own local directory, as real tasks have: no shared-target warnings.
        for (int i = 1; i <= count; ++i) {
            const QString name = QStringLiteral("Task %1").arg(i, 4, 10, QLatin1Char('0'));
            putTask(name, QStringLiteral("www%1.example.net").arg(i), QStringLiteral("/srv/backups/%1").arg(i), 0);
        }
    }
    s.sync();
    return s.status() == QSettings::NoError ? 0 : 1;
}

void waitExposed(QWidget &w);

int retrieve(const QStringList &a)
{
    if (a.size() < 4)
        return usage();
    const bool ftp = a[0] == QLatin1String("ftp");
    BackupTask task = BackupTask::withDefaults(QStringLiteral("Bench"));
    task.host = QStringLiteral("127.0.0.1");
    task.hostpw = a.value(4, QStringLiteral("bench"));
    task.backupfile = a[2];
    task.localdir = a[3];
    task.method = ftp ? 0 : 1;
    task.httpath = QStringLiteral("http://127.0.0.1:%1/").arg(a[1]);
    task.compress = a.value(5, QStringLiteral("0")).toInt();

    LanguageTexts texts;
    texts.refill();
    ProtocolLog log(texts, Clock::system());
    NoProtocolView view;
    log.setView(&view);
    RunEvents events;
    StandInWindow host(events);
    host.show();
    waitExposed(host);
    RetrievalOptions options;
    options.ftpPort = quint16(a[1].toUInt());
    DownloadDispatcher dispatcher(log, texts, events, Clock::system(), options);

    const long rssBefore = statusKb("VmRSS:");
    const Cpu cpu0 = cpuNow();
    QElapsedTimer t;
    t.start();
    bool ok = false;
    {
        QEventLoop wait;
        QObject run;
        dispatcher.StartRetrieval(task, QDateTime(), &run, [&](bool result, const QString &) {
            ok = result;
            wait.quit();
        });
        wait.exec();
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    const Cpu cpu1 = cpuNow();
    const QString stored = dispatcher.LocalTargetFile(task) + CompressionSuffix(CompressionFromSetting(task.compress));
    const qint64 size = QFileInfo(stored).size();
    std::printf("ok=%d seconds=%.3f bytes=%lld rss_before_kb=%ld peak_rss_kb=%ld cpu_ms=%.0f progress_updates=%ld "
                "caption_updates=%ld\n",
                ok ? 1 : 0, seconds, static_cast<long long>(size), rssBefore, statusKb("VmHWM:"),
                cpu1.ms - cpu0.ms, host.progressUpdates, host.captionUpdates);
    for (const QString &l : view.lines)
        std::fprintf(stderr, "%s\n", qPrintable(l));
    return ok ? 0 : 1;
}

TForm1Options benchOptions(const QString &storeFile)
{
    TForm1Options o;
    o.storeFile = storeFile;
    o.logFile = storeFile + QStringLiteral(".log");
    o.confirmClose = [](const QString &) { return true; };
    return o;
}

// Waits until the window is exposed (on screen, as far as the platform says).
void waitExposed(QWidget &w)
{
    QWindow *win = w.windowHandle();
    if (!win || win->isExposed())
        return;
    QEventLoop loop;
    QObject::connect(win, &QWindow::visibleChanged, &loop, [&] {
        if (win->isExposed())
            loop.quit();
    });
    struct ExposeFilter : QObject {
        QEventLoop *loop;
        QWindow *win;
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (o == win && e->type() == QEvent::Expose)
                QTimer::singleShot(0, loop, [this] {
                    if (win->isExposed())
                        loop->quit();
                });
            return false;
        }
    } filter;
    filter.loop = &loop;
    filter.win = win;
    win->installEventFilter(&filter);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    win->removeEventFilter(&filter);
}

int startup(const QStringList &a)
{
    if (a.size() < 1)
        return usage();
    // As main() does between the splash and the message loop.
    const double beforeWindowMs = g_sinceMain.nsecsElapsed() / 1e6;
    EnsureAboutResources();
    QElapsedTimer t;
    t.start();
    TForm1 form(benchOptions(a[0]));
    const double createdMs = t.nsecsElapsed() / 1e6;
    form.show();
    const double shownMs = t.nsecsElapsed() / 1e6;  // FormShow with RefreshTaskList runs inside show()
    waitExposed(form);
    const double exposedMs = t.nsecsElapsed() / 1e6;
    std::printf("app_init_ms=%.1f window_created_ms=%.1f show_returned_ms=%.1f exposed_ms=%.1f since_main_ms=%.1f rows=%d\n",
                beforeWindowMs, createdMs, shownMs, exposedMs, g_sinceMain.nsecsElapsed() / 1e6,
                form.taskList().rowCount());
    return 0;
}

int refresh(const QStringList &a)
{
    if (a.size() < 2)
        return usage();
    TForm1 form(benchOptions(a[0]));
    form.show();
    waitExposed(form);
    const int repeats = qMax(1, a[1].toInt());
    QList<double> ms;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer t;
        t.start();
        form.RefreshTaskList();
        ms.append(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("rows=%d repeats=%d min_ms=%.1f median_ms=%.1f max_ms=%.1f\n", form.taskList().rowCount(), repeats,
                ms.first(), ms.at(ms.size() / 2), ms.last());
    return 0;
}

// Saving one task, as the editor's OK does, into the store.
int save(const QStringList &a)
{
    if (a.size() < 2)
        return usage();
    const TaskStore store(a[0]);
    const QStringList names = store.ListTaskNames();
    if (names.isEmpty())
        return usage();
    const QString name = names.at(names.size() / 2);
    BackupTask task = store.LoadTask(name);
    const int repeats = qMax(1, a[1].toInt());
    QList<double> ms;
    bool ok = true;
    for (int i = 0; i < repeats; ++i) {
        task.database = QStringLiteral("shop_%1").arg(i);
        QElapsedTimer t;
        t.start();
        ok = store.SaveTask(name, task) && ok;
        ms.append(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("ok=%d tasks=%lld repeats=%d min_ms=%.1f median_ms=%.1f max_ms=%.1f\n", ok ? 1 : 0,
                static_cast<long long>(names.size()), repeats, ms.first(), ms.at(ms.size() / 2), ms.last());
    return ok ? 0 : 1;
}

int idleTray(const QStringList &a)
{
    if (a.size() < 2)
        return usage();
    TForm1 form(benchOptions(a[0]));
    form.show();
    waitExposed(form);
    // The offscreen platform has no notification area; act as if it had one,
    // so the window really goes into the tray rather than to the task bar.
    form.notifyIcon()->setTrayAvailabilityProbe([] { return true; });
    form.Minimize1Click();
    waitMs(1000);  // settle: the hide and its repaint are not idle time
    const bool hidden = !form.isVisible();
    const Cpu c0 = cpuNow();
    QElapsedTimer t;
    t.start();
    waitMs(a[1].toInt() * 1000);
    const Cpu c1 = cpuNow();
    std::printf("in_tray=%d seconds=%.1f cpu_ms=%.1f wakeups=%ld\n", hidden ? 1 : 0, t.nsecsElapsed() / 1e9,
                c1.ms - c0.ms, c1.wakeups - c0.wakeups);
    return 0;
}

// One run of the store's first task, started as the menu command does; ends
// when the run has finished.
int runOnce(const QStringList &a, const char *what)
{
    if (a.size() < 2)
        return usage();
    TForm1Options o = benchOptions(a[0]);
    o.telnetPort = quint16(a[1].toUInt());
    o.schedulerIntervalMs = 24 * 3600 * 1000;  // only the run measured here
    TForm1 form(o);
    form.show();
    waitExposed(form);
    waitMs(500);
    bool finished = false;
    QEventLoop done;
    QObject::connect(&form.session(), &RunQueue::runFinished, &done, [&] {
        finished = true;
        done.quit();
    });
    form.taskList().selectRow(0);
    const Cpu c0 = cpuNow();
    QElapsedTimer t;
    t.start();
    form.RunBackupmanually1Click();
    const double startReturnedS = t.nsecsElapsed() / 1e9;
    if (!finished) {
        QTimer::singleShot(60000, &done, &QEventLoop::quit);
        done.exec();
    }
    const Cpu c1 = cpuNow();
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("what=%s finished=%d seconds=%.2f start_returned_s=%.2f cpu_ms=%.1f cpu_percent=%.2f wakeups=%ld "
                "dump_command_chars=%lld\n",
                what, finished ? 1 : 0, seconds, startReturnedS, c1.ms - c0.ms, (c1.ms - c0.ms) / (seconds * 10.0),
                c1.wakeups - c0.wakeups, static_cast<long long>(TelnetDialogue::BuildDumpCommand(form.currentTask()).size()));
    return finished ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    g_sinceMain.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vaultwick"));
    QApplication::setOrganizationName(QStringLiteral("Korvane"));
    QApplication::setQuitOnLastWindowClosed(false);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString mode = args.takeFirst();
    if (mode == QLatin1String("make-store"))
        return makeStore(args);
    if (mode == QLatin1String("retrieve"))
        return retrieve(args);
    if (mode == QLatin1String("startup"))
        return startup(args);
    if (mode == QLatin1String("refresh"))
        return refresh(args);
    if (mode == QLatin1String("save"))
        return save(args);
    if (mode == QLatin1String("idle-tray"))
        return idleTray(args);
    if (mode == QLatin1String("connect-wait"))
        return runOnce(args, "connect-wait");
    if (mode == QLatin1String("paced-send"))
        return runOnce(args, "paced-send");
    return usage();
}
