#pragma once

// A stand-in for the main window's menus: the same entries, captions and
// object names, with the renderer set up as the main window sets it up.

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>

#include "resources/MenuBitmaps.h"
#include "shell/TFlatMenuRenderer.h"

// The classic desktop colours, so that pixel values are known exactly.
inline QPalette classicPalette()
{
    QPalette pal;
    const QColor face(212, 208, 200);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(g, QPalette::Button, face);
        pal.setColor(g, QPalette::Window, face);
        pal.setColor(g, QPalette::Highlight, QColor(10, 36, 106));
        pal.setColor(g, QPalette::Dark, QColor(128, 128, 128));
        pal.setColor(g, QPalette::WindowText, g == QPalette::Disabled ? QColor(128, 128, 128) : QColor(0, 0, 0));
        pal.setColor(g, QPalette::ButtonText, g == QPalette::Disabled ? QColor(128, 128, 128) : QColor(0, 0, 0));
        pal.setColor(g, QPalette::Text, QColor(0, 0, 0));
    }
    return pal;
}

class MenuStandIn : public QMainWindow {
public:
    explicit MenuStandIn(bool withRenderer = true)
    {
        setObjectName(QStringLiteral("Form1"));
        resize(698, 489);

        MainMenu1 = menuBar();
        MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
        asks1 = MainMenu1->addMenu(QStringLiteral("&Tasks"));
        asks1->setObjectName(QStringLiteral("asks1"));
        item(asks1, "RunBackupmanually1", "&Run Backup manually");
        item(asks1, "DownloadFileperFTPmanually1", "&Download File per FTP manually");
        separator(asks1, "N1");
        item(asks1, "CancelTelnetsession1", "&Cancel Telnet-Session");
        separator(asks1, "N2");
        item(asks1, "Close1", "C&lose");

        Info1 = MainMenu1->addMenu(QStringLiteral("&Info"));
        Info1->setObjectName(QStringLiteral("Info1"));
        item(Info1, "About1", "&About");
        Language1 = Info1->addMenu(QStringLiteral("&Language/Sprache"));
        Language1->setObjectName(QStringLiteral("Language1"));
        Language1->menuAction()->setObjectName(QStringLiteral("Language1"));
        QAction *english = item(Language1, "English1", "&English");
        english->setCheckable(true);
        english->setChecked(true);
        QAction *deutsch = item(Language1, "Deutsch1", "&Deutsch");
        deutsch->setCheckable(true);
        item(Info1, "Internet1", "I&nternet");
        item(Info1, "HowTo1", "How To");

        PopupMenu1 = new QMenu(this);
        PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
        item(PopupMenu1, "Restore1", "&Restore");
        item(PopupMenu1, "Minimize1", "&Minimize");
        separator(PopupMenu1, "N3");
        item(PopupMenu1, "Close2", "&Close");

        PopupMenu2 = new QMenu(this);
        PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
        Befehle1 = PopupMenu2->addMenu(QStringLiteral("&Tasks"));
        Befehle1->setObjectName(QStringLiteral("Befehle1"));
        Befehle1->menuAction()->setObjectName(QStringLiteral("Befehle1"));
        item(Befehle1, "RunBackupmanually2", "&Run Backup manually");
        item(Befehle1, "DownloadFileperFTPmanually2", "&Download Backup-File manually");
        separator(PopupMenu2, "N4");
        item(PopupMenu2, "Neu1", "&New");
        item(PopupMenu2, "Bearbeiten1", "&Edit");
        item(PopupMenu2, "Duplizieren1", "&Duplicate");
        item(PopupMenu2, "Lschen1", "&Delete");
        separator(PopupMenu2, "N5");
        Ansicht1 = PopupMenu2->addMenu(MenuBitmaps::icon(QStringLiteral("Ansicht1")), QStringLiteral("View"));
        Ansicht1->setObjectName(QStringLiteral("Ansicht1"));
        Ansicht1->menuAction()->setObjectName(QStringLiteral("Ansicht1"));
        QAction *details = item(Ansicht1, "Details1", "Details");
        details->setCheckable(true);
        details->setChecked(true);
        QAction *symbols = item(Ansicht1, "Symbole1", "Symbols");
        symbols->setCheckable(true);

        if (withRenderer) {
            MenuRenderer1 = new TFlatMenuRenderer(this);
            setUpLikeMainWindow(MenuRenderer1);
            MenuRenderer1->setActive(true);
        }
    }

    static void setUpLikeMainWindow(TFlatMenuRenderer *r) { r->setUpForMainWindow(); }

    QAction *entry(const char *name) const { return findChild<QAction *>(QLatin1String(name)); }

    QMenuBar *MainMenu1 = nullptr;
    QMenu *asks1 = nullptr;
    QMenu *Info1 = nullptr;
    QMenu *Language1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QMenu *PopupMenu2 = nullptr;
    QMenu *Befehle1 = nullptr;
    QMenu *Ansicht1 = nullptr;
    TFlatMenuRenderer *MenuRenderer1 = nullptr;

private:
    QAction *item(QMenu *menu, const char *name, const char *caption)
    {
        QAction *a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QLatin1String(name));
        a->setIcon(MenuBitmaps::icon(a->objectName()));
        return a;
    }
    void separator(QMenu *menu, const char *name)
    {
        menu->addSeparator()->setObjectName(QLatin1String(name));
    }
};
