#include "tasks/TaskListModel.h"

#include <QPixmap>

#include "shell/LanguageTexts.h"

static void initTaskListResources()
{
    Q_INIT_RESOURCE(tasklist);
}

TaskListModel::TaskListModel(QObject *parent)
    : QAbstractTableModel(parent),
      m_headers{QStringLiteral("Task"), QStringLiteral("Host Name"), QStringLiteral("Backup-Filename"),
                QStringLiteral("Daily Backup at:"), QStringLiteral("Message")}
{
    static const bool resourcesReady = (initTaskListResources(), true);
    Q_UNUSED(resourcesReady);
    // One icon per image with both sizes: the report view picks the small
    // one, the icon view the large one.
    const char *const names[2] = {"inactive", "active"};
    for (int i = 0; i < 2; ++i) {
        for (int size : {16, 48})
            m_images[i].addFile(QStringLiteral(":/tasklist/%1%2.png").arg(QLatin1String(names[i])).arg(size),
                                QSize(size, size));
    }
    // Rows without an image keep the image's place, as the list aligns
    // captions the same in every row.
    for (int size : {16, 48}) {
        QPixmap empty(size, size);
        empty.fill(Qt::transparent);
        m_noImage.addPixmap(empty);
    }
}

int TaskListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_board ? 0 : m_board->rowCount();
}

int TaskListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

bool TaskListModel::isWarning(const QString &message)
{
    return message.size() > WarningPrefix.size() && message.startsWith(WarningPrefix);
}

QColor TaskListModel::textColor(const QString &message)
{
    if (message.isEmpty())
        return QColor(0, 0, 0);
    if (isWarning(message))
        return QColor(255, 0, 0);
    return QColor(45, 45, 0);
}

QColor TaskListModel::backgroundColor(const QString &message)
{
    if (message.isEmpty())
        return QColor();
    return QColor(210, 210, 255);
}

QIcon TaskListModel::rowImage(int imageIndex) const
{
    if (imageIndex < 0 || imageIndex > 1)
        return m_noImage;
    return m_images[imageIndex];
}

QVariant TaskListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_board || !m_board->hasRow(index.row()))
        return QVariant();
    const Row &r = m_board->row(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case NameColumn: return r.name;
        case HostColumn: return r.host;
        case BackupFileColumn: return r.backupfile;
        case TimeColumn: return r.backuptime;
        case MessageColumn: return r.message;
        }
        return QVariant();
    case Qt::DecorationRole:
        if (index.column() != NameColumn)
            return QVariant();
        return (r.run == 0 || r.run == 1) ? m_images[r.run] : m_noImage;
    case Qt::ToolTipRole:
        // The Message column cuts long texts short; the whole text on any
        // cell of the row, and on the icon in the icon view.
        return r.message.isEmpty() ? QVariant() : QVariant(r.message);
    case ImageIndexRole:
        return r.run;
    case Qt::ForegroundRole:
        return textColor(r.message);
    case Qt::BackgroundRole: {
        const QColor c = backgroundColor(r.message);
        return c.isValid() ? QVariant(c) : QVariant();
    }
    }
    return QVariant();
}

QVariant TaskListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_headers[section];
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant();
}

bool TaskListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount
        || (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    m_headers[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags TaskListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Read-only: nothing here is editable in place.
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

void TaskListModel::setBoard(TaskBoard *board)
{
    beginResetModel();
    if (m_board)
        disconnect(m_board, nullptr, this, nullptr);
    m_board = board;
    if (m_board) {
        // One reset per rebuild instead of a layout per row.
        connect(m_board, &TaskBoard::aboutToRebuild, this, &TaskListModel::beginResetModel);
        connect(m_board, &TaskBoard::rebuilt, this, &TaskListModel::endResetModel);
        // The message colours the whole row.
        connect(m_board, &TaskBoard::messageChanged, this,
                [this](int i) { emit dataChanged(index(i, 0), index(i, ColumnCount - 1)); });
    }
    endResetModel();
}
