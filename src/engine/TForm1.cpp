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
#include "secrets/SecretMigration.h"
#include "tasks/AppSettings.h"
#include "tasks/TaskCommands.h"
#include "tasks/TaskListView.h"
#include "tasks/Ttaskform.h"
#include "resources/MenuBitmaps.h"
#include "shell/MetricsSettingsDialog.h"
#include "shell/OffsiteLimitDialog.h"
#include "shell/RestoreSettingsDialog.h"
#include "shell/StoredBackupsWindow.h"
#include "shell/TAboutForm.h"
#include "shell/TFlatMenuRenderer.h"
#include "shell/TForm2.h"
#include "shell/TNotifyIcon.h"

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
      m_store(m_options.storeFile)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vaultwick Task"));
    m_currentTask = BackupTask::withDefaults();

    BackupServiceOptions engine;
    engine.clock = m_options.clock;
    engine.pacing = m_options.pacing;
    engine.telnetPort = m_options.telnetPort;
    engine.retrieval = m_options.retrieval;
    engine.ssh = m_options.ssh;
    engine.lockDirectory = m_options.lockDirectory;
    engine.restore = m_options.restore;
    m_service = std::make_unique<BackupService>(engine, m_store, m_texts, this);

    buildWindow();
    ListView1->setBoard(&m_service->board());
    buildMenus();
    buildMenuRenderer();
    NotifyIcon1 = new TNotifyIcon(this, PopupMenu1, this);
    NotifyIcon1->setObjectName(QStringLiteral("NotifyIcon1"));
    protocol().setView(this);
    protocol().setLogFilePath(m_options.logFile.isEmpty() ? ProtocolLog::defaultLogFilePath() : m_options.logFile);
    subscribe();

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
    // The engine ends its runs while the widgets it reports to are still here.
    m_service.reset();
    m_taskCommands.reset();
}

void TForm1::subscribe()
{
    RunEvents &events = m_service->events();
    // The window comes out of the tray for the length of a session.
    connect(&events, &RunEvents::sessionStarting, this, [this] {
        m_wasInTray = NotifyIcon1->isApplicationMinimized();
        NotifyIcon1->RestoreFromTray();
    });
    connect(&events, &RunEvents::sessionEnded, this, [this] {
        if (m_wasInTray)
            NotifyIcon1->MinimizeToTray();
        m_wasInTray = false;
    });
    connect(&events, &RunEvents::sessionProgress, ProgressBar2, &QProgressBar::setValue);
    connect(&events, &RunEvents::negotiationText, m_negotiationPanel, &QLabel::setText);
    connect(&events, &RunEvents::statusCaptionReset, this,
            [this] { GroupBox1->setTitle(QStringLiteral("Status && Log")); });
    connect(&events, &RunEvents::downloadProgress, this, &TForm1::showDownloadProgress);
    connect(&events, &RunEvents::statusCaption, this, &TForm1::showStatusCaption);
    connect(&events, &RunEvents::retrievalError, this, &TForm1::showRetrievalError);
    connect(m_service.get(), &BackupService::taskLoaded, this,
            [this](const BackupTask &task) { m_currentTask = task; });
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
    auto statusPanel = [this](int index, int width, bool grows) {
        auto *label = new QLabel(StatusBar1);
        label->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(index));
        // The outer panels carry the next backup and, without a notification
        // area, the warning: they grow with their text.
        if (grows)
            label->setMinimumWidth(width);
        else
            label->setFixedWidth(width);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(label, index == 2 ? 1 : 0);
        return label;
    };
    m_nextBackupPanel = statusPanel(0, 130, true);
    m_negotiationPanel = statusPanel(1, 350, false);
    m_warningPanel = statusPanel(2, 50, true);
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
    // A store kept as damaged is not written, so nothing moves out of it.
    if (!m_store.keptAsDamaged()) {
        auto *secrets = new SecretMigration(m_store, m_texts.german(), this);
        connect(secrets, &SecretMigration::protocolLine, this, [this](const QString &line) { protocol().AddStatus(line); });
        connect(secrets, &SecretMigration::finished, secrets, &QObject::deleteLater);
        secrets->start();
    }
    // Missed slots are made up as soon as the list is there, once the show
    // has been handled.
    QTimer::singleShot(0, this, [this] { scheduleDriver().tick(); });
}

void TForm1::ReportStoreHealth(StoreFile::Health health)
{
    const QString file = QDir::toNativeSeparators(m_store.fileName());
    if (health == StoreFile::Health::Restored) {
        const QString damaged = QDir::toNativeSeparators(StoreFile(m_store.fileName()).damagedPath());
        protocol().AddStatus(m_texts.pick(
            QStringLiteral("The settings file %1 could not be read whole and was restored from its backup copy; "
                           "the damaged file is kept as %2").arg(file, damaged),
            QStringLiteral("Die Einstellungsdatei %1 war nicht vollständig lesbar und wurde aus ihrer Sicherungskopie "
                           "wiederhergestellt; die beschädigte Datei bleibt als %2 erhalten").arg(file, damaged)));
    } else if (health == StoreFile::Health::Damaged) {
        protocol().AddStatus(m_texts.pick(
            QStringLiteral("The settings file %1 cannot be read whole; it is kept as it is and no changes "
                           "are saved to it").arg(file),
            QStringLiteral("Die Einstellungsdatei %1 ist nicht vollständig lesbar; sie bleibt unverändert erhalten, "
                           "und es werden keine Änderungen darin gespeichert").arg(file)));
    }
}

void TForm1::RefreshTaskList()
{
    m_service->rebuildBoard();
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
    protocol().Save();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    SaveSettings();
    protocol().Save();
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
    m_service->shutdown();
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
    scheduleDriver().tick();
}

void TForm1::RunBackupmanually1Click()
{
    const QString name = selectedTaskName();
    if (!name.isEmpty())
        m_service->runTask(name, false);
}

void TForm1::StoredBackups1Click()
{
    const QString name = selectedTaskName();
    if (name.isEmpty())
        return;
    BackupTask task;
    try {
        task = m_store.LoadTask(name);
    } catch (const std::exception &) {
        return;  // the list says it cannot be read
    }
    auto *window = new StoredBackupsWindow(task, AppSettings(m_store).ReadRestoreOptions(m_options.restore),
                                           m_texts.german(), this, m_options.ssh, m_options.lockDirectory);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void TForm1::TestRestore1Click()
{
    if (!RestoreDialog)
        RestoreDialog = new RestoreSettingsDialog(m_store, m_texts, this);
    if (!RestoreDialog->isVisible())
        RestoreDialog->openWithStoredValues();
    RestoreDialog->raise();
    RestoreDialog->activateWindow();
}

void TForm1::MetricsFile1Click()
{
    if (!MetricsDialog)
        MetricsDialog = new MetricsSettingsDialog(m_store, m_texts, this);
    if (!MetricsDialog->isVisible())
        MetricsDialog->openWithStoredValue();
    MetricsDialog->raise();
    MetricsDialog->activateWindow();
}

void TForm1::OffsiteLimit1Click()
{
    if (!OffsiteDialog)
        OffsiteDialog = new OffsiteLimitDialog(m_store, m_texts, this);
    if (!OffsiteDialog->isVisible())
        OffsiteDialog->openWithStoredValue();
    OffsiteDialog->raise();
    OffsiteDialog->activateWindow();
}

void TForm1::DownloadFileperFTPmanually1Click()
{
    // Its own copy: a later load of the current task cannot redirect it.
    const QString name = selectedTaskName();
    if (!name.isEmpty())
        m_service->runTask(name, true);
}

void TForm1::CancelTelnetsession1Click()
{
    m_service->cancelSession();
}

void TForm1::Restore1Click()
{
    NotifyIcon1->RestoreFromTray();
}

void TForm1::Minimize1Click()
{
    NotifyIcon1->MinimizeToTray();
}

void TForm1::LoadTask(const QString &name)
{
    m_store.LoadTask(name, m_currentTask);
}

void TForm1::appendProtocolLine(const QString &line)
{
    Memo2->appendPlainText(line);
}

void TForm1::clearProtocol()
{
    Memo2->clear();
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

void TForm1::showDownloadProgress(int position, int maximum)
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

void TForm1::showStatusCaption(const QString &caption)
{
    // The caption shows a mnemonic; a literal "&" must be doubled.
    QString text = caption;
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    GroupBox1->setTitle(text);
}

void TForm1::showRetrievalError(RetrievalError kind, const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // An unattended month of failures leaves one box per kind, showing the
    // latest text, not a stack of them.
    if (QMessageBox *open = m_errorBoxes.value(int(kind))) {
        open->setText(shown);
        open->show();
        open->raise();
        return;
    }
    // Not modal: an unattended night's later tasks must not wait behind it.
    auto *box = new QMessageBox(QMessageBox::Critical, windowTitle(), shown, QMessageBox::Ok, this);
    // Names from the task and the server are shown as they are, never as markup.
    box->setTextFormat(Qt::PlainText);
    m_errorBoxes.insert(int(kind), box);
    box->setObjectName(QStringLiteral("RetrievalErrorDialog"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void TForm1::Memo2DblClick()
{
    protocol().ClearView();
}

void TForm1::Timer2Timer()
{
    protocol().Save();
}
