#pragma once

#include <QDateTime>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTemporaryDir>

#include "FakeClock.h"
#include "SpinWait.h"
#include "TaskBuilder.h"
#include "engine/TForm1.h"

inline constexpr const char *kDumpTail = "-- Dump completed on 2026-12-07 12:00:01\n";

inline QTime at(int h, int m, int s) { return QTime(h, m, s); }

// What the main window tests share: a store and log of their own per case,
// a clock the tests set, and a recorded answer to the close question.
class MainWindowFixture {
protected:
    QTemporaryDir m_dir;
    FakeClock m_clock{QDateTime(QDate(2026, 12, 7), QTime(12, 0, 3))};
    QStringList m_questions;
    bool m_answer = false;
    int m_n = 0;

    // Before each case.
    void reset()
    {
        ++m_n;
        m_clock.set(QDateTime(QDate(2026, 12, 7), QTime(12, 0, 3)));
        m_questions.clear();
        m_answer = false;
    }

    TForm1Options options()
    {
        TForm1Options o;
        o.storeFile = m_dir.filePath(QStringLiteral("store%1.conf").arg(m_n));
        o.logFile = m_dir.filePath(QStringLiteral("vaultwck%1.log").arg(m_n));
        o.clock = &m_clock;
        o.pacing.lineDelayMs = 5;
        o.pacing.charDelayMs = 0;
        o.pacing.connectWaitMs = 2000;
        o.schedulerIntervalMs = 3600 * 1000;  // the tests tick by hand
        o.confirmClose = [this](const QString &q) {
            m_questions << q;
            return m_answer;
        };
        return o;
    }

    static BackupTask task(const QString &name, const QString &time, int run, const QString &host = QString())
    {
        // Distinct targets unless a test wants them shared.
        return TaskBuilder(name).file(name + QStringLiteral(".sql")).at(time, run).host(host);
    }

    // Shown a minute before the tasks' time, so showing starts nothing.
    void showBefore(TForm1 &w)
    {
        m_clock.set(QDateTime(QDate(2026, 12, 7), QTime(11, 59, 10)));
        w.show();
    }

    void tickAt(TForm1 &w, QTime time)
    {
        m_clock.set(QDateTime(QDate(2026, 12, 7), time));
        w.Timer1Timer();
    }

    static QString protocolText(TForm1 &w)
    {
        return w.findChild<QPlainTextEdit *>(QStringLiteral("Memo2"))->toPlainText();
    }

    static bool waitIdle(TForm1 &w, int ms = 8000)
    {
        return SpinUntil([&] { return !w.session().isBusy(); }, ms);
    }
};
