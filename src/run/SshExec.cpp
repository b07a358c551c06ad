#include "run/SshExec.h"

#include <QTimer>

#include "engine/Clock.h"
#include "engine/ServerText.h"
#include "retrieval/LocalTarget.h"
#include "run/HostValueCheck.h"
#include "shell/LanguageTexts.h"
#include "ssh/DumpSink.h"
#include "ssh/SshDumpCommand.h"
#include "ssh/SshJobRunner.h"
#include "ssh/SshTexts.h"
#include "ssh/StoredDumpSink.h"
#include "tasks/DatabaseList.h"

SshExec::SshExec(const LanguageTexts &texts, const Clock &clock, SshClientSettings settings, QObject *parent)
    : Transport(parent), m_texts(texts), m_clock(clock), m_settings(std::move(settings))
{
}

SshExec::~SshExec() = default;

void SshExec::start(const BackupTask &task)
{
    if (m_running)
        return;
    m_running = true;
    m_connected = false;
    m_task = task;
    m_listing.reset();
    const SshDumpRequest request = SshDumpRequestFor(task, m_settings);
    emit progress(10);
    // Only the command: the password travels in the option file, which no log sees.
    emit lineSent(request.command);
    const QString target = LocalTargetFile(task, m_clock.now().date());
    if (request.host.isEmpty() || target.isEmpty()) {
        const QString text = request.host.isEmpty()
            ? QStringLiteral("Unknown host - no connection")
            : m_texts.pick(QStringLiteral("No local storage directory - nothing to store into"),
                           QStringLiteral("Kein lokales Sicherungsverzeichnis - nichts zu speichern"));
        emit protocolLine(text);
        end({false, false, QString(), text, QString(), QString(), {}});
        return;
    }
    const QString refusal = DumpValueRefusal(task, m_texts.german());
    if (!refusal.isEmpty()) {
        emit protocolLine(refusal);
        end({false, false, QString(), refusal, refusal, QString(), {}});
        return;
    }
    emit protocolLine(SshTexts::connecting(request.host, request.port, m_texts.german()));

    auto sink = std::make_shared<StoredDumpSink>(target, StoreOptions::ForTask(task),
                                                 task.hostcompress == QLatin1String("auto"));
    makeRunner();
    connect(m_runner.get(), &SshJobRunner::received, this, &SshExec::received);
    connect(m_runner.get(), &SshJobRunner::finished, this, [this, sink, target](SshDumpResult result) {
        m_storedFile = sink->storedPath();
        // Why the store refused is worded as for every transport.
        result.storeFailure = sink->failure();
        result.localFile = target;
        finish(result);
    });
    m_runner->start(request, sink);
}

void SshExec::startListing(const BackupTask &task)
{
    if (m_running)
        return;
    m_running = true;
    m_connected = false;
    m_task = task;
    m_storedFile.clear();
    const SshDumpRequest request = SshListingRequestFor(task, m_settings);
    emit lineSent(request.command);
    if (request.host.isEmpty()) {
        const QString text = QStringLiteral("Unknown host - no connection");
        emit protocolLine(text);
        end({false, false, QString(), text, QString(), QString(), {}});
        return;
    }
    emit protocolLine(SshTexts::connecting(request.host, request.port, m_texts.german()));
    m_listing = std::make_shared<MemorySink>();
    makeRunner();
    connect(m_runner.get(), &SshJobRunner::finished, this, &SshExec::finish);
    m_runner->start(request, m_listing);
}

void SshExec::makeRunner()
{
    m_runner = std::make_unique<SshJobRunner>();
    connect(m_runner.get(), &SshJobRunner::connected, this, [this] {
        m_connected = true;
        emit progress(25);
        emit protocolLine(QStringLiteral("Connection established"));
    });
    connect(m_runner.get(), &SshJobRunner::hostKeyVerified, this, [this](const QString &fingerprint) {
        emit protocolLine(SshTexts::hostKeyVerified(fingerprint, m_texts.german()));
    });
    connect(m_runner.get(), &SshJobRunner::authenticated, this, [this](SshAuthMethod method, const QString &key) {
        emit progress(35);
        emit protocolLine(SshTexts::loggedIn(m_task.hostuser, method, key, m_texts.german()));
    });
    connect(m_runner.get(), &SshJobRunner::commandStarted, this, [this] {
        emit progress(40);
        emit protocolLine(m_listing ? DatabaseList::listingStarted(m_texts.german())
                                    : SshTexts::dumpStarted(m_texts.german()));
    });
}

void SshExec::cancel()
{
    if (!m_running)
        return;
    if (m_runner)
        m_runner->cancel();  // its late result is dropped
    SshDumpResult cancelled;
    cancelled.failure = SshFailure::Cancelled;
    // Like every other end of the transport, from the event loop.
    QTimer::singleShot(0, this, [this, cancelled] { finish(cancelled); });
}

void SshExec::finish(const SshDumpResult &result)
{
    if (!m_running)
        return;
    const bool german = m_texts.german();
    if (result.succeeded() || result.streamEnded)
        emit progress(60);
    if (result.succeeded() && m_listing) {
        TransportResult listed {true, true, QString(), QString(), QString(), QString(), {}};
        listed.databases = DatabaseList::fromListing(m_listing->data());
        end(listed);
        return;
    }
    if (result.succeeded()) {
        emit protocolLine(SshTexts::dumpFinished(result.bytes, german));
        end({true, true, m_storedFile, QString(), QString(), QString(), {}});
        return;
    }
    QString text = SshTexts::failure(result, m_task.host, SshDumpRequestFor(m_task, m_settings).port, german);
    if (m_listing && result.failure == SshFailure::ExitStatus)
        text = DatabaseList::listingFailed(cleanServerText(result.lastStderrLine()), german);
    TransportResult failed;
    failed.sessionOpened = m_connected;  // then the run writes the reason itself
    failed.reason = text;
    // Why belongs in the Message as well: an unknown host key's fingerprint
    // is what the user has to check.
    failed.message = text;
    if (!m_connected)
        emit protocolLine(text);
    end(failed);
}

void SshExec::end(TransportResult result)
{
    m_running = false;
    emit finished(result);
}
