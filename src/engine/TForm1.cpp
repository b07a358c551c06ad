#include "engine/TForm1.h"

#include <QDir>
#include <QApplication>
#include <QScreen>
#include <QCloseEvent>
#include <QMenuBar>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/Clock.h"
#include "schedule/ScheduleDriver.h"
#include "tasks/AppSettings.h"
#include "tasks/TaskCommands.h"
#include "tasks/TaskListView.h"
#include "tasks/Ttaskform.h"
#include "retrieval/DownloadDispatcher.h"
#include "run/SshExec.h"
#include "run/TelnetDialogue.h"
#include "ssh/SshTexts.h"
#include "resources/MenuBitmaps.h"
#include "shell/TAboutForm.h"
#include "shell/TFlatMenuRenderer.h"
#include "shell/TForm2.h"
#include "shell/TNotifyIcon.h"
#include "telnet/TelnetClient.h"

namespace {
// Double-click on the protocol view clears it.
class DoubleClickFilter final : public QObject {
public:
    DoubleClickFilter(QObject *parent, std::function<void()> action) : QObject(parent), m_action(std::move(action)) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick) {
            m_action();
            return true;
        }
        return false;
    }

private:
    std::function<void()> m_action;
};
}

TForm1::TForm1(TForm1Options options, QWidget *parent)
    : QMainWindow(parent),
      m_options(std::move(options)),
      m_clock(m_options.clock ? *m_options.clock : Clock::system()),
      m_runLocks(m_options.lockDirectory),
      m_store(m_options.storeFile),
      m_log(m_texts, m_clock)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vaultwick Task"));
    m_currentTask = BackupTask::withDefaults();

    m_telnet = new TTelnetClient(this);
    m_telnet->setObjectName(QStringLiteral("Telnet1"));
    m_telnet->setRemotePort(m_options.telnetPort);
    m_telnet->FirewallPort = 80;

    m_retriever = std::make_unique<DownloadDispatcher>(m_log, m_texts, *this, m_clock, m_options.retrieval);
    // Each run gets the transport its task asks for.
    m_session = std::make_unique<RunQueue>(
        [this](const BackupTask &task) -> std::unique_ptr<Transport> {
            if (task.usesSsh()) {
                auto ssh = std::make_unique<SshExec>(m_texts, m_clock, m_options.ssh);
                connect(ssh.get(), &SshExec::received, this, &TForm1::showSshReceived);
                return ssh;
            }
            return std::make_unique<TelnetDialogue>(*m_telnet, m_texts, m_options.pacing);
        },
        m_log, m_texts, *this, *m_retriever);
    connect(m_session.get(), &RunQueue::runFinished, this,
            [this](const RunOutcome &outcome) { m_runLocks.release(outcome.taskName); });

    buildWindow();
    buildMenus();
    buildMenuRenderer();
    NotifyIcon1 = new TNotifyIcon(this, PopupMenu1, this);
    NotifyIcon1->setObjectName(QStringLiteral("NotifyIcon1"));
    m_log.setView(this);
    m_log.setLogFilePath(m_options.logFile.isEmpty() ? ProtocolLog::defaultLogFilePath() : m_options.logFile);

    // A precise timer: the interval is under a minute so that every minute
    // is met by a tick; coarse timers could drift past one.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(m_options.schedulerIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();
    setTrayHint(QStringLiteral("Vaultwick Task"));

    // The windows that live as long as the main window.
    taskform = new Ttaskform(m_texts, this);
    m_taskCommands = std::make_unique<TaskCommands>(*this, *taskform);
    AboutForm = new TAboutForm(this);
    Form2 = new TForm2(m_texts, this);

    buildSchedule();

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(m_options.logSaveIntervalMs);
    connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
    Timer2->start();
}

TForm1::~TForm1()
{
    // The runs refer to the telnet client and this window; end them first,
    // then wait for a transfer thread that is breaking off. The schedule
    // goes before them: a broken-off run is no failure to report.
    m_schedule.reset();
    m_session->abortAll();
    m_session.reset();
    m_retriever.reset();
    m_taskCommands.reset();
}

void TForm1::buildWindow()
{
    resize(698, 489);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(698 / 2, 489 / 2));
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    GroupBox2 = new QGroupBox(QStringLiteral("Backup-Parameter"), central);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setFixedHeight(209);
    auto *listLayout = new QVBoxLayout(GroupBox2);
    listLayout->setContentsMargins(2, 2, 2, 2);
    ListView1 = new TaskListView(GroupBox2);
    listLayout->addWidget(ListView1);
    layout->addWidget(GroupBox2);

    GroupBox1 = new QGroupBox(QStringLiteral("Status && Log"), central);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *statusLayout = new QVBoxLayout(GroupBox1);
    statusLayout->setContentsMargins(4, 4, 4, 4);

    Memo2 = new QPlainTextEdit(GroupBox1);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setReadOnly(true);
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setFrameShape(QFrame::NoFrame);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette pal = Memo2->palette();
    pal.setColor(QPalette::Base, Qt::black);
    pal.setColor(QPalette::Text, QColor(0, 255, 0));
    Memo2->setPalette(pal);
    QFont mono(QStringLiteral("Courier"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setPixelSize(12);
    Memo2->setFont(mono);
    Memo2->setToolTip(QStringLiteral("Task protocol\nDouble-Click to clear protocol-log"));
    Memo2->viewport()->installEventFilter(new DoubleClickFilter(this, [this] { Memo2DblClick(); }));
    statusLayout->addWidget(Memo2, 1);

    auto *panel = new QWidget(GroupBox1);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedHeight(49);
    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 2, 0, 2);
    grid->setColumnMinimumWidth(0, 140);
    Label10 = new QLabel(QStringLiteral("Actual Backup-Process"), panel);
    Label10->setObjectName(QStringLiteral("Label10"));
    ProgressBar2 = new QProgressBar(panel);
    ProgressBar2->setObjectName(QStringLiteral("ProgressBar2"));
    Label11 = new QLabel(QStringLiteral("Actual FTP-Download"), panel);
    Label11->setObjectName(QStringLiteral("Label11"));
    ProgressBar1 = new QProgressBar(panel);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    for (QProgressBar *bar : {ProgressBar1, ProgressBar2}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setFixedWidth(530);
        bar->setFixedHeight(16);
    }
    grid->addWidget(Label10, 0, 0);
    grid->addWidget(ProgressBar2, 0, 1, Qt::AlignLeft);
    grid->addWidget(Label11, 1, 0);
    grid->addWidget(ProgressBar1, 1, 1, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);
    statusLayout->addWidget(panel);
    layout->addWidget(GroupBox1, 1);
    setCentralWidget(central);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    const int widths[3] = {130, 350, 50};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(StatusBar1);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        // The outer panels carry the next backup and, without a notification
        // area, the warning: they grow with their text.
        if (i == 1)
            StatusPanels[i]->setFixedWidth(widths[i]);
        else
            StatusPanels[i]->setMinimumWidth(widths[i]);
        StatusPanels[i]->setFrameShape(QFrame::Panel);
        StatusPanels[i]->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(StatusPanels[i], i == 2 ? 1 : 0);
    }
    setStatusBar(StatusBar1);
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        FormShow();
    }
}

void TForm1::FormShow()
{
    const StoreFile::Health health = m_store.CheckAtStartup();
    // Settings that cannot be read leave the defaults: icon view, English.
    AppSettings settings(m_store);
    int display = 0, language = 0;
    try {
        display = settings.ReadDisplay();
    } catch (...) {
    }
    try {
        language = settings.ReadLanguage();
    } catch (...) {
    }
    ListView1->holdDisplayMode(display);
    m_texts.Language = language;
    ApplyLanguage();
    ReportStoreHealth(health);
    RefreshTaskList();
    // Missed slots are made up as soon as the list is there, once the show
    // has been handled.
    QTimer::singleShot(0, this, [this] { m_schedule->tick(); });
}

void TForm1::ReportStoreHealth(StoreFile::Health health)
{
    const QString file = QDir::toNativeSeparators(m_store.fileName());
    if (health == StoreFile::Health::Restored) {
        const QString damaged = QDir::toNativeSeparators(StoreFile(m_store.fileName()).damagedPath());
        m_log.AddStatus(m_texts.pick(
            QStringLiteral("The settings file %1 could not be read whole and was restored from its backup copy; "
                           "the damaged file is kept as %2").arg(file, damaged),
            QStringLiteral("Die Einstellungsdatei %1 war nicht vollständig lesbar und wurde aus ihrer Sicherungskopie "
                           "wiederhergestellt; die beschädigte Datei bleibt als %2 erhalten").arg(file, damaged)));
    } else if (health == StoreFile::Health::Damaged) {
        m_log.AddStatus(m_texts.pick(
            QStringLiteral("The settings file %1 cannot be read whole; it is kept as it is and no changes "
                           "are saved to it").arg(file),
            QStringLiteral("Die Einstellungsdatei %1 ist nicht vollständig lesbar; sie bleibt unverändert erhalten, "
                           "und es werden keine Änderungen darin gespeichert").arg(file)));
    }
}

void TForm1::RefreshTaskList()
{
    // One read of the store serves the list and the schedule's records.
    const QList<TaskListEntry> entries = m_store.ReadTaskList();
    ListView1->RefreshTaskList(entries, m_texts);
    if (m_schedule)
        m_schedule->listRebuilt(entries);
}

void TForm1::SaveSettings()
{
    AppSettings(m_store).SaveSettings(ListView1->rowCount(),
                                      m_actions.value(QStringLiteral("English1"))->isChecked(),
                                      ListView1->displayMode());
}

void TForm1::SessionEnding()
{
    m_ending = true;
    close();
}

void TForm1::SessionSaveRequested()
{
    SaveSettings();
    m_log.Save();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    SaveSettings();
    m_log.Save();
    // The end of the session or the system is not asked about.
    if (!m_ending) {
        QString question = m_texts.CloseQuestion;
        question.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        bool yes;
        if (m_options.confirmClose) {
            yes = m_options.confirmClose(question);
        } else {
            yes = QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No)
                  == QMessageBox::Yes;
        }
        if (!yes) {
            event->ignore();
            return;
        }
    }
    emit closing();
    // A transfer under way is broken off: its temporary file goes, the
    // earlier backup stays.
    m_session->abortAll();
    event->accept();
    qApp->quit();
}

void TForm1::Close1Click()
{
    close();
}

void TForm1::setTrayHint(const QString &hint)
{
    m_trayHint = hint;
    if (NotifyIcon1)
        NotifyIcon1->SetHint(hint);
    emit trayHintChanged(hint);
}

void TForm1::Timer1Timer()
{
    m_schedule->tick();
}

void TForm1::RunBackupmanually1Click()
{
    const int row = ListView1->selectedRow();
    if (row < 0)
        return;
    const QString name = ListView1->rowName(row);
    const QString reason = startTask(name, false);
    if (!reason.isEmpty())
        m_schedule->startFailed(name, reason);
}

void TForm1::DownloadFileperFTPmanually1Click()
{
    const int row = ListView1->selectedRow();
    if (row < 0)
        return;
    // Its own copy: a later load of the current task cannot redirect it.
    const QString name = ListView1->rowName(row);
    const QString reason = startTask(name, true);
    if (!reason.isEmpty())
        m_schedule->startFailed(name, reason);
}

void TForm1::CancelTelnetsession1Click()
{
    m_session->CancelTelnetsession();
}

void TForm1::Restore1Click()
{
    restoreFromTray();
}

void TForm1::Minimize1Click()
{
    minimizeToTray();
}

void TForm1::LoadTask(const QString &name)
{
    m_store.LoadTask(name, m_currentTask);
}

void TForm1::StartBackup()
{
    startUnderLock(false);
}

QString TForm1::startTask(const QString &name, bool downloadOnly)
{
    try {
        LoadTask(name);
    } catch (const TaskStoreReadError &e) {
        if (!e.key.isEmpty())
            return TaskListView::unreadableWarning(m_texts, e.key).mid(WarningPrefix.size());
        return QString::fromLocal8Bit(e.what());
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    }
    return startUnderLock(downloadOnly);
}

QString TForm1::startUnderLock(bool downloadOnly)
{
    // A run of this task in another process (the command line) writes the
    // same files; it makes this one's backup.
    const QString name = m_currentTask.name;
    if (!m_runLocks.acquire(name)) {
        if (m_runLocks.lastFailedOtherwise())
            return m_texts.pick(QStringLiteral("its run lock cannot be made in %1"),
                                QStringLiteral("seine Laufsperre kann in %1 nicht angelegt werden"))
                .arg(QDir::toNativeSeparators(m_runLocks.directory()));
        m_log.AddStatus(m_texts.pick(QStringLiteral("%1: running in another process; not started").arg(name),
                                     QStringLiteral("%1: läuft in einem anderen Prozess; nicht gestartet").arg(name)));
        return QString();
    }
    const bool queued = downloadOnly ? m_session->RequestDownload(m_currentTask) : m_session->RequestRun(m_currentTask);
    if (!queued)
        m_runLocks.release(name);
    return QString();
}

void TForm1::appendProtocolLine(const QString &line)
{
    Memo2->appendPlainText(line);
}

void TForm1::clearProtocol()
{
    Memo2->clear();
}

void TForm1::setSessionProgress(int position)
{
    ProgressBar2->setValue(position);
}

void TForm1::setNegotiationText(const QString &text)
{
    StatusPanels[1]->setText(text);
}

void TForm1::resetStatusCaption()
{
    GroupBox1->setTitle(QStringLiteral("Status && Log"));
}

bool TForm1::isApplicationMinimized() const
{
    return NotifyIcon1->isApplicationMinimized();
}

void TForm1::restoreFromTray()
{
    NotifyIcon1->RestoreFromTray();
}

void TForm1::minimizeToTray()
{
    NotifyIcon1->MinimizeToTray();
}

QString TForm1::selectedTaskName() const
{
    const int row = ListView1->selectedRow();
    return row < 0 ? QString() : ListView1->rowName(row);
}

void TForm1::Neu1Click()
{
    m_taskCommands->Neu1Click();
}

void TForm1::Bearbeiten1Click()
{
    m_taskCommands->Bearbeiten1Click();
}

void TForm1::Duplizieren1Click()
{
    m_taskCommands->Duplizieren1Click();
}

void TForm1::Lschen1Click()
{
    m_taskCommands->Lschen1Click();
}

void TForm1::About1Click()
{
    AboutForm->About1Click();
}

void TForm1::Internet1Click()
{
    TAboutForm::Internet1Click();
}

void TForm1::HowTo1Click()
{
    Form2->HowTo1Click();
}

void TForm1::setTaskMessage(const QString &taskName, const QString &text)
{
    ListView1->setMessageForTask(taskName, text);
}

void TForm1::setDownloadProgress(int position, int maximum)
{
    // A range of 0..0 would make the bar a busy animation: an unknown total
    // shows an empty bar instead.
    if (maximum <= 0) {
        maximum = 1;
        position = 0;
    }
    ProgressBar1->setRange(0, maximum);
    ProgressBar1->setValue(position);
}

// The size of a streamed dump is unknown until it ends: the caption says the
// bytes so far, the bar fills towards its end without reaching it.
void TForm1::showSshReceived(qint64 bytes)
{
    setStatusCaption(SshTexts::receivedCaption(bytes, m_texts.german()));
    const double mb = double(bytes) / 1e6;
    setDownloadProgress(int(1000.0 * mb / (mb + 50.0)), 1000);
}

void TForm1::setStatusCaption(const QString &caption)
{
    // The caption shows a mnemonic; a literal "&" must be doubled.
    QString text = caption;
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    GroupBox1->setTitle(text);
}

void TForm1::showRetrievalError(int kind, const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // An unattended month of failures leaves one box per kind, showing the
    // latest text, not a stack of them.
    if (QMessageBox *open = m_errorBoxes.value(kind)) {
        open->setText(shown);
        open->show();
        open->raise();
        return;
    }
    // Not modal: an unattended night's later tasks must not wait behind it.
    auto *box = new QMessageBox(QMessageBox::Critical, windowTitle(), shown, QMessageBox::Ok, this);
    // Names from the task and the server are shown as they are, never as markup.
    box->setTextFormat(Qt::PlainText);
    m_errorBoxes.insert(kind, box);
    box->setObjectName(QStringLiteral("RetrievalErrorDialog"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void TForm1::Memo2DblClick()
{
    m_log.ClearView();
}

void TForm1::Timer2Timer()
{
    m_log.Save();
}
