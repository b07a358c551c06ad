#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class StoredDumpReader;

// What one call of rclone or restic came to.
struct ToolResult {
    bool started = true;
    int exitCode = -1;
    bool crashed = false;      // killed, or it died
    QByteArray output;         // standard output, up to a limit
    QString lastError;         // the tool's own last error line, or why it did not start

    bool ok() const { return started && !crashed && exitCode == 0; }
};

// One call of an off-site tool at a time, as a step of a chain: run() calls
// back when the program has ended, never before it returns. Its error output
// is read as it comes (progress lines go to line()); nothing waits.
class ToolProcess : public QObject {
    Q_OBJECT
public:
    ToolProcess(const QString &program, bool german, QObject *parent = nullptr);
    ~ToolProcess() override;

    // Arguments every call gets first (a configuration file, a repository).
    void setCommonArguments(const QStringList &arguments) { m_common = arguments; }
    // Variables removed from the tool's environment.
    void setRemovedVariables(const QStringList &names) { m_removed = names; }
    void run(const QStringList &arguments, std::function<void(const ToolResult &)> done);
    // The stored backup, unpacked, on the tool's input. A file that cannot be
    // read to its end kills the tool rather than close its input, so the
    // tool never takes a short dump for a whole one.
    void runFeeding(const QStringList &arguments, const QString &storedFile,
                    std::function<void(const ToolResult &)> done);
    // Standard output into this file instead of output (for a dump).
    void setOutputFile(const QString &path) { m_outputFile = path; }
    bool isRunning() const { return m_process && m_process->state() != QProcess::NotRunning; }
    // Stops the tool (an interrupt first, so it can clean up; killed after a
    // few seconds); no callback follows.
    void cancel();
    // The program is closing: stop it now, waiting briefly for its end.
    void stopNow();

    // The last line of the tool's error output that says what went wrong.
    static QString lastErrorLine(const QByteArray &standardError);

signals:
    void line(const QString &text);   // each line of error output as it comes
    void outputLine(const QByteArray &line);  // each line of standard output (restic's JSON)
    void fed(qint64 bytes, int permille);

private:
    void launch(const QStringList &arguments);
    void readError();
    void readOutput();
    void feed();
    void ended(int exitCode, QProcess::ExitStatus status);
    void failWith(const QString &why);

    QString m_program;
    bool m_german;
    QStringList m_common;
    QStringList m_removed;
    QString m_outputFile;
    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<StoredDumpReader> m_reader;
    std::function<void(const ToolResult &)> m_done;
    QByteArray m_stderr;
    QByteArray m_stderrPartial;
    QByteArray m_stdoutPartial;
    ToolResult m_result;
    QString m_feedFailure;
    qint64 m_fed = 0;
    bool m_inputClosed = false;
};
