#pragma once

#include <optional>

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "FakeClock.h"
#include "RecordingProtocolView.h"
#include "RecordingRunEvents.h"
#include "TaskBuilder.h"
#include "engine/ProtocolLog.h"
#include "retrieval/DownloadDispatcher.h"
#include "run/BackupRun.h"
#include "shell/LanguageTexts.h"
#include "tasks/BackupTask.h"

// A dispatcher wired to recording window parts, a fixed clock and a fresh
// local directory, with time limits short enough for tests.
struct RetrievalTestBench {
    explicit RetrievalTestBench(RetrievalOptions options, int language = 0)
        : clock(QDateTime(QDate(2027, 3, 5), QTime(23, 59, 30))), log(texts, clock)
    {
        texts.Language = language;
        texts.refill();
        log.setView(&view);
        dispatcher.emplace(log, texts, events, clock, options);
    }

    static RetrievalOptions shortOptions(quint16 ftpPort = 21)
    {
        RetrievalOptions o;
        o.ftpPort = ftpPort;
        o.connectTimeoutMs = 5000;
        o.acceptTimeoutMs = 700;
        o.stallTimeoutS = 10;
        o.maxRedirects = 3;
        return o;
    }

    BackupTask task(const QString &server = QStringLiteral("127.0.0.1"),
                    const QString &password = QStringLiteral("s3cret:@/pw")) const
    {
        return TaskBuilder(QStringLiteral("nightly"))
            .host(server)
            .login(QStringLiteral("telnet-login"), password)  // never the FTP user
            .localDir(local.path());
    }

    QString localFile(const QString &name = QStringLiteral("backup.sql")) const
    {
        return local.path() + QLatin1Char('/') + name;
    }

    // Runs the retrieval and notes whether the window thread's events ran
    // meanwhile (a zero timer fires only from an event loop).
    bool retrieve(const BackupTask &t, const QDateTime &runStart = QDateTime())
    {
        bool eventsRan = false;
        QTimer::singleShot(0, [&] { eventsRan = true; });
        std::optional<bool> ok;
        QObject run;
        dispatcher->StartRetrieval(t, runStart, &run, [&](bool result, const QString &) { ok = result; });
        if (!QTest::qWaitFor([&] { return ok.has_value(); }, 120000))
            return false;
        windowStayedLive = eventsRan;
        return *ok;
    }

    // The manual download as a whole run: retrieval, then the store stage.
    bool runDownload(const BackupTask &t)
    {
        BackupRun run(t, nullptr, *dispatcher, log, texts, events);
        QSignalSpy finished(&run, &BackupRun::finished);
        run.start();
        if (!QTest::qWaitFor([&] { return finished.size() > 0; }, 120000))
            return false;
        return finished.at(0).at(0).value<RunOutcome>().success;
    }

    FakeClock clock;
    LanguageTexts texts;
    ProtocolLog log;
    RecordingProtocolView view;
    RecordingRunEvents events;
    QTemporaryDir local;
    std::optional<DownloadDispatcher> dispatcher;
    bool windowStayedLive = false;
};
