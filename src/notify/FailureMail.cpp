#include "notify/FailureMail.h"

#include <QLocale>
#include <QSysInfo>

#include "notify/MailSender.h"
#include "notify/MailSettings.h"
#include "schedule/ScheduleTexts.h"

namespace FailureMail {

namespace {
QString stamp(bool english, const QDateTime &t)
{
    return ScheduleTexts::date(english, t.date()) + QLatin1Char(' ') + t.toString(QStringLiteral("HH:mm:ss"));
}

QString masked(QString text, const QStringList &secrets)
{
    for (const QString &secret : secrets) {
        if (!secret.isEmpty())
            text.replace(secret, QStringLiteral("********"));
    }
    return text;
}

bool isAscii(const QByteArray &bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) > 126)
            return false;
    }
    return true;
}

// A header value on one line: line breaks would start headers of their own.
QString oneLine(QString value)
{
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value.trimmed();
}

// RFC 2047 encoded words of at most 45 bytes each, never splitting a character.
QByteArray encodedHeader(const QString &value)
{
    const QByteArray utf8 = oneLine(value).toUtf8();
    if (isAscii(utf8))
        return utf8;
    QByteArray out;
    int start = 0;
    while (start < utf8.size()) {
        int end = qMin<int>(start + 45, utf8.size());
        while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            --end;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + utf8.mid(start, end - start).toBase64() + "?=";
        start = end;
    }
    return out;
}

QByteArray crlfBody(const QString &body)
{
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.toUtf8().replace("\n", "\r\n");
}
}

MailMessage failedRun(bool english, const FailedRunReport &r)
{
    MailMessage m;
    if (r.storedButUnproven && r.offsiteFailed)
        m.subject = english
            ? QStringLiteral("Vaultwick: backup of %1 stored locally, but its off-site copy failed").arg(oneLine(r.task))
            : QStringLiteral("Vaultwick: Backup von %1 lokal gespeichert, aber die externe Kopie scheiterte")
                  .arg(oneLine(r.task));
    else if (r.storedButUnproven)
        m.subject = english ? QStringLiteral("Vaultwick: backup of %1 stored, but its test restore failed").arg(oneLine(r.task))
                            : QStringLiteral("Vaultwick: Backup von %1 gespeichert, aber die Testwiederherstellung scheiterte")
                                  .arg(oneLine(r.task));
    else
        m.subject = english ? QStringLiteral("Vaultwick: backup of %1 failed").arg(oneLine(r.task))
                            : QStringLiteral("Vaultwick: Backup von %1 gescheitert").arg(oneLine(r.task));
    QStringList lines;
    lines << QStringLiteral("Task: ") + r.task
          << QStringLiteral("Host: ") + r.host
          << (english ? QStringLiteral("Time: ") : QStringLiteral("Zeit: ")) + stamp(english, r.time)
          << (english ? QStringLiteral("Reason: ") : QStringLiteral("Grund: ")) + r.reason;
    if (!r.protocolLines.isEmpty()) {
        lines << QString() << (english ? QStringLiteral("Last protocol lines:") : QStringLiteral("Letzte Protokollzeilen:"));
        lines << r.protocolLines.mid(qMax<qsizetype>(0, r.protocolLines.size() - ProtocolLines));
    }
    m.body = masked(lines.join(QLatin1Char('\n')), r.secrets);
    return m;
}

MailMessage overdue(bool english, const QString &task, const QString &host, const QDateTime &since,
                    const QDateTime &now)
{
    MailMessage m;
    m.subject = english ? QStringLiteral("Vaultwick: no successful backup of %1 since %2")
                              .arg(oneLine(task), ScheduleTexts::date(true, since.date()))
                        : QStringLiteral("Vaultwick: kein erfolgreiches Backup von %1 seit %2")
                              .arg(oneLine(task), ScheduleTexts::date(false, since.date()));
    m.body = QStringList{QStringLiteral("Task: ") + task, QStringLiteral("Host: ") + host,
                         (english ? QStringLiteral("Time: ") : QStringLiteral("Zeit: ")) + stamp(english, now),
                         (english ? QStringLiteral("Last successful backup: ")
                                  : QStringLiteral("Letztes erfolgreiches Backup: "))
                             + stamp(english, since)}
                 .join(QLatin1Char('\n'));
    return m;
}

MailMessage test(bool english, const QDateTime &now)
{
    MailMessage m;
    m.subject = english ? QStringLiteral("Vaultwick: test mail") : QStringLiteral("Vaultwick: Testnachricht");
    m.body = (english ? QStringLiteral("This test mail from %1 shows that failure mail reaches you (%2).")
                      : QStringLiteral("Diese Testnachricht von %1 zeigt, dass Fehler-Mails Sie erreichen (%2)."))
                 .arg(QSysInfo::machineHostName(), stamp(english, now));
    return m;
}

QByteArray compose(const MailSettings &settings, const MailMessage &message, const QDateTime &date)
{
    const QByteArray body = crlfBody(message.body);
    QByteArray out;
    out += "Date: " + QLocale::c().toString(date, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")).toLatin1();
    const int offset = date.offsetFromUtc() / 60;
    out += QStringLiteral("%1%2%3\r\n")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
               .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0'))
               .toLatin1();
    out += "From: " + encodedHeader(settings.sender) + "\r\n";
    out += "To: " + encodedHeader(settings.recipient) + "\r\n";
    out += "Subject: " + encodedHeader(message.subject) + "\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: text/plain; charset=UTF-8\r\n";
    if (isAscii(body)) {
        out += "Content-Transfer-Encoding: 7bit\r\n\r\n" + body;
    } else {
        out += "Content-Transfer-Encoding: base64\r\n\r\n";
        const QByteArray encoded = body.toBase64();
        for (int i = 0; i < encoded.size(); i += 76)
            out += encoded.mid(i, 76) + "\r\n";
    }
    if (!out.endsWith("\r\n"))
        out += "\r\n";
    return out;
}

QString sentLine(bool english, const QString &recipient)
{
    return english ? QStringLiteral("Mail sent to ") + recipient : QStringLiteral("Mail an %1 gesendet").arg(recipient);
}

QString notSentLine(bool english, const QString &error)
{
    // The sender's own refusal speaks the interface language; server texts stay as they are.
    const QString shown = !english && error == MailSender::plainLoginRefusedText(true)
        ? MailSender::plainLoginRefusedText(false)
        : error;
    return (english ? QStringLiteral("Mail could not be sent: ") : QStringLiteral("Mail konnte nicht gesendet werden: "))
           + shown;
}

}  // namespace FailureMail
