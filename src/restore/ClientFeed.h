#pragma once

#include <QObject>
#include <QProcess>
#include <functional>

#include "storage/StoredDumpReader.h"

// Streams a stored backup, unpacked on the way, into a database client's
// standard input, never much more than the client has taken: a dump of any
// size passes without filling memory. finished() follows exactly once
// unless the feed is cancelled.
class ClientFeed : public QObject {
    Q_OBJECT
public:
    explicit ClientFeed(bool german, QObject *parent = nullptr);
    ~ClientFeed() override;

    // Sees every chunk of the dump before the client does.
    void setObserver(std::function<void(const QByteArray &)> observer) { m_observer = std::move(observer); }
    void start(const QString &program, const QStringList &arguments, const QString &storedFile);
    // Kills the client; no finished() follows.
    void cancel();

    // The client's first error line ("ERROR 1064 ... at line 57"), or what
    // else it said, or its status.
    static QString firstErrorLine(const QByteArray &standardError, int exitCode, bool german);
    // Keeps the first 64 KiB of what client says on its error output in
    // standardError, and calls failedToStart with the reason it did not start.
    static void watch(QProcess &client, QObject *context, QByteArray &standardError,
                      const std::function<void(const QString &)> &failedToStart);

signals:
    // Unpacked bytes sent, and how far into the stored file (of 1000).
    void progress(qint64 sent, int permille);
    // ok: the client took the whole dump and ended with status 0.
    void finished(bool ok, const QString &reason);

private:
    void feed();
    void stopClient();
    void end(bool ok, const QString &reason);

    bool m_german;
    QProcess m_client;
    StoredDumpReader m_reader;
    QString m_file;
    QByteArray m_stderr;
    std::function<void(const QByteArray &)> m_observer;
    qint64 m_sent = 0;
    bool m_inputClosed = false;
    bool m_done = true;
};
