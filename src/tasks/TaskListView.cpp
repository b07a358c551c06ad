#include "tasks/TaskListView.h"

#include <QAction>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include "shell/LanguageTexts.h"
#include "tasks/TaskStore.h"

namespace {
constexpr int kColumnWidths[TaskListModel::ColumnCount] = {100, 100, 100, 100, 265};
}

TaskListView::TaskListView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ListView1"));
    m_model = new TaskListModel(this);
    // Its own board until it is given the engine's, and again when that goes.
    m_ownBoard = new TaskBoard(this);
    m_model->setBoard(m_ownBoard);

    m_report = new QTreeView;
    m_report->setObjectName(QStringLiteral("ListView1Report"));
    m_report->setModel(m_model);
    m_report->setRootIsDecorated(false);
    m_report->setItemsExpandable(false);
    m_report->setUniformRowHeights(true);
    m_report->setAllColumnsShowFocus(true);
    m_report->setSortingEnabled(false);
    m_report->setIconSize(QSize(16, 16));
    m_report->setTextElideMode(Qt::ElideRight);
    QHeaderView *header = m_report->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < TaskListModel::ColumnCount; ++c)
        header->resizeSection(c, kColumnWidths[c]);

    m_icons = new QListView;
    m_icons->setObjectName(QStringLiteral("ListView1Icons"));
    m_icons->setViewMode(QListView::IconMode);
    m_icons->setModel(m_model);
    m_icons->setModelColumn(TaskListModel::NameColumn);
    m_icons->setIconSize(QSize(48, 48));
    m_icons->setGridSize(QSize(96, 92));
    // Every item fits the fixed grid: no per-item measuring, so large lists lay out fast.
    m_icons->setUniformItemSizes(true);
    m_icons->setMovement(QListView::Static);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setWordWrap(true);

    // One selection for both views, so switching keeps the selected row.
    QItemSelectionModel *ownIconSelection = m_icons->selectionModel();
    m_icons->setSelectionModel(m_report->selectionModel());
    delete ownIconSelection;

    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(m_report), static_cast<QAbstractItemView *>(m_icons)}) {
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint &pos) { showContextMenu(view->viewport(), pos); });
    }
    connect(m_report->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit selectedRowChanged(selectedRow()); });

    m_stack = new QStackedWidget;
    m_stack->addWidget(m_report);
    m_stack->addWidget(m_icons);
    m_stack->setCurrentWidget(m_report);
    setFocusProxy(m_report);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);

    // As designed: the report view, with its menu entry checked.
    m_details1 = new QAction(QStringLiteral("Details"), this);
    m_details1->setObjectName(QStringLiteral("Details1"));
    m_details1->setCheckable(true);
    m_details1->setChecked(true);
    m_details1->setData(1);
    m_symbole1 = new QAction(QStringLiteral("Symbols"), this);
    m_symbole1->setObjectName(QStringLiteral("Symbole1"));
    m_symbole1->setCheckable(true);
    m_symbole1->setData(0);
    for (QAction *a : {m_details1, m_symbole1})
        connect(a, &QAction::triggered, this, [this, a] { Details1Click(a); });
}

TaskListView::~TaskListView() = default;

void TaskListView::setBoard(TaskBoard *board)
{
    if (TaskBoard *previous = m_model->board(); previous && previous != m_ownBoard)
        disconnect(previous, &QObject::destroyed, this, nullptr);
    m_model->setBoard(board ? board : m_ownBoard);
    if (board && board != m_ownBoard)
        connect(board, &QObject::destroyed, this, [this] { m_model->setBoard(m_ownBoard); });
}

bool TaskListView::RefreshTaskList(const TaskStore &store, const LanguageTexts &texts)
{
    return RefreshTaskList(store.ReadTaskList(), texts);
}

bool TaskListView::RefreshTaskList(const QList<TaskListEntry> &entries, const LanguageTexts &texts)
{
    // One read and one model reset: the list is complete before anything
    // else runs, so no event processing in between is needed.
    return board().rebuild(entries, texts);
}

void TaskListView::SetDisplayMode(int value)
{
    if (value == 0) {
        m_stack->setCurrentWidget(m_icons);
        setFocusProxy(m_icons);
        m_details1->setChecked(false);
        m_symbole1->setChecked(true);
    } else if (value == 1) {
        m_stack->setCurrentWidget(m_report);
        setFocusProxy(m_report);
        m_details1->setChecked(true);
        m_symbole1->setChecked(false);
    } else {
        m_symbole1->setChecked(!m_details1->isChecked());
    }
}

void TaskListView::holdDisplayMode(int value)
{
    m_displayMode = value;
    SetDisplayMode(value);
}

void TaskListView::Details1Click(QAction *sender)
{
    if (sender)
        holdDisplayMode(sender->data().toInt());
}

bool TaskListView::isReportView() const
{
    return m_stack->currentWidget() == m_report;
}

int TaskListView::rowCount() const
{
    return m_model->rowCount();
}

namespace {
bool inRange(const TaskListModel *m, int row)
{
    return row >= 0 && row < m->rowCount();
}
}

QString TaskListView::rowName(int row) const
{
    return inRange(m_model, row) ? m_model->row(row).name : QString();
}

int TaskListView::rowImageIndex(int row) const
{
    return inRange(m_model, row) ? m_model->row(row).run : -1;
}

QString TaskListView::rowHost(int row) const
{
    return inRange(m_model, row) ? m_model->row(row).host : QString();
}

QString TaskListView::rowBackupFile(int row) const
{
    return inRange(m_model, row) ? m_model->row(row).backupfile : QString();
}

QString TaskListView::rowTime(int row) const
{
    return inRange(m_model, row) ? m_model->row(row).backuptime : QString();
}

QString TaskListView::rowMessage(int row) const
{
    return inRange(m_model, row) ? m_model->row(row).message : QString();
}

void TaskListView::setRowMessage(int row, const QString &text)
{
    board().setMessage(row, text);
}

bool TaskListView::setMessageForTask(const QString &taskName, const QString &text)
{
    return board().setMessageForTask(taskName, text);
}

int TaskListView::selectedRow() const
{
    const QModelIndexList rows = m_report->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TaskListView::selectRow(int row)
{
    QItemSelectionModel *selection = m_report->selectionModel();
    if (!inRange(m_model, row)) {
        selection->clear();
        return;
    }
    const QModelIndex index = m_model->index(row, 0);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_report->scrollTo(index);
    m_icons->scrollTo(index);
}

void TaskListView::setHeaderText(int column, const QString &text)
{
    m_model->setHeaderData(column, Qt::Horizontal, text);
}

QString TaskListView::headerText(int column) const
{
    return m_model->headerData(column, Qt::Horizontal).toString();
}

void TaskListView::setContextMenu(QMenu *menu)
{
    m_contextMenu = menu;
}

void TaskListView::showContextMenu(QWidget *viewport, const QPoint &pos)
{
    if (m_contextMenu)
        m_contextMenu->popup(viewport->mapToGlobal(pos));
}
