// The main window's menus, its flat menu look and its two languages.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>

#include "engine/TForm1.h"
#include "resources/MenuBitmaps.h"
#include "shell/TFlatMenuRenderer.h"
#include "tasks/TaskListView.h"
#include "tasks/Ttaskform.h"
#include "secrets/SecretTexts.h"
#include "tasks/AppSettings.h"

QAction *TForm1::addAction(QMenu *menu, const char *objectName, const QString &caption)
{
    auto *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(objectName));
    m_actions.insert(action->objectName(), action);
    return action;
}

void TForm1::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    asks1 = bar->addMenu(QStringLiteral("&Tasks"));
    asks1->setObjectName(QStringLiteral("asks1"));
    connect(addAction(asks1, "RunBackupmanually1", QStringLiteral("&Run Backup manually")),
            &QAction::triggered, this, &TForm1::RunBackupmanually1Click);
    connect(addAction(asks1, "DownloadFileperFTPmanually1", QStringLiteral("&Download File per FTP manually")),
            &QAction::triggered, this, &TForm1::DownloadFileperFTPmanually1Click);
    connect(addAction(asks1, "StoredBackups1", QStringLiteral("&Stored backups...")), &QAction::triggered, this,
            &TForm1::StoredBackups1Click);
    asks1->addSeparator()->setObjectName(QStringLiteral("N1"));
    connect(addAction(asks1, "CancelTelnetsession1", QStringLiteral("&Cancel Telnet-Session")),
            &QAction::triggered, this, &TForm1::CancelTelnetsession1Click);
    asks1->addSeparator()->setObjectName(QStringLiteral("N2"));
    connect(addAction(asks1, "Close1", QStringLiteral("C&lose")), &QAction::triggered, this, &TForm1::Close1Click);

    Options1 = bar->addMenu(QStringLiteral("&Options"));
    Options1->setObjectName(QStringLiteral("Options1"));
    connect(addAction(Options1, "Notifications1", QStringLiteral("&Notifications ...")), &QAction::triggered, this,
            &TForm1::Notifications1Click);
    connect(addAction(Options1, "TestRestore1", QStringLiteral("&Test restore ...")), &QAction::triggered, this,
            &TForm1::TestRestore1Click);
    connect(addAction(Options1, "MetricsFile1", QStringLiteral("&Metrics file ...")), &QAction::triggered, this,
            &TForm1::MetricsFile1Click);
    connect(addAction(Options1, "OffsiteLimit1", QStringLiteral("Off-site &bandwidth limit ...")), &QAction::triggered,
            this, &TForm1::OffsiteLimit1Click);
    // New passwords go to the settings file instead of the keyring; those
    // in the keyring stay there.
    QAction *passwordsInFile = addAction(Options1, "PasswordsInFile1", SecretTexts::keepInFileMenu(false));
    passwordsInFile->setCheckable(true);
    connect(Options1, &QMenu::aboutToShow, this, [this, passwordsInFile] {
        passwordsInFile->setChecked(AppSettings(m_store).ReadKeepPasswordsInFile());
    });
    connect(passwordsInFile, &QAction::triggered, this, [this](bool checked) {
        if (!AppSettings(m_store).SaveKeepPasswordsInFile(checked))
            protocol().AddStatus(m_texts.pick(QStringLiteral("The settings could not be saved."),
                                              QStringLiteral("Die Einstellungen konnten nicht gespeichert werden.")));
    });

    Info1 = bar->addMenu(QStringLiteral("&Info"));
    Info1->setObjectName(QStringLiteral("Info1"));
    connect(addAction(Info1, "About1", QStringLiteral("&About")), &QAction::triggered, this, &TForm1::About1Click);
    Language1 = Info1->addMenu(QStringLiteral("&Language/Sprache"));
    Language1->setObjectName(QStringLiteral("Language1"));
    m_actions.insert(QStringLiteral("Language1"), Language1->menuAction());
    QAction *english = addAction(Language1, "English1", QStringLiteral("&English"));
    QAction *deutsch = addAction(Language1, "Deutsch1", QStringLiteral("&Deutsch"));
    english->setData(0);
    deutsch->setData(1);
    for (QAction *a : {english, deutsch}) {
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, a] { English1Click(a); });
    }
    QAction *autostart = addAction(Info1, "Autostart1", QStringLiteral("Start with the desktop"));
    autostart->setCheckable(true);
    autostart->setChecked(m_autostart.exists());
    connect(autostart, &QAction::triggered, this, &TForm1::Autostart1Click);
    // The entry can be changed outside the program: look again each time.
    connect(Info1, &QMenu::aboutToShow, this, [this, autostart] { autostart->setChecked(m_autostart.exists()); });
    connect(addAction(Info1, "Internet1", QStringLiteral("I&nternet")), &QAction::triggered, this, &TForm1::Internet1Click);
    connect(addAction(Info1, "HowTo1", QStringLiteral("How To")), &QAction::triggered, this, &TForm1::HowTo1Click);

    // The tray menu.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    connect(addAction(PopupMenu1, "Restore1", QStringLiteral("&Restore")), &QAction::triggered, this, &TForm1::Restore1Click);
    connect(addAction(PopupMenu1, "Minimize1", QStringLiteral("&Minimize")), &QAction::triggered, this, &TForm1::Minimize1Click);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N3"));
    connect(addAction(PopupMenu1, "Close2", QStringLiteral("&Close")), &QAction::triggered, this, &TForm1::Close1Click);

    // The task list's context menu.
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    Befehle1 = PopupMenu2->addMenu(QStringLiteral("&Tasks"));
    Befehle1->setObjectName(QStringLiteral("Befehle1"));
    m_actions.insert(QStringLiteral("Befehle1"), Befehle1->menuAction());
    connect(addAction(Befehle1, "RunBackupmanually2", QStringLiteral("&Run Backup manually")),
            &QAction::triggered, this, &TForm1::RunBackupmanually1Click);
    connect(addAction(Befehle1, "DownloadFileperFTPmanually2", QStringLiteral("&Download Backup-File manually")),
            &QAction::triggered, this, &TForm1::DownloadFileperFTPmanually1Click);
    PopupMenu2->addSeparator();
    connect(addAction(PopupMenu2, "Neu1", QStringLiteral("&New")), &QAction::triggered, this, &TForm1::Neu1Click);
    connect(addAction(PopupMenu2, "Bearbeiten1", QStringLiteral("&Edit")), &QAction::triggered, this, &TForm1::Bearbeiten1Click);
    connect(addAction(PopupMenu2, "Duplizieren1", QStringLiteral("&Duplicate")), &QAction::triggered, this, &TForm1::Duplizieren1Click);
    connect(addAction(PopupMenu2, "Lschen1", QStringLiteral("&Delete")), &QAction::triggered, this, &TForm1::Lschen1Click);
    connect(addAction(PopupMenu2, "StoredBackups2", QStringLiteral("&Stored backups...")), &QAction::triggered, this,
            &TForm1::StoredBackups1Click);
    PopupMenu2->addSeparator();
    Ansicht1 = PopupMenu2->addMenu(QStringLiteral("&Ansicht"));
    Ansicht1->setObjectName(QStringLiteral("Ansicht1"));
    m_actions.insert(QStringLiteral("Ansicht1"), Ansicht1->menuAction());
    for (QAction *a : {ListView1->Details1(), ListView1->Symbole1()}) {
        Ansicht1->addAction(a);
        m_actions.insert(a->objectName(), a);
    }
    ListView1->setContextMenu(PopupMenu2);

    connect(ListView1, &TaskListView::selectedRowChanged, this, &TForm1::updateRowCommands);
    // A rebuild drops the selection without a selection signal.
    connect(ListView1->model(), &QAbstractItemModel::modelReset, this, &TForm1::updateRowCommands);
    connect(ListView1->model(), &QAbstractItemModel::rowsRemoved, this, &TForm1::updateRowCommands);
    updateRowCommands();
}

void TForm1::updateRowCommands()
{
    const bool selected = ListView1->selectedRow() >= 0;
    for (const char *name : {"RunBackupmanually1", "RunBackupmanually2", "DownloadFileperFTPmanually1",
                             "DownloadFileperFTPmanually2", "Bearbeiten1", "Duplizieren1", "Lschen1"})
        m_actions.value(QString::fromLatin1(name))->setEnabled(selected);
}

void TForm1::Autostart1Click(bool checked)
{
    if (!m_autostart.setEnabled(checked)) {
        const QString text = m_texts.pick(QStringLiteral("The autostart entry %1 could not be %2.")
                                              .arg(m_autostart.location(),
                                                   checked ? QStringLiteral("written") : QStringLiteral("removed")),
                                          QStringLiteral("Der Autostart-Eintrag %1 konnte nicht %2 werden.")
                                              .arg(m_autostart.location(),
                                                   checked ? QStringLiteral("geschrieben") : QStringLiteral("entfernt")));
        auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("AutostartErrorDialog"));
        box->setTextFormat(Qt::PlainText);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    }
    m_actions.value(QStringLiteral("Autostart1"))->setChecked(m_autostart.exists());
}

void TForm1::buildMenuRenderer()
{
    for (QAction *a : std::as_const(m_actions)) {
        const QIcon icon = MenuBitmaps::icon(a->objectName());
        if (!icon.isNull())
            a->setIcon(icon);
    }
    MenuRenderer1 = new TFlatMenuRenderer(this);
    MenuRenderer1->setObjectName(QStringLiteral("MenuRenderer1"));
    MenuRenderer1->setUpForMainWindow();
    MenuRenderer1->setActive(true);
}

void TForm1::TranslateMainWindow(int language)
{
    if (language != 0 && language != 1) {
        m_texts.refill();
        return;
    }
    const bool en = language == 0;
    auto caption = [this](const char *name, const QString &text) {
        if (QAction *a = m_actions.value(QString::fromLatin1(name)))
            a->setText(text);
    };
    ListView1->setHeaderText(1, QStringLiteral("Host Name"));
    ListView1->setHeaderText(2, en ? QStringLiteral("Backup-Filename") : QStringLiteral("Backup-Dateiname"));
    ListView1->setHeaderText(3, en ? QStringLiteral("Daily Backup at") : QStringLiteral("Tägliches Backup um"));
    ListView1->setHeaderText(4, en ? QStringLiteral("Message") : QStringLiteral("Hinweis"));
    Label10->setText(en ? QStringLiteral("Actual Backup-Process") : QStringLiteral("Aktueller Backup-Process"));
    Label11->setText(en ? QStringLiteral("Actual Download") : QStringLiteral("Aktueller Download"));
    asks1->setTitle(QStringLiteral("&Tasks"));
    const QString run = en ? QStringLiteral("&Run Backup manually") : QStringLiteral("&Manuelles Backup");
    caption("RunBackupmanually1", run);
    caption("RunBackupmanually2", run);
    const QString download = en ? QStringLiteral("&Download Backup-File manually")
                                : QStringLiteral("Manueller &Download der Sicherungsdatei");
    caption("DownloadFileperFTPmanually1", download);
    caption("DownloadFileperFTPmanually2", download);
    const QString stored = en ? QStringLiteral("&Stored backups...") : QStringLiteral("&Gespeicherte Backups...");
    caption("StoredBackups1", stored);
    caption("StoredBackups2", stored);
    caption("CancelTelnetsession1", en ? QStringLiteral("&Cancel Telnet-Session") : QStringLiteral("&Abbruch der Telnet-Session"));
    caption("Close1", en ? QStringLiteral("C&lose") : QStringLiteral("&Beenden"));
    Options1->setTitle(en ? QStringLiteral("&Options") : QStringLiteral("&Optionen"));
    caption("Notifications1", en ? QStringLiteral("&Notifications ...") : QStringLiteral("&Benachrichtigungen ..."));
    caption("TestRestore1", en ? QStringLiteral("&Test restore ...") : QStringLiteral("&Testwiederherstellung ..."));
    caption("MetricsFile1", en ? QStringLiteral("&Metrics file ...") : QStringLiteral("&Metrikdatei ..."));
    caption("OffsiteLimit1", en ? QStringLiteral("Off-site &bandwidth limit ...")
                                : QStringLiteral("Band&breite externer Kopien ..."));
    caption("PasswordsInFile1", SecretTexts::keepInFileMenu(!en));
    Info1->setTitle(QStringLiteral("&Info"));
    caption("About1", en ? QStringLiteral("&About") : QStringLiteral("Ü&ber"));
    caption("Internet1", QStringLiteral("I&nternet"));
    caption("Autostart1", en ? QStringLiteral("Start with the desktop") : QStringLiteral("Mit dem Desktop starten"));
    Language1->setTitle(QStringLiteral("&Language/Sprache"));
    caption("Neu1", en ? QStringLiteral("&New") : QStringLiteral("&Neu"));
    caption("Bearbeiten1", en ? QStringLiteral("&Edit") : QStringLiteral("&Bearbeiten"));
    caption("Lschen1", en ? QStringLiteral("&Delete") : QStringLiteral("&Löschen"));
    caption("Duplizieren1", en ? QStringLiteral("&Duplicate") : QStringLiteral("&Duplizieren"));
    Ansicht1->setTitle(en ? QStringLiteral("View") : QStringLiteral("Ansicht"));
    caption("Symbole1", en ? QStringLiteral("Symbols") : QStringLiteral("Symbole"));
    caption("Restore1", en ? QStringLiteral("&Restore") : QStringLiteral("&Wiederherstellen"));
    caption("Minimize1", en ? QStringLiteral("&Minimize") : QStringLiteral("&Minimieren"));
    caption("Close2", en ? QStringLiteral("&Close") : QStringLiteral("&Beenden"));
    Memo2->setToolTip(en ? QStringLiteral("Task protocol\nDouble-Click to clear protocol-log")
                         : QStringLiteral("Task-Protokoll\nDoppelklick zum Leeren des Protokolls"));
    m_texts.refill();
}

void TForm1::ApplyLanguage()
{
    TranslateMainWindow(m_texts.Language);
    taskform->TranslateTaskForm(m_texts.Language);
    // Boxes made from now on (the close question's Yes and No) follow.
    m_qtTexts.apply(m_texts.Language);
    emit languageApplied(m_texts.Language);
    QAction *english = m_actions.value(QStringLiteral("English1"));
    QAction *deutsch = m_actions.value(QStringLiteral("Deutsch1"));
    english->setChecked(m_texts.Language == 0);
    deutsch->setChecked(!english->isChecked());
}

void TForm1::English1Click(QAction *sender)
{
    m_texts.Language = sender->data().toInt();
    ApplyLanguage();
}
