#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>

#include "notify/MailSettings.h"

// Sends mail through libcurl's SMTP on a thread of its own, one mail after
// the other, so neither a run nor the window ever waits for a mail server.
// Each mail's result comes back as finished() on the thread that owns the
// sender; mail still under way when the sender goes is abandoned.
class MailSender : public QObject {
    Q_OBJECT
public:
    struct Limits {
        int connectTimeoutMs = 20000;
        int totalTimeoutMs = 60000;
        QString caFile;  // empty: the system's certificate authorities
    };

    explicit MailSender(QObject *parent = nullptr);
    ~MailSender() override;

    void setLimits(const Limits &limits) { m_limits = limits; }

    // message: the whole mail as FailureMail::compose made it. tag comes
    // back with the result.
    void send(const MailSettings &settings, const QByteArray &message, const QString &tag = QString());
    // Mails handed over and not yet answered.
    int pending() const { return m_pending; }

    // The error of a login that would go in clear without the user's consent.
    static QString plainLoginRefusedText(bool english);

    // Sends on the calling thread; the error text, empty on success. A login
    // without TLS is refused unless settings.plainPassword allows it, so a
    // hand-edited store cannot send the password in clear either.
    static QString deliver(const MailSettings &settings, const QByteArray &message, const Limits &limits,
                           const std::atomic_bool &cancel);

signals:
    void finished(const QString &tag, bool ok, const QString &error);

private:
    Limits m_limits;
    QThread m_thread;
    QObject *m_worker = nullptr;
    std::atomic_bool m_cancel{false};
    int m_pending = 0;
};
