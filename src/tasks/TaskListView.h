#pragma once

#include <QMenu>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "tasks/TaskListModel.h"

class LanguageTexts;
class QAction;
class QListView;

class QStackedWidget;
class QTreeView;
class TaskStore;
struct TaskListEntry;

// The task list "ListView1": one row per stored task, in store order, shown
// either as a report with five columns or as large icons. Both views show
// the same rows and share one selection. The rows are a task board's: its
// own, or the engine's once given one.
class TaskListView : public QWidget {
    Q_OBJECT
public:
    explicit TaskListView(QWidget *parent = nullptr);
    ~TaskListView() override;

    // Shows this board's rows from now on.
    void setBoard(TaskBoard *board);
    TaskBoard &board() const { return *m_model->board(); }

    // Rebuilds the board's rows from the store in one read (empty Message
    // column, no selection), then marks shared targets. A task with a value
    // that is not text still gets its row, marked with the unreadable warning
    // and left out of the target check; false then.
    bool RefreshTaskList(const TaskStore &store, const LanguageTexts &texts);
    // The same from entries the caller has read, so it can hand them on.
    bool RefreshTaskList(const QList<TaskListEntry> &entries, const LanguageTexts &texts);

    // 0 icon view (Symbole1 checked, Details1 not), 1 report view (Details1
    // checked, Symbole1 not). Any other value keeps the view and Details1 and
    // checks Symbole1 exactly when Details1 is not. Does not change displayMode().
    void SetDisplayMode(int value);
    // The display mode held in memory: the last value read from the settings
    // or chosen in the View submenu; what the settings save writes.
    int displayMode() const { return m_displayMode; }
    // Holds value as the display mode and applies it.
    void holdDisplayMode(int value);
    // Handler of both View entries: the entry's tag (0 Symbole1, 1 Details1)
    // becomes the display mode.
    void Details1Click(QAction *sender);

    // The View submenu's entries, checkable, for the list's context menu.
    QAction *Details1() const { return m_details1; }
    QAction *Symbole1() const { return m_symbole1; }

    // Row access. Indexes outside the rows give empty text and -1.
    int rowCount() const;
    QString rowName(int row) const;
    int rowImageIndex(int row) const;  // the task's run value
    QString rowHost(int row) const;
    QString rowBackupFile(int row) const;
    QString rowTime(int row) const;
    QString rowMessage(int row) const;
    void setRowMessage(int row, const QString &text);
    // Sets the message of the row of that task (names compare without regard
    // to case); false when no row shows it any more.
    bool setMessageForTask(const QString &taskName, const QString &text);

    int selectedRow() const;  // -1 when none
    void selectRow(int row);  // outside the rows: no selection

    void setHeaderText(int column, const QString &text);
    QString headerText(int column) const;

    // The menu shown on a right click or the menu key in either view.
    void setContextMenu(QMenu *menu);
    QMenu *contextMenu() const { return m_contextMenu; }

    bool isReportView() const;
    QTreeView *reportView() const { return m_report; }
    QListView *iconView() const { return m_icons; }
    TaskListModel *model() const { return m_model; }


signals:
    // The selected row changed (-1: none).
    void selectedRowChanged(int row);

private:
    void showContextMenu(QWidget *viewport, const QPoint &pos);

    TaskListModel *m_model = nullptr;
    TaskBoard *m_ownBoard = nullptr;
    QStackedWidget *m_stack = nullptr;
    QTreeView *m_report = nullptr;
    QListView *m_icons = nullptr;
    QAction *m_details1 = nullptr;
    QAction *m_symbole1 = nullptr;
    QPointer<QMenu> m_contextMenu;
    int m_displayMode = 0;
};
