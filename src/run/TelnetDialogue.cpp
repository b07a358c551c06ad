#include "run/TelnetDialogue.h"

#include <QRandomGenerator>

#include "engine/ClientOptionValue.h"
#include "engine/ServerText.h"
#include "engine/ShellQuote.h"
#include "run/HostValueCheck.h"
#include "shell/LanguageTexts.h"
#include "tasks/DatabaseList.h"
#include "tasks/DumpOptions.h"
#include "telnet/TelnetClient.h"

namespace {
const QString kMask = QStringLiteral("********");

// Drops ESC sequences: CSI (ESC [ ... final byte), OSC (ESC ] ... BEL or
// ESC \) and any other ESC with the character after it. Shells put these
// around their prompts (bracketed paste, window titles).
QByteArray withoutControlSequences(const QByteArray &text)
{
    if (!text.contains('\x1b'))
        return text;
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = text.at(i);
        if (c != '\x1b') {
            out.append(c);
            continue;
        }
        if (i + 1 >= n)
            break;
        const char kind = text.at(i + 1);
        i += 1;
        if (kind == '[') {
            while (i + 1 < n) {
                const uchar b = uchar(text.at(++i));
                if (b >= 0x40 && b <= 0x7e)
                    break;
            }
        } else if (kind == ']') {
            while (i + 1 < n) {
                const char b = text.at(++i);
                if (b == '\x07')
                    break;
                if (b == '\x1b' && i + 1 < n && text.at(i + 1) == '\\') {
                    ++i;
                    break;
                }
            }
        }
    }
    return out;
}
}

TelnetDialogue::TelnetDialogue(TTelnetClient &client, const LanguageTexts &texts, SessionPacing pacing,
                               QObject *parent)
    : Transport(parent), m_client(client), m_texts(texts), m_pacing(pacing)
{
    for (QTimer *t : {&m_connectTimer, &m_sendTimer, &m_watchdog, &m_exitTimer})
        t->setSingleShot(true);
    m_sendTimer.setTimerType(Qt::PreciseTimer);
    m_watchdog.setTimerType(Qt::CoarseTimer);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        m_client.setConnected(false);
        connectFailed(QStringLiteral("No connection established"));
    });
    connect(&m_sendTimer, &QTimer::timeout, this, &TelnetDialogue::sendStep);
    connect(&m_watchdog, &QTimer::timeout, this, &TelnetDialogue::onWatchdog);
    connect(&m_exitTimer, &QTimer::timeout, this, &TelnetDialogue::onExitLimit);
}

TelnetDialogue::~TelnetDialogue()
{
    disconnect(&m_client, nullptr, this, nullptr);
    if (m_state == State::Connecting || m_state == State::Session)
        m_client.setConnected(false);
}

QString TelnetDialogue::BuildDumpCommand(const BackupTask &task, const QString &remoteFile)
{
    QString cmd = DumpOptions::invocation(task);
    cmd += QStringLiteral(" > ") + ShellQuotePath(task.remotedir + (remoteFile.isEmpty() ? task.backupfile : remoteFile));
    return cmd;
}

namespace {
// backupfile split before its last dot; a name starting with its only dot has no extension.
std::pair<QString, QString> stemAndExtension(const QString &backupfile)
{
    const qsizetype dot = backupfile.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {backupfile, QString()};
    return {backupfile.left(dot), backupfile.mid(dot)};
}
} // namespace

QString TelnetDialogue::RandomRemoteName(const QString &backupfile)
{
    const auto [stem, extension] = stemAndExtension(backupfile);
    QByteArray random(5, '\0');
    QRandomGenerator::system()->generate(random.begin(), random.end());
    return stem + QLatin1Char('-') + QString::fromLatin1(random.toHex()) + extension;
}

namespace {
// Whatever the login shell is (csh too), sh runs the part that asks for the
// password: the terminal's own state comes back after it, and a line break
// ends the unechoed answer. The mark is typed as "mysql-%s:" so no echo can
// pass for it. Then the option file goes to the client on its input.
const char kPasswordRead[] = "t=$(stty -g 2>/dev/null); stty -echo 2>/dev/null; "
                             "printf 'mysql-%s:' password; IFS= read -r p; "
                             "stty \"$t\" 2>/dev/null; echo; ";
const char kOptionFile[] = "printf '[client]\\npassword=%s\\n' \"$p\" | ";

QString passwordPiped(const QString &command)
{
    return QStringLiteral("sh -c ")
        + ShellQuote(QLatin1String(kPasswordRead) + QLatin1String(kOptionFile) + command);
}

// The leading blank keeps bash from recording the line; without HISTFILE
// it writes no history file at the end.
const char kPrivateSession[] = " unset HISTFILE; umask 077; ";
} // namespace

QString TelnetDialogue::SessionCommand(const BackupTask &task, const QString &remoteFile)
{
    const QString dump = passwordPiped(BuildDumpCommand(task, remoteFile));
    QString cmd = QString::fromLatin1(kPrivateSession);
    if (!task.usesHttp())
        return cmd + dump;
    const auto [stem, extension] = stemAndExtension(task.backupfile);
    QString leftovers = ShellQuotePath(task.remotedir + stem + QLatin1Char('-'));
    for (int i = 0; i < 10; ++i)
        leftovers += QStringLiteral("[0-9a-f]");
    leftovers += ShellQuote(extension);
    const QString file = ShellQuotePath(task.remotedir + remoteFile);
    return cmd + QStringLiteral("rm -f ") + leftovers + QStringLiteral("; ") + dump + QStringLiteral("; chmod 644 ") + file;
}

QString TelnetDialogue::ListingCommand(const BackupTask &task)
{
    // "$?" is the client's status when it failed, the loop's 0 otherwise.
    const QString list = QLatin1String(kPasswordRead) + QStringLiteral("d=$(") + QLatin1String(kOptionFile)
        + DumpOptions::clientInvocation(task, QStringLiteral("SHOW DATABASES"))
        + QStringLiteral(") && for x in $d; do printf 'vw-%s:%s\\n' db \"$x\"; done; printf 'vw-%s-%s\\n' listed $?");
    return QString::fromLatin1(kPrivateSession) + QStringLiteral("sh -c ") + ShellQuote(list);
}

namespace {
// Why a listing failed, with the client's own error line where it printed one.
QString ListingFailure(const QByteArray &output, bool german)
{
    QString error;
    for (const QByteArray &line : output.split('\n')) {
        const QString text = cleanServerText(QString::fromUtf8(line));
        if (text.startsWith(QLatin1String("ERROR")))
            error = text.left(300);
    }
    return DatabaseList::listingFailed(error, german);
}
} // namespace

QStringList TelnetDialogue::ListedNames(const QByteArray &output, bool *whole)
{
    QByteArray names;
    *whole = false;
    for (QByteArray line : output.split('\n')) {
        while (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith("vw-db:"))
            names += line.mid(6) + '\n';
        else if (line.startsWith("vw-listed-"))
            *whole = line == "vw-listed-0";
    }
    return DatabaseList::fromListing(names);
}

QString TelnetDialogue::RemovalCommand(const BackupTask &task, const QString &file)
{
    // "$?" only turns into the mark's "0" when the shell runs the line, so an
    // echo of the typed line never passes for the confirmation.
    return QStringLiteral("rm -f ") + ShellQuotePath(task.remotedir + file) + QStringLiteral(" && echo removed-$?");
}

QString TelnetDialogue::PromptLine(const QByteArray &chunk)
{
    QByteArray text = chunk;
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    text = withoutControlSequences(text);
    // A final line break closes the last line; it does not start an empty one.
    if (text.endsWith("\r\n"))
        text.chop(2);
    else if (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    qsizetype start = 0;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (text.at(i) == '\n' || text.at(i) == '\r') {
            start = i + 1;
            break;
        }
    }
    QByteArray last = text.mid(start, 4096);
    while (!last.isEmpty() && (last.endsWith(' ') || last.endsWith('\t')))
        last.chop(1);
    for (char &c : last) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return QString::fromLatin1(last);
}

void TelnetDialogue::start(const BackupTask &task)
{
    m_removal = false;
    m_listing = false;
    m_remoteFile = task.usesHttp() ? RandomRemoteName(task.backupfile) : task.backupfile;
    m_dumpCommand = SessionCommand(task, m_remoteFile);
    open(task);
}

void TelnetDialogue::startListing(const BackupTask &task)
{
    m_removal = false;
    m_listing = true;
    m_remoteFile.clear();
    m_dumpCommand = ListingCommand(task);
    m_seen.clear();
    open(task);
}

bool TelnetDialogue::startRemoval(const BackupTask &task, const QString &file)
{
    m_listing = false;
    m_removal = true;
    m_remoteFile = file;
    m_dumpCommand = RemovalCommand(task, file);
    m_seen.clear();
    m_removedSeen = false;
    open(task);
    return true;
}

void TelnetDialogue::open(const BackupTask &task)
{
    m_task = task;
    m_state = State::Connecting;
    m_dumpSent = false;
    m_dbPasswordSent = false;
    m_exitSent = false;
    m_loginPhase = true;
    m_sending = false;
    m_waiting.clear();
    m_hostPassword = task.hostpw;
    emit progress(10);

    // Typed into the host's terminal, a control character would act as a key.
    const QString refusal = TelnetValueRefusal(task, m_texts.german());
    if (!refusal.isEmpty()) {
        emit protocolLine(refusal);
        finish(TransportResult{false, false, {}, refusal, refusal, {}, {}});
        return;
    }
    if (task.host.isEmpty()) {
        connectFailed(QStringLiteral("Unknown host - no connection"));
        return;
    }
    connect(&m_client, &TTelnetClient::OnConnected, this, &TelnetDialogue::onConnected);
    connect(&m_client, &TTelnetClient::OnReadyToSend, this, &TelnetDialogue::onReadyToSend);
    connect(&m_client, &TTelnetClient::OnDataIn, this, &TelnetDialogue::onDataIn);
    connect(&m_client, &TTelnetClient::OnDisconnected, this, &TelnetDialogue::onDisconnected);
    connect(&m_client, &TTelnetClient::OnDo, this, &TelnetDialogue::onDo);
    connect(&m_client, &TTelnetClient::OnSubOption, this, &TelnetDialogue::onSubOption);
    connect(&m_client, &TTelnetClient::OnDont, this, [this](int o) {
        emit negotiation(QStringLiteral("Telnet Server: DONT Option") + QString::number(o));
    });
    connect(&m_client, &TTelnetClient::OnWill, this, [this](int o) {
        emit negotiation(QStringLiteral("Telnet Server: WILL Option") + QString::number(o));
    });
    connect(&m_client, &TTelnetClient::OnWont, this, [this](int o) {
        emit negotiation(QStringLiteral("Telnet Server: WONT Option") + QString::number(o));
    });
    connect(&m_client, &TTelnetClient::OnCommand, this, [this](int c) {
        emit negotiation(QStringLiteral("Telnet Server: COMMAND ") + QString::number(c));
    });

    // A silent host during a long dump is found by the operating system.
    m_client.KeepAlive = true;
    m_client.keepAliveTiming = m_pacing.keepAlive;
    m_client.setConnected(false);
    m_client.setRemoteHost(task.host);
    m_client.setConnected(true);
    m_connectTimer.start(m_pacing.connectWaitMs);
}

void TelnetDialogue::connectFailed(const QString &line)
{
    m_connectTimer.stop();
    emit protocolLine(line);
    emit progress(25);
    finish(TransportResult{false, false, {}, line, {}, {}, {}});
}

void TelnetDialogue::finish(const TransportResult &result)
{
    m_state = State::Done;
    for (QTimer *t : {&m_connectTimer, &m_sendTimer, &m_watchdog, &m_exitTimer})
        t->stop();
    disconnect(&m_client, nullptr, this, nullptr);
    emit finished(result);
}

void TelnetDialogue::onConnected(int statusCode, const QString &description)
{
    if (m_state != State::Connecting)
        return;
    if (statusCode != 0) {
        emit protocolLine(QStringLiteral("Connection failed: ") + description);
        if (m_client.hasPendingError())
            connectFailed(QStringLiteral("No connection, Error: ") + m_client.takePendingError().message());
        else
            connectFailed(QStringLiteral("No connection established"));
        return;
    }
    m_connectTimer.stop();
    m_state = State::Session;
    emit protocolLine(QStringLiteral("Connected: ") + description);
    emit protocolLine(QStringLiteral("Connection established"));
    emit progress(25);
    m_watchdog.start(m_pacing.loginLimitMs);
}

void TelnetDialogue::onReadyToSend()
{
    if (m_state == State::Session)
        beginLine(m_task.hostuser, m_task.hostuser);
}

TelnetDialogue::Prompt TelnetDialogue::classify(const QString &line) const
{
    if (line == QLatin1String("password:"))
        return Prompt::Password;
    if (line == DbPasswordMark())
        return Prompt::DbPassword;
    QString prompt = m_task.host;
    for (QChar &c : prompt) {
        if (c.unicode() >= 'A' && c.unicode() <= 'Z')
            c = QChar(c.unicode() - 'A' + 'a');
    }
    // The prompt's closing blank is trimmed like the line's.
    prompt += QLatin1Char('>');
    return line == prompt ? Prompt::Shell : Prompt::None;
}

void TelnetDialogue::onDataIn(const QByteArray &text)
{
    if (m_state != State::Session)
        return;
    if (m_removal && m_dumpSent && !m_removedSeen) {
        // The mark may come split over two chunks.
        m_seen = m_seen.right(RemovedMark().size()) + text;
        m_removedSeen = m_seen.contains(RemovedMark());
    }
    // A host that prints without end fills no memory: a listing is short.
    if (m_listing && m_dumpSent && m_seen.size() < (1 << 20))
        m_seen += text;
    const Prompt prompt = classify(PromptLine(text));
    if (prompt == Prompt::None)
        return;
    if (!m_sending) {
        answer(prompt);
        return;
    }
    // A line is still going out: answer this prompt once after it, and let
    // a host that repeats itself fill nothing.
    if (!m_waiting.contains(prompt)) {
        m_waiting.append(prompt);
    } else if (!m_dropReported) {
        m_dropReported = true;
        emit protocolLine(m_texts.pick(QStringLiteral("Repeated prompt while sending - ignored"),
                                       QStringLiteral("Wiederholte Eingabeaufforderung während des Sendens - ignoriert")));
    }
}

void TelnetDialogue::answer(Prompt prompt)
{
    if (prompt == Prompt::DbPassword) {
        // Asked once, by the dump command itself, never before it.
        if (!m_dumpSent || m_removal || m_dbPasswordSent)
            return;
        m_dbPasswordSent = true;
        emit protocolLine(m_texts.pick(QStringLiteral("Sending the database password"),
                                       QStringLiteral("Sende das Datenbank-Passwort")));
        beginLine(QString::fromUtf8(ClientOptionValue(m_task.dbpw)), kMask);
        return;
    }
    if (prompt == Prompt::Password) {
        emit progress(35);
        emit protocolLine(m_texts.SendPassword);
        beginLine(m_hostPassword, kMask);
        return;
    }
    if (m_dumpSent) {
        emit progress(60);
        m_exitSent = true;
        m_watchdog.stop();
        m_exitTimer.start(m_pacing.exitCloseMs);
        emit protocolLine(m_texts.FinishingSession);
        beginLine(QStringLiteral("exit"), QStringLiteral("exit"));
        return;
    }
    emit progress(40);
    m_dumpSent = true;
    if (m_removal) {
        // Removing one file takes no dump's time.
        m_watchdog.start(m_pacing.loginLimitMs);
        emit protocolLine(m_texts.pick(QStringLiteral("Removing the dump file %1 from the host").arg(m_remoteFile),
                                       QStringLiteral("Entferne die Dump-Datei %1 vom Host").arg(m_remoteFile)));
        beginLine(m_dumpCommand, m_dumpCommand);
        return;
    }
    if (m_listing) {
        m_watchdog.start(m_pacing.loginLimitMs);
        emit protocolLine(DatabaseList::listingStarted(m_texts.german()));
        beginLine(m_dumpCommand, m_dumpCommand);
        return;
    }
    m_loginPhase = false;
    m_watchdog.start(m_pacing.dumpLimitMs);
    emit protocolLine(m_texts.SendDumpCommand);
    beginLine(m_dumpCommand, m_dumpCommand);
}

void TelnetDialogue::beginLine(const QString &text, const QString &logText)
{
    emit lineSent(logText);
    m_sending = true;
    m_dropReported = false;
    m_line = Line{text, logText};
    m_pos = -1;
    m_sendTimer.start(m_pacing.lineDelayMs);
}

void TelnetDialogue::sendBytes(const QByteArray &bytes)
{
    if (m_client.Connected())
        m_client.Send(bytes);
}

void TelnetDialogue::sendStep()
{
    const QString &text = m_line.text;
    if (m_pos < 0 && text.size() <= 12) {
        sendBytes(text.toUtf8() + '\n');
        lineDone();
        return;
    }
    if (m_pos < 0)
        m_pos = 0;
    if (m_pos >= text.size()) {
        sendBytes(QByteArray("\n"));
        lineDone();
        return;
    }
    // Slow hosts drop characters typed faster than their shell reads.
    const int len = text.at(m_pos).isHighSurrogate() && m_pos + 1 < text.size() ? 2 : 1;
    sendBytes(text.mid(m_pos, len).toUtf8());
    m_pos += len;
    m_sendTimer.start(m_pacing.charDelayMs);
}

void TelnetDialogue::lineDone()
{
    m_sending = false;
    if (!m_waiting.isEmpty() && m_state == State::Session)
        answer(m_waiting.takeFirst());
}

void TelnetDialogue::onDisconnected(int, const QString &description)
{
    if (m_state != State::Session)
        return;
    emit protocolLine(QStringLiteral("Disconnected: ") + description);
    TransportResult result;
    result.sessionOpened = true;
    // Only a dump whose shell prompt came back is worth fetching; anything
    // else would store a stale or partial file as today's backup.
    result.dumpCompleted = m_exitSent;
    if (m_removal) {
        result.dumpCompleted = m_exitSent && m_removedSeen;
    } else if (m_listing) {
        bool whole = false;
        result.databases = ListedNames(m_seen, &whole);
        result.dumpCompleted = m_exitSent && whole;
        if (!result.dumpCompleted)
            result.reason = ListingFailure(m_seen, m_texts.german());
    } else if (!m_exitSent) {
        result.reason = m_texts.pick(QStringLiteral("Dump not completed - no download"),
                                     QStringLiteral("Dump nicht abgeschlossen - kein Download"));
    } else {
        result.remoteFile = m_remoteFile;
    }
    finish(result);
}

void TelnetDialogue::onDo(int option)
{
    emit negotiation(QStringLiteral("Telnet Server: DO Option") + QString::number(option));
    m_client.SendWont(option);
    emit negotiation(QStringLiteral("Client: WONT Option") + QString::number(option));
}

void TelnetDialogue::onSubOption(const QByteArray &)
{
    m_client.SendSubOption(QByteArray("\x18\x00vt100", 7));
}

QString TelnetDialogue::limitText(int ms) const
{
    if (ms >= 3600000 && ms % 3600000 == 0)
        return QString::number(ms / 3600000) + QStringLiteral(" h");
    return QString::number(ms / 1000.0, 'g', 6) + QStringLiteral(" s");
}

void TelnetDialogue::onWatchdog()
{
    if (m_state != State::Session)
        return;
    const QString limit = limitText(m_loginPhase ? m_pacing.loginLimitMs : m_pacing.dumpLimitMs);
    if (m_loginPhase) {
        emit protocolLine(m_texts.pick(
            QStringLiteral("Session cancelled: no dump command sent within %1").arg(limit),
            QStringLiteral("Sitzung abgebrochen: kein dump-command innerhalb von %1 gesendet").arg(limit)));
    } else {
        emit protocolLine(m_texts.pick(
            QStringLiteral("Session cancelled: dump not finished within %1").arg(limit),
            QStringLiteral("Sitzung abgebrochen: Dump nicht innerhalb von %1 beendet").arg(limit)));
    }
    m_client.Disconnect();
}

void TelnetDialogue::onExitLimit()
{
    if (m_state != State::Session)
        return;
    // The dump has finished; a host that keeps the session open must not
    // hold the retrieval and the runs behind it.
    const QString limit = limitText(m_pacing.exitCloseMs);
    emit protocolLine(m_texts.pick(
        QStringLiteral("The host did not end the session within %1 after exit - closed").arg(limit),
        QStringLiteral("Der Host hat die Sitzung nicht innerhalb von %1 nach exit beendet - geschlossen").arg(limit)));
    m_client.Disconnect();
}

void TelnetDialogue::cancel()
{
    if (m_state == State::Connecting) {
        m_client.setConnected(false);
        connectFailed(QStringLiteral("No connection established"));
        return;
    }
    if (m_state != State::Session)
        return;
    emit protocolLine(m_texts.pick(QStringLiteral("Telnet-Session cancelled by the user"),
                                   QStringLiteral("Telnet-Session vom Benutzer abgebrochen")));
    m_client.Disconnect();
}
