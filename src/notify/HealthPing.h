#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>

// Tells a health-check service about each run, in the convention the common
// services share: URL + "/start" when a run starts, the URL itself when it
// stored its backup, URL + "/fail" when it did not. The service then raises
// the alarm when no ping comes, which nothing on a desktop that is off or
// asleep can. Sent through libcurl on a thread of its own with certificate
// checks and a time limit; a ping never changes a run's outcome.
class HealthPing : public QObject {
    Q_OBJECT
public:
    enum class Kind { Start, Success, Fail };
    struct Limits {
        int totalTimeoutMs = 10000;
        QString caFile;  // empty: the system's certificate authorities
    };
    // The most of the run's protocol a ping carries.
    static constexpr qsizetype MaxBody = 10 * 1024;

    explicit HealthPing(QObject *parent = nullptr);
    ~HealthPing() override;

    void setLimits(const Limits &limits) { m_limits = limits; }
    // body: the run's last protocol lines (no passwords are in them); the
    // last MaxBody bytes go.
    void ping(const QString &url, Kind kind, const QByteArray &body, const QString &taskName);
    int pending() const { return m_pending; }

    static QString urlFor(const QString &url, Kind kind);
    // Posts on the calling thread; the error text, empty on success.
    static QString deliver(const QString &url, const QByteArray &body, const Limits &limits,
                           const std::atomic_bool &cancel);

signals:
    void finished(const QString &taskName, bool ok, const QString &error);
    // No ping is under way any more.
    void settled();

private:
    Limits m_limits;
    QThread m_thread;
    QObject *m_worker = nullptr;
    std::atomic_bool m_cancel{false};
    int m_pending = 0;
};
