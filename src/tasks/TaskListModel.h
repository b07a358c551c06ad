#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <QString>
#include <QPointer>

#include "schedule/TaskBoard.h"

// The task board shown as the task list: one row per task, in store order.
// Column 0 is the task name with the run value as its image, then host,
// backup file, daily time and message. The message decides the colours of
// the whole row.
class TaskListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, HostColumn, BackupFileColumn, TimeColumn, MessageColumn, ColumnCount };
    // The row's image index: its run value, whatever it is.
    static constexpr int ImageIndexRole = Qt::UserRole + 1;

    using Row = TaskBoard::Row;

    explicit TaskListModel(QObject *parent = nullptr);

    // The board shown. Whoever gives one hands the model another when it goes
    // (the task list falls back to its own); until then no rows show.
    void setBoard(TaskBoard *board);
    TaskBoard *board() const { return m_board; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const Row &row(int i) const { return m_board->row(i); }

    // The colours a row is drawn in for a given message: black text on the
    // list's own background without message, red on lavender for a warning,
    // dark olive on lavender for anything else.
    static QColor textColor(const QString &message);
    static QColor backgroundColor(const QString &message);  // invalid: the list's own
    static bool isWarning(const QString &message);

    // Image 0 (inactive) and 1 (active), each at 16x16 and 48x48; for other
    // values a fully transparent one that only keeps the image's place.
    QIcon rowImage(int imageIndex) const;

private:
    QPointer<TaskBoard> m_board;
    QString m_headers[ColumnCount];
    QIcon m_images[2];
    QIcon m_noImage;
};
