#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "shell/LanguageTexts.h"
#include "tasks/TaskListView.h"
#include "tasks/TaskStore.h"

namespace {
const QString kWarningEn = QStringLiteral("!!! This backup-file could overwrite a file of another task.");
const QString kWarningDe = QStringLiteral("!!! Diese Backup-Datei könnte eine Datei eines anderen Tasks überschreiben.");
const QColor kLavender(210, 210, 255);
const QColor kRed(255, 0, 0);
const QColor kOlive(45, 45, 0);
const QColor kBlack(0, 0, 0);

bool allTransparent(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() != 0)
                return false;
    return true;
}

int countPixels(const QImage &image, const QRect &area, const QColor &colour)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                ++n;
    return n;
}
}

class TestTaskListView : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_ini;
    LanguageTexts m_english;
    LanguageTexts m_german;

    TaskStore store() const { return TaskStore(m_ini); }

    void addTask(const QString &name, int run, const QString &localdir, const QString &backupfile,
                 const QString &host = QString(), const QString &time = QStringLiteral("12:00"), int compress = 0)
    {
        BackupTask t = BackupTask::withDefaults(name);
        t.compress = compress;
        t.run = run;
        t.localdir = localdir;
        t.backupfile = backupfile;
        t.host = host;
        t.backuptime = time;
        QVERIFY(store().SaveTask(name, t));
    }

    void setRaw(const QString &task, const QString &key, const QVariant &value)
    {
        QSettings raw(m_ini, QSettings::IniFormat);
        raw.setValue(QStringLiteral("tasks/%1/Options/%2").arg(task, key), value);
    }

    static QTreeView *reportOf(TaskListView &v)
    {
        return v.findChild<QTreeView *>(QStringLiteral("ListView1Report"));
    }
    static QListView *iconsOf(TaskListView &v)
    {
        return v.findChild<QListView *>(QStringLiteral("ListView1Icons"));
    }
    static QAction *action(TaskListView &v, const char *name)
    {
        return v.findChild<QAction *>(QString::fromLatin1(name));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_english.Language = 0;
        m_english.refill();
        m_german.Language = 1;
        m_german.refill();
    }

    void init()
    {
        static int n = 0;
        m_ini = m_dir.filePath(QStringLiteral("list%1.ini").arg(++n));
    }

    void layoutOfBothViews()
    {
        QWidget window;
        auto *view = new TaskListView(&window);
        QCOMPARE(window.findChild<TaskListView *>(QStringLiteral("ListView1")), view);
        QTreeView *report = reportOf(*view);
        QListView *icons = iconsOf(*view);
        QVERIFY(report && icons);

        // One model, one selection.
        QCOMPARE(report->model(), icons->model());
        QCOMPARE(report->selectionModel(), icons->selectionModel());

        const int widths[] = {100, 100, 100, 100, 265};
        const QStringList captions = {QStringLiteral("Task"), QStringLiteral("Host Name"),
                                      QStringLiteral("Backup-Filename"), QStringLiteral("Daily Backup at:"),
                                      QStringLiteral("Message")};
        QCOMPARE(report->model()->columnCount(), 5);
        for (int c = 0; c < 5; ++c) {
            QCOMPARE(report->header()->sectionSize(c), widths[c]);
            QCOMPARE(report->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
        }
        view->setHeaderText(4, QStringLiteral("Hinweis"));
        QCOMPARE(report->model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("Hinweis"));
        QCOMPARE(view->headerText(4), QStringLiteral("Hinweis"));

        for (QAbstractItemView *v : {static_cast<QAbstractItemView *>(report), static_cast<QAbstractItemView *>(icons)}) {
            QCOMPARE(v->selectionBehavior(), QAbstractItemView::SelectRows);
            QCOMPARE(v->selectionMode(), QAbstractItemView::SingleSelection);
            QCOMPARE(v->editTriggers(), QAbstractItemView::NoEditTriggers);
        }
        QCOMPARE(report->iconSize(), QSize(16, 16));
        QCOMPARE(icons->viewMode(), QListView::IconMode);
        QCOMPARE(icons->iconSize(), QSize(48, 48));
    }

    void rowsAndImagesAfterRebuild()
    {
        addTask(QStringLiteral("shop"), 1, QStringLiteral("/b"), QStringLiteral("shop.sql"),
                QStringLiteral("www.shop.example"), QStringLiteral("02:30"));
        addTask(QStringLiteral("Blog"), 0, QStringLiteral("/b"), QStringLiteral("blog.sql"),
                QStringLiteral("blog.example"), QStringLiteral("23:05"));
        // Values the editor never writes: run 2, run not a number, a bare key.
        setRaw(QStringLiteral("Odd"), QStringLiteral("run"), QStringLiteral("2"));
        setRaw(QStringLiteral("Odd"), QStringLiteral("backupfile"), QStringLiteral("odd.sql"));
        setRaw(QStringLiteral("Junk"), QStringLiteral("run"), QStringLiteral("yes"));
        setRaw(QStringLiteral("Junk"), QStringLiteral("backupfile"), QStringLiteral("junk.sql"));
        setRaw(QStringLiteral("Bare"), QStringLiteral("host"), QStringLiteral("bare.example"));

        TaskListView view;
        QVERIFY(view.RefreshTaskList(store(), m_english));
        QCOMPARE(view.rowCount(), 5);
        const QStringList order = {QStringLiteral("Bare"), QStringLiteral("Blog"), QStringLiteral("Junk"),
                                   QStringLiteral("Odd"), QStringLiteral("shop")};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(view.rowName(i), order[i]);

        QCOMPARE(view.rowImageIndex(0), 0);
        QCOMPARE(view.rowHost(0), QStringLiteral("bare.example"));
        QCOMPARE(view.rowBackupFile(0), QStringLiteral("backup.sql"));
        QCOMPARE(view.rowTime(0), QStringLiteral("12:00"));
        QCOMPARE(view.rowImageIndex(1), 0);
        QCOMPARE(view.rowTime(1), QStringLiteral("23:05"));
        QCOMPARE(view.rowImageIndex(2), 0);
        QCOMPARE(view.rowImageIndex(3), 2);
        QCOMPARE(view.rowImageIndex(4), 1);
        QCOMPARE(view.rowHost(4), QStringLiteral("www.shop.example"));
        QCOMPARE(view.rowBackupFile(4), QStringLiteral("shop.sql"));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(view.rowMessage(i), QString());

        // The cells as the views see them.
        QAbstractItemModel *m = reportOf(view)->model();
        QCOMPARE(m->index(4, 1).data().toString(), QStringLiteral("www.shop.example"));
        QCOMPARE(m->index(4, 2).data().toString(), QStringLiteral("shop.sql"));
        QCOMPARE(m->index(4, 3).data().toString(), QStringLiteral("02:30"));
        QCOMPARE(m->index(4, 0).data(TaskListModel::ImageIndexRole).toInt(), 1);
        QVERIFY(!(m->flags(m->index(4, 0)) & Qt::ItemIsEditable));

        // Images: inactive and active at both sizes, none for run 2.
        auto image = [&](int row, int size) {
            return m->index(row, 0).data(Qt::DecorationRole).value<QIcon>().pixmap(size, size).toImage()
                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        };
        auto resource = [](const char *name) {
            return QImage(QStringLiteral(":/tasklist/%1.png").arg(QLatin1String(name)))
                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        };
        QCOMPARE(image(1, 16), resource("inactive16"));
        QCOMPARE(image(1, 48), resource("inactive48"));
        QCOMPARE(image(4, 16), resource("active16"));
        QCOMPARE(image(4, 48), resource("active48"));
        QVERIFY(allTransparent(image(3, 16)));
        QVERIFY(allTransparent(image(3, 48)));
        QVERIFY(!m->index(4, 1).data(Qt::DecorationRole).isValid());

        // The inactive image is red, the active one grey.
        auto tally = [](const QImage &img, bool &hasRed, bool &allOpaqueGreyish) {
            hasRed = false;
            int coloured = 0, opaque = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const QColor c = img.pixelColor(x, y);
                    if (c.alpha() < 255)
                        continue;
                    ++opaque;
                    if (c.red() > 180 && c.green() < 60 && c.blue() < 60)
                        hasRed = true;
                    if (qAbs(c.red() - c.green()) > 40 || qAbs(c.green() - c.blue()) > 40)
                        ++coloured;
                }
            allOpaqueGreyish = opaque > 0 && coloured * 10 < opaque;
        };
        for (const char *name : {"inactive16", "inactive48"}) {
            bool red, grey;
            tally(resource(name), red, grey);
            QVERIFY2(red && !grey, name);
        }
        for (const char *name : {"active16", "active48"}) {
            bool red, grey;
            tally(resource(name), red, grey);
            QVERIFY2(!red && grey, name);
        }
    }

    void emptyStoreGivesEmptyList()
    {
        TaskListView view;
        QVERIFY(view.RefreshTaskList(store(), m_english));
        QCOMPARE(view.rowCount(), 0);
        QCOMPARE(view.selectedRow(), -1);
    }

    void rowColoursInModelAndOnScreen()
    {
        for (const char *n : {"A", "B", "C", "D", "E"})
            addTask(QString::fromLatin1(n), 1, QStringLiteral("/%1").arg(QLatin1String(n)), QStringLiteral("f.sql"),
                    QStringLiteral("HHHHHHHH"));
        TaskListView view;
        view.resize(700, 200);
        QVERIFY(view.RefreshTaskList(store(), m_english));
        view.setRowMessage(1, QStringLiteral("!!! Not Successful on 12/07/2026 12:00:44"));
        view.setRowMessage(2, QStringLiteral("Successful on 12/07/2026 12:00:44"));
        view.setRowMessage(3, QStringLiteral("!!! "));   // four characters only: not a warning
        view.setRowMessage(4, QStringLiteral("!!!x"));

        const QColor text[] = {kBlack, kRed, kOlive, kOlive, kOlive};
        QAbstractItemModel *m = reportOf(view)->model();
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 5; ++col) {
                const QModelIndex i = m->index(row, col);
                QCOMPARE(i.data(Qt::ForegroundRole).value<QColor>().rgb(), text[row].rgb());
                if (row == 0)
                    QVERIFY(!i.data(Qt::BackgroundRole).isValid());
                else
                    QCOMPARE(i.data(Qt::BackgroundRole).value<QColor>().rgb(), kLavender.rgb());
            }
        }

        // What is painted: report view. Away from the pointer, so that no row
        // is drawn hot; text without smoothing, so that glyphs carry the pen's
        // colour itself.
        view.holdDisplayMode(1);
        QFont sharp = view.font();
        sharp.setStyleStrategy(QFont::NoAntialias);
        reportOf(view)->setFont(sharp);
        iconsOf(view)->setFont(sharp);
        QCursor::setPos(0, 0);
        view.move(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTreeView *report = reportOf(view);
        // The current row is drawn with the style's focus frame; leave none.
        report->selectionModel()->clearCurrentIndex();
        const QImage shot = report->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QColor base = report->palette().color(QPalette::Base);
        for (int row = 0; row < 5; ++row) {
            const QRect hostCell = report->visualRect(m->index(row, 1));
            const QRect timeCell = report->visualRect(m->index(row, 3));
            // Right end of the time cell: no text there, only background.
            const QPoint empty(timeCell.right() - 3, timeCell.center().y());
            QCOMPARE(shot.pixelColor(empty).rgb(), row == 0 ? base.rgb() : kLavender.rgb());
            QVERIFY2(countPixels(shot, hostCell, text[row]) > 0, qPrintable(QString::number(row)));
            for (const QColor &other : {kBlack, kRed, kOlive}) {
                if (other != text[row])
                    QCOMPARE(countPixels(shot, hostCell, other), 0);
            }
        }

        // And the icon view.
        view.holdDisplayMode(0);
        QListView *icons = iconsOf(view);
        QTRY_VERIFY(icons->isVisible());
        icons->selectionModel()->clearCurrentIndex();
        const QImage iconShot = icons->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QColor iconBase = icons->palette().color(QPalette::Base);
        for (int row = 0; row < 5; ++row) {
            const QRect item = icons->visualRect(m->index(row, 0));
            QVERIFY(!item.isEmpty());
            const QPoint corner(item.left() + 1, item.top() + 1);
            QCOMPARE(iconShot.pixelColor(corner).rgb(), row == 0 ? iconBase.rgb() : kLavender.rgb());
            const QRect caption(item.left(), item.top() + 48, item.width(), item.height() - 48);
            QVERIFY2(countPixels(iconShot, caption, text[row]) > 0, qPrintable(QString::number(row)));
            for (const QColor &other : {kBlack, kRed, kOlive}) {
                if (other != text[row])
                    QCOMPARE(countPixels(iconShot, caption, other), 0);
            }
        }
    }

    void sharedTargets_data()
    {
        QTest::addColumn<QStringList>("dirs");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QList<int>>("marked");
        const QString f = QStringLiteral("backup.sql");
        QTest::newRow("two equal") << QStringList{QStringLiteral("/b"), QStringLiteral("/b")}
                                   << QStringList{f, f} << QList<int>{1};
        QTest::newRow("three equal") << QStringList{QStringLiteral("/b"), QStringLiteral("/b"), QStringLiteral("/b")}
                                     << QStringList{f, f, f} << QList<int>{1, 2};
        QTest::newRow("trailing separator") << QStringList{QStringLiteral("/b"), QStringLiteral("/b/")}
                                            << QStringList{f, f} << QList<int>{1};
        QTest::newRow("other file") << QStringList{QStringLiteral("/b"), QStringLiteral("/b")}
                                    << QStringList{f, QStringLiteral("other.sql")} << QList<int>{};
        QTest::newRow("pair after a stranger")
            << QStringList{QStringLiteral("/x"), QStringLiteral("/b/"), QStringLiteral("/b")}
            << QStringList{f, f, f} << QList<int>{2};
        // No local directory: nothing is fetched, so nothing is overwritten.
        QTest::newRow("no directory") << QStringList{QString(), QString()} << QStringList{f, f} << QList<int>{};
#ifdef Q_OS_WIN
        QTest::newRow("letter case") << QStringList{QStringLiteral("D:\\Backups"), QStringLiteral("d:\\backups")}
                                     << QStringList{f, QStringLiteral("BACKUP.SQL")} << QList<int>{1};
        QTest::newRow("backslash") << QStringList{QStringLiteral("D:\\backups"), QStringLiteral("D:\\backups\\")}
                                   << QStringList{f, f} << QList<int>{1};
        QTest::newRow("mixed separators") << QStringList{QStringLiteral("D:/backups"), QStringLiteral("D:\\backups\\")}
                                          << QStringList{f, f} << QList<int>{1};
#else
        QTest::newRow("letter case") << QStringList{QStringLiteral("/B"), QStringLiteral("/b")}
                                     << QStringList{f, f} << QList<int>{};
        QTest::newRow("file letter case") << QStringList{QStringLiteral("/b"), QStringLiteral("/b")}
                                          << QStringList{f, QStringLiteral("BACKUP.SQL")} << QList<int>{};
        // "\" is an ordinary character here.
        QTest::newRow("backslash") << QStringList{QStringLiteral("D:\\backups"), QStringLiteral("D:\\backups\\")}
                                   << QStringList{f, f} << QList<int>{};
#endif
    }

    void sharedTargets()
    {
        QFETCH(QStringList, dirs);
        QFETCH(QStringList, files);
        QFETCH(QList<int>, marked);
        for (int i = 0; i < dirs.size(); ++i)
            addTask(QStringLiteral("T%1").arg(i), 1, dirs[i], files[i]);
        TaskListView view;
        QVERIFY(view.RefreshTaskList(store(), m_english));
        QCOMPARE(view.rowCount(), dirs.size());
        for (int i = 0; i < dirs.size(); ++i)
            QCOMPARE(view.rowMessage(i), marked.contains(i) ? kWarningEn : QString());
        if (!marked.isEmpty())
            QCOMPARE(reportOf(view)->model()->index(marked.first(), 0).data(Qt::ForegroundRole).value<QColor>(), kRed);
    }

    void sharedTargetsCompareStoredNames()
    {
        // Compression is part of the name the file is stored under.
        const QString noon = QStringLiteral("12:00");
        addTask(QStringLiteral("A plain"), 1, QStringLiteral("/b"), QStringLiteral("x.sql"), QString(), noon, 0);
        addTask(QStringLiteral("B gzip"), 1, QStringLiteral("/b"), QStringLiteral("x.sql"), QString(), noon, 1);
        addTask(QStringLiteral("C zstd"), 1, QStringLiteral("/b"), QStringLiteral("x.sql"), QString(), noon, 2);
        addTask(QStringLiteral("D named .gz"), 1, QStringLiteral("/b"), QStringLiteral("x.sql.gz"), QString(), noon, 0);
        TaskListView view;
        QVERIFY(view.RefreshTaskList(store(), m_english));
        QCOMPARE(view.rowMessage(1), QString());
        QCOMPARE(view.rowMessage(2), QString());
        QCOMPARE(view.rowMessage(3), kWarningEn);
    }

    void sharedTargetWarningFollowsTheLanguage()
    {
        addTask(QStringLiteral("One"), 1, QStringLiteral("/b"), QStringLiteral("x.sql"));
        addTask(QStringLiteral("Two"), 1, QStringLiteral("/b"), QStringLiteral("x.sql"));
        TaskListView view;
        QVERIFY(view.RefreshTaskList(store(), m_german));
        QCOMPARE(view.rowMessage(0), QString());
        QCOMPARE(view.rowMessage(1), kWarningDe);
        // Any language but English counts as German.
        LanguageTexts other;
        other.Language = 5;
        QVERIFY(view.RefreshTaskList(store(), other));
        QCOMPARE(view.rowMessage(1), kWarningDe);
        QVERIFY(view.RefreshTaskList(store(), m_english));
        QCOMPARE(view.rowMessage(1), kWarningEn);
    }

    void rebuildClearsMessagesAndSelection()
    {
        addTask(QStringLiteral("A"), 1, QStringLiteral("/a"), QStringLiteral("x.sql"));
        addTask(QStringLiteral("B"), 1, QStringLiteral("/b"), QStringLiteral("x.sql"));
        addTask(QStringLiteral("C"), 1, QStringLiteral("/b/"), QStringLiteral("x.sql"));
        TaskListView view;
        QVERIFY(view.RefreshTaskList(store(), m_english));
        view.setRowMessage(0, QStringLiteral("Successful on 12/07/2026 12:00:44"));
        view.setRowMessage(2, QStringLiteral("!!! Not Successful on 12/07/2026 12:00:44"));
        view.selectRow(1);
        QCOMPARE(view.selectedRow(), 1);

        QVERIFY(view.RefreshTaskList(store(), m_english));
        QCOMPARE(view.rowMessage(0), QString());
        QCOMPARE(view.rowMessage(1), QString());
        QCOMPARE(view.rowMessage(2), kWarningEn);  // only the overwrite warning comes back
        QCOMPARE(view.selectedRow(), -1);
        QVERIFY(!reportOf(view)->selectionModel()->hasSelection());
    }

    void messagesByTaskName()
    {
        addTask(QStringLiteral("Shop"), 1, QStringLiteral("/a"), QStringLiteral("x.sql"));
        addTask(QStringLiteral("Blog"), 1, QStringLiteral("/b"), QStringLiteral("x.sql"));
        TaskListView view;
        QVERIFY(view.RefreshTaskList(store(), m_english));
        QVERIFY(view.setMessageForTask(QStringLiteral("SHOP"), QStringLiteral("Successful on x")));
        QCOMPARE(view.rowMessage(1), QStringLiteral("Successful on x"));
        QCOMPARE(view.rowMessage(0), QString());
        QVERIFY(!view.setMessageForTask(QStringLiteral("Gone"), QStringLiteral("y")));
        // Outside the rows nothing happens.
        view.setRowMessage(7, QStringLiteral("z"));
        view.setRowMessage(-1, QStringLiteral("z"));
        QCOMPARE(view.rowMessage(7), QString());
        QCOMPARE(view.rowImageIndex(7), -1);
    }

    void selectionIsSharedByBothViews()
    {
        for (const char *n : {"A", "B", "C"})
            addTask(QString::fromLatin1(n), 1, QStringLiteral("/%1").arg(QLatin1String(n)), QStringLiteral("x.sql"));
        TaskListView view;
        QVERIFY(view.RefreshTaskList(store(), m_english));
        QSignalSpy changed(&view, &TaskListView::selectedRowChanged);
        view.selectRow(2);
        QCOMPARE(view.selectedRow(), 2);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.last().at(0).toInt(), 2);
        view.holdDisplayMode(0);
        QCOMPARE(iconsOf(view)->selectionModel()->selectedRows().value(0).row(), 2);

        // A click in the icon view selects the whole row for the report view.
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QListView *icons = iconsOf(view);
        const QRect item = icons->visualRect(icons->model()->index(1, 0));
        QTest::mouseClick(icons->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(view.selectedRow(), 1);
        view.holdDisplayMode(1);
        QCOMPARE(reportOf(view)->selectionModel()->selectedRows().value(0).row(), 1);
        QVERIFY(reportOf(view)->selectionModel()->isRowSelected(1, QModelIndex()));

        view.selectRow(-1);
        QCOMPARE(view.selectedRow(), -1);
    }

    void anUnreadableValueMarksOnlyItsRow()
    {
        addTask(QStringLiteral("A1"), 1, QStringLiteral("/b"), QStringLiteral("x.sql"));
        addTask(QStringLiteral("A2"), 1, QStringLiteral("/b"), QStringLiteral("x.sql"));
        addTask(QStringLiteral("B"), 1, QStringLiteral("/b"), QStringLiteral("x.sql"), QStringLiteral("b.example"));
        addTask(QStringLiteral("C"), 1, QStringLiteral("/c"), QStringLiteral("x.sql"), QStringLiteral("c.example"));
        addTask(QStringLiteral("D"), 0, QStringLiteral("/d"), QStringLiteral("x.sql"));
        const QVariant notText = QStringList{QStringLiteral("a"), QStringLiteral("b")};
        setRaw(QStringLiteral("B"), QStringLiteral("dbpw"), notText);  // not shown, but the task cannot load
        setRaw(QStringLiteral("C"), QStringLiteral("host"), notText);
        TaskListView view;
        QVERIFY(!view.RefreshTaskList(store(), m_english));
        QCOMPARE(view.rowCount(), 5);
        QCOMPARE(view.rowName(4), QStringLiteral("D"));
        QCOMPARE(view.rowMessage(1), kWarningEn);  // the check ran for the readable tasks
        QCOMPARE(view.rowMessage(2), QStringLiteral("!!! Stored value \"dbpw\" cannot be read; this task cannot run."));
        QCOMPARE(view.rowHost(2), QStringLiteral("b.example"));
        QCOMPARE(view.rowImageIndex(2), 1);
        QCOMPARE(view.rowHost(3), QString());  // the unreadable value shows its default
        QCOMPARE(view.rowTime(3), QStringLiteral("12:00"));
        QCOMPARE(view.rowMessage(4), QString());
        QVERIFY(TaskListModel::isWarning(view.rowMessage(3)));
        QVERIFY(!view.RefreshTaskList(store(), m_german));
        QCOMPARE(view.rowMessage(3), QStringLiteral("!!! Gespeicherter Wert \"host\" ist nicht lesbar; dieser Task kann nicht laufen."));
    }

    void displayModes()
    {
        TaskListView view;
        QAction *details = action(view, "Details1");
        QAction *symbols = action(view, "Symbole1");
        QVERIFY(details && symbols);
        QCOMPARE(details, view.Details1());
        QCOMPARE(symbols, view.Symbole1());
        QVERIFY(details->isCheckable() && symbols->isCheckable());
        QCOMPARE(details->data().toInt(), 1);
        QCOMPARE(symbols->data().toInt(), 0);

        // As designed: report view with Details checked.
        QVERIFY(view.isReportView());
        QVERIFY(details->isChecked());
        QVERIFY(!symbols->isChecked());

        // An odd value leaves the view and Details alone.
        view.SetDisplayMode(7);
        QVERIFY(view.isReportView());
        QVERIFY(details->isChecked());
        QVERIFY(!symbols->isChecked());

        view.SetDisplayMode(0);
        QVERIFY(!view.isReportView());
        QVERIFY(!details->isChecked());
        QVERIFY(symbols->isChecked());

        view.SetDisplayMode(7);
        QVERIFY(!view.isReportView());
        QVERIFY(!details->isChecked());
        QVERIFY(symbols->isChecked());

        view.SetDisplayMode(1);
        QVERIFY(view.isReportView());
        QVERIFY(details->isChecked());
        QVERIFY(!symbols->isChecked());

        // Symbole1 out of step: an odd value puts it right again.
        symbols->setChecked(true);
        view.SetDisplayMode(-3);
        QVERIFY(!symbols->isChecked());
        QCOMPARE(view.displayMode(), 0);  // applying holds nothing
    }

    void viewEntriesHoldTheDisplayMode()
    {
        TaskListView view;
        QAction *details = action(view, "Details1");
        QAction *symbols = action(view, "Symbole1");
        view.holdDisplayMode(7);
        QCOMPARE(view.displayMode(), 7);
        QVERIFY(view.isReportView());

        symbols->trigger();
        QCOMPARE(view.displayMode(), 0);
        QVERIFY(!view.isReportView());
        QVERIFY(symbols->isChecked() && !details->isChecked());

        // Choosing the checked entry again keeps it checked.
        symbols->trigger();
        QVERIFY(symbols->isChecked() && !details->isChecked());

        details->trigger();
        QCOMPARE(view.displayMode(), 1);
        QVERIFY(view.isReportView());
        QVERIFY(details->isChecked() && !symbols->isChecked());
        details->trigger();
        QVERIFY(details->isChecked() && !symbols->isChecked());
    }

    void contextMenuInBothViews()
    {
        TaskListView view;
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QMenu menu;
        menu.addAction(QStringLiteral("&New"));
        view.setContextMenu(&menu);
        QCOMPARE(view.contextMenu(), &menu);
        for (int mode : {1, 0}) {
            view.holdDisplayMode(mode);
            QAbstractItemView *shown = mode ? static_cast<QAbstractItemView *>(reportOf(view))
                                            : static_cast<QAbstractItemView *>(iconsOf(view));
            emit shown->customContextMenuRequested(QPoint(10, 10));
            QTRY_VERIFY(menu.isVisible());
            menu.hide();
        }
    }
};

QTEST_MAIN(TestTaskListView)
#include "tst_tasklistview.moc"
