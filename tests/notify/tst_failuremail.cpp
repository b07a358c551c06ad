#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "RequirePeer.h"
#include "SmtpServerFixture.h"
#include "notify/FailureMail.h"
#include "notify/MailSender.h"
#include "notify/MailSettings.h"
#include "tasks/TaskStore.h"

namespace {
const QDateTime kNow(QDate(2026, 12, 7), QTime(12, 0, 41), QTimeZone(3600));

MailSettings settingsFor(quint16 port)
{
    MailSettings m;
    m.server = QStringLiteral("127.0.0.1");
    m.port = port;
    m.user = QStringLiteral("backup");
    m.password = QStringLiteral("m4il-Secret");
    m.sender = QStringLiteral("Vaultwick <vaultwick@example.org>");
    m.recipient = QStringLiteral("admin@example.org");
    return m;
}

FailedRunReport report()
{
    return {QStringLiteral("Shop"), QStringLiteral("shop.example.org"), kNow,
            QStringLiteral("!!! Not Successful on 12/07/2026 12:00:41"),
            {QStringLiteral("Connected: shop.example.org"), QStringLiteral("sent h0st-Secret by mistake"),
             QStringLiteral("mysqldump: access denied for dbSecret"), QStringLiteral("HTTP-Download failed")},
            {QStringLiteral("h0st-Secret"), QStringLiteral("dbSecret"), QStringLiteral("m4il-Secret")}};
}

// Sends one mail and returns the result the sender reported.
QList<QVariant> sendAndWait(MailSender &sender, const MailSettings &settings, const MailMessage &message)
{
    QSignalSpy done(&sender, &MailSender::finished);
    sender.send(settings, FailureMail::compose(settings, message, kNow), QStringLiteral("tag"));
    if (!done.wait(30000))
        return {};
    return done.takeFirst();
}
}

class TestFailureMail : public QObject {
    Q_OBJECT
private slots:
    void failedRunMailArrivesWithItsSubjectAndNoPassword()
    {
        SmtpServerFixture server({QStringLiteral("backup"), QStringLiteral("m4il-Secret"), false});
        if (!server.start())
            VW_SKIP(qPrintable(QStringLiteral("no SMTP server here: ") + server.errorString()));
        MailSender sender;
        const QList<QVariant> result = sendAndWait(sender, settingsFor(server.port()), FailureMail::failedRun(true, report()));
        QVERIFY2(!result.isEmpty() && result[1].toBool(), qPrintable(result.value(2).toString()));
        QCOMPARE(sender.pending(), 0);

        const QList<SmtpServerFixture::Mail> mails = server.mails();
        QCOMPARE(mails.size(), 1);
        const QByteArray data = mails[0].data;
        QVERIFY(data.contains("\r\nSubject: Vaultwick: backup of Shop failed\r\n"));
        QVERIFY(data.contains("Task: Shop\r\nHost: shop.example.org\r\nTime: 12/07/2026 12:00:41\r\n"));
        QVERIFY(data.contains("HTTP-Download failed"));
        for (const char *secret : {"h0st-Secret", "dbSecret", "m4il-Secret"})
            QVERIFY2(!data.contains(secret), secret);
        QCOMPARE(mails[0].sender, QStringLiteral("vaultwick@example.org"));
        QCOMPARE(mails[0].recipients, QStringLiteral("admin@example.org"));
        QCOMPARE(mails[0].login, QStringLiteral("backup"));
    }

    void startTlsCarriesTheLogin()
    {
        SmtpServerFixture server({QStringLiteral("backup"), QStringLiteral("m4il-Secret"), true});
        if (!server.start())
            VW_SKIP(qPrintable(QStringLiteral("no SMTP server with TLS here: ") + server.errorString()));
        MailSettings settings = settingsFor(server.port());
        MailSender sender;
        // Without STARTTLS this server refuses; with it (trusting the test's
        // certificate) the mail goes through.
        QList<QVariant> result = sendAndWait(sender, settings, FailureMail::test(false, kNow));
        QVERIFY(!result.isEmpty() && !result[1].toBool());
        settings.security = MailSettings::StartTls;
        sender.setLimits({20000, 60000, server.certificateFile()});
        result = sendAndWait(sender, settings, FailureMail::test(false, kNow));
        QVERIFY2(!result.isEmpty() && result[1].toBool(), qPrintable(result.value(2).toString()));
        QCOMPARE(server.mails().size(), 1);
        QVERIFY(server.mails()[0].data.contains("Subject: Vaultwick: Testnachricht\r\n"));
    }

    void unreachableServerReportsAnErrorLine()
    {
        MailSender sender;
        sender.setLimits({3000, 5000, QString()});
        const QList<QVariant> result = sendAndWait(sender, settingsFor(LoopbackServerProcess::unusedPort()),
                                                   FailureMail::failedRun(false, report()));
        QVERIFY(!result.isEmpty());
        QVERIFY(!result[1].toBool());
        QVERIFY(!result[2].toString().isEmpty());
        QVERIFY(FailureMail::notSentLine(false, result[2].toString())
                    .startsWith(QStringLiteral("Mail konnte nicht gesendet werden: ")));
    }

    void germanSubjectOutsideAsciiIsEncoded()
    {
        FailedRunReport r = report();
        r.task = QStringLiteral("Bäckerei\r\nBcc: evil@example.org");
        const QByteArray data = FailureMail::compose(settingsFor(25), FailureMail::failedRun(false, r), kNow);
        QVERIFY(!data.contains("\nBcc:"));
        const int start = data.indexOf("Subject: =?UTF-8?B?") + 19;
        const QByteArray word = data.mid(start, data.indexOf("?=", start) - start);
        QVERIFY(QString::fromUtf8(QByteArray::fromBase64(word)).startsWith(QStringLiteral("Vaultwick: Backup von Bäckerei")));
        QVERIFY(data.contains("Date: Mon, 07 Dec 2026 12:00:41 +0100\r\n"));
    }

    void settingsAreKeptAsTextInThePrivateStore()
    {
        QTemporaryDir dir;
        const TaskStore store(dir.filePath(QStringLiteral("store.ini")));
        QVERIFY(!MailSettings::read(store).isSet());  // off by default
        MailSettings m = settingsFor(2525);
        m.security = MailSettings::Tls;
        QVERIFY(m.save(store));
        QCOMPARE(MailSettings::read(store), m);
        QCOMPARE(QFile::permissions(store.fileName()) & 0x0077, QFileDevice::Permissions());
    }
};

QTEST_GUILESS_MAIN(TestFailureMail)
#include "tst_failuremail.moc"
