#include "tasks/SshConnectionTest.h"

#include <QMessageBox>

#include "shell/LanguageTexts.h"
#include "ssh/DumpSink.h"
#include "ssh/KnownHosts.h"
#include "ssh/SshDumpCommand.h"
#include "ssh/SshJobRunner.h"
#include "ssh/SshTexts.h"
#include "tasks/HostProbe.h"

SshConnectionTest::SshConnectionTest(QWidget *window, const LanguageTexts &language)
    : QObject(window), m_window(window), m_language(language)
{
    // A test answers within seconds or says why; it holds nothing for hours.
    m_settings.limits.connectTimeoutMs = 15000;
    m_settings.limits.replyTimeoutS = 30;
    m_settings.limits.dumpLimitMs = 60000;
}

SshConnectionTest::~SshConnectionTest() = default;

QString SshConnectionTest::pick(const QString &english, const QString &german) const
{
    return m_language.german() ? german : english;
}

bool SshConnectionTest::isRunning() const
{
    return m_runner && m_runner->isRunning();
}

void SshConnectionTest::start(const BackupTask &task)
{
    if (isRunning())
        return;
    if (m_box)
        m_box->close();
    m_task = task;
    m_output = std::make_shared<MemorySink>();
    m_runner = std::make_unique<SshJobRunner>();
    connect(m_runner.get(), &SshJobRunner::finished, this, &SshConnectionTest::finished);
    m_runner->start(SshProbeRequestFor(task, m_settings), m_output);
    emit runningChanged(true);
}

void SshConnectionTest::cancel()
{
    const bool wasRunning = isRunning();
    m_runner.reset();  // drops the late result
    if (m_box)
        m_box->close();
    if (wasRunning)
        emit runningChanged(false);
}

void SshConnectionTest::show(int icon, const QString &text, bool question)
{
    if (m_box)
        m_box->close();
    auto *box = new QMessageBox(QMessageBox::Icon(icon), pick(QStringLiteral("Test connection"),
                                                               QStringLiteral("Verbindung testen")),
                                text, question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, m_window);
    box->setObjectName(QStringLiteral("SshTestMessage"));
    // The server's texts are shown as they are, never as markup.
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (question)
        box->setDefaultButton(QMessageBox::No);
    m_box = box;
    box->open();  // window-modal, without a loop of its own
}

void SshConnectionTest::finished(const SshDumpResult &result)
{
    emit runningChanged(false);
    const bool german = m_language.german();
    const quint16 port = SshVersionCheckRequestFor(m_task, m_settings).port;
    if (result.failure == SshFailure::HostKeyUnknown && !result.knownHostsEntry.isEmpty()) {
        offerHostKey(result);
        return;
    }
    if (!result.succeeded()) {
        show(result.failure == SshFailure::HostKeyChanged ? QMessageBox::Critical : QMessageBox::Warning,
             SshTexts::failure(result, m_task.host, port, german));
        return;
    }
    const HostProbe probe = HostProbe::parse(m_output->data());
    QString text = pick(QStringLiteral("The connection to %1 works.\n\nHost key: %2 %3\nLogin: %4 with %5\n"),
                        QStringLiteral("Die Verbindung zu %1 funktioniert.\n\nHost-Schlüssel: %2 %3\nAnmeldung: %4 mit %5\n"))
                       .arg(m_task.host, result.keyType, result.fingerprint, m_task.hostuser,
                            SshTexts::authMethod(result.authMethod, result.authKeyName, german))
        + probe.report(m_task, german);
    const QString offer = probe.offer(m_task, german);
    if (offer.isEmpty()) {
        show(QMessageBox::Information, text);
        return;
    }
    show(QMessageBox::Question, text + QStringLiteral("\n\n") + offer, true);
    const bool noTablespaces = probe.offerNoTablespaces(m_task);
    const bool mariadbDump = probe.offerMariadbDump(m_task);
    connect(m_box.data(), &QMessageBox::finished, this, [this, noTablespaces, mariadbDump](int answer) {
        if (answer == QMessageBox::Yes)
            emit settingsOffered(noTablespaces, mariadbDump);
    });
}

void SshConnectionTest::offerHostKey(const SshDumpResult &result)
{
    show(QMessageBox::Question,
         pick(QStringLiteral("The host %1 is not known yet. Its key:\n\n%2 %3\n\nCompare this fingerprint with the one "
                             "your provider gives you. Trust this key from now on?"),
              QStringLiteral("Der Host %1 ist noch nicht bekannt. Sein Schlüssel:\n\n%2 %3\n\nVergleichen Sie diesen "
                             "Fingerabdruck mit dem Ihres Providers. Diesem Schlüssel ab jetzt vertrauen?"))
             .arg(m_task.host, result.keyType, result.fingerprint),
         true);
    const QByteArray entry = result.knownHostsEntry;
    connect(m_box.data(), &QMessageBox::finished, this, [this, entry](int answer) {
        if (answer != QMessageBox::Yes)
            return;
        SshDumpRequest where;
        where.knownHostsFile = m_settings.knownHostsFile;
        where.sshDirectory = m_settings.sshDirectory;
        QString error;
        if (!AcceptHostKey(where.knownHostsPath(), entry, &error)) {
            show(QMessageBox::Warning, pick(QStringLiteral("The key could not be saved in %1: %2"),
                                            QStringLiteral("Der Schlüssel konnte nicht in %1 gespeichert werden: %2"))
                                           .arg(where.knownHostsPath(), error));
            return;
        }
        start(m_task);  // and now the login and the version check
    });
}
