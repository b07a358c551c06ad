#include "engine/TForm1.h"

#include <QApplication>
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
#include "retrieval/Retriever.h"
#include "telnet/TelnetClient.h"

namespace {
// Until retrieval is wired in, a finished session reports a failed download.
class PlaceholderRetriever final : public Retriever {
public:
    bool RetrieveBackupFile(const BackupTask &) override { return false; }
};

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

    m_retriever = std::make_unique<PlaceholderRetriever>();
    m_session = std::make_unique<DumpSession>(*m_telnet, m_log, m_texts, *this, *m_retriever, m_options.pacing);

    buildWindow();
    m_log.setView(this);
    m_log.setLogFilePath(m_options.logFile.isEmpty() ? ProtocolLog::defaultLogFilePath() : m_options.logFile);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(m_options.logSaveIntervalMs);
    connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
    Timer2->start();
}

TForm1::~TForm1()
{
    // The session refers to the telnet client and this window; end it first.
    m_session.reset();
}

void TForm1::buildWindow()
{
    resize(698, 489);
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    GroupBox2 = new QGroupBox(QStringLiteral("Backup-Parameter"), central);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setFixedHeight(209);
    new QVBoxLayout(GroupBox2);
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
        StatusPanels[i]->setFixedWidth(widths[i]);
        StatusPanels[i]->setFrameShape(QFrame::Panel);
        StatusPanels[i]->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(StatusPanels[i]);
    }
    setStatusBar(StatusBar1);
}

void TForm1::LoadTask(const QString &name)
{
    m_store.LoadTask(name, m_currentTask);
}

void TForm1::StartBackup()
{
    m_session->RequestRun(m_currentTask);
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
    return isMinimized();
}

void TForm1::restoreFromTray()
{
    if (isMinimized())
        showNormal();
}

void TForm1::minimizeToTray()
{
    showMinimized();
}

void TForm1::setTaskMessage(const QString &taskName, const QString &text)
{
    m_messages.insert(taskName.toLower(), text);
}

void TForm1::setDownloadProgress(int position, int maximum)
{
    ProgressBar1->setRange(0, maximum);
    ProgressBar1->setValue(position);
}

void TForm1::setStatusCaption(const QString &caption)
{
    // The caption shows a mnemonic; a literal "&" must be doubled.
    QString text = caption;
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    GroupBox1->setTitle(text);
}

void TForm1::showRetrievalError(const QString &text)
{
    // Not modal: an unattended night's later tasks must not wait behind it.
    auto *box = new QMessageBox(QMessageBox::Critical, windowTitle(), text, QMessageBox::Ok, this);
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
