#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

struct MailSettings;

struct MailMessage {
    QString subject;
    QString body;
};

// What a failed run tells the mail.
struct FailedRunReport {
    QString task;
    QString host;
    QDateTime time;
    QString reason;
    QStringList protocolLines;  // the run's last lines
    QStringList secrets;        // passwords: never written into a mail
    bool storedButUnproven = false;  // the backup is stored; its test restore failed
    bool offsiteFailed = false;      // or, with storedButUnproven: its off-site copy failed
};

// The short mails about failures, in the interface language, and the message
// as it goes over the wire.
namespace FailureMail {

// How many of a run's last protocol lines a mail carries.
constexpr int ProtocolLines = 15;

MailMessage failedRun(bool english, const FailedRunReport &report);
MailMessage overdue(bool english, const QString &task, const QString &host, const QDateTime &since,
                    const QDateTime &now);
MailMessage test(bool english, const QDateTime &now);

// Headers and body with CRLF line ends; header values cannot break out of
// their line, and texts outside ASCII are encoded.
QByteArray compose(const MailSettings &settings, const MailMessage &message, const QDateTime &date);

// The protocol lines about the mail itself.
QString sentLine(bool english, const QString &recipient);
QString notSentLine(bool english, const QString &error);

}  // namespace FailureMail
