#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "ModalDriver.h"
#include "tasks/BrowseForDirectory.h"

class TestBrowseForDirectory : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    std::unique_ptr<ModalWatchdog> m_watchdog;

    static void confirm(QFileDialog *d) { static_cast<QDialog *>(d)->accept(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("root/inner")));
    }
    void init() { m_watchdog = std::make_unique<ModalWatchdog>(); }
    void cleanup() { QVERIFY2(!m_watchdog->fired(), "an unexpected modal window was left open"); }

    void confirmedPresetComesBackNative()
    {
        const QString preset = m_dir.filePath(QStringLiteral("root/inner"));
        QString openedAt, title;
        whenModal<QFileDialog>([&](QFileDialog *d) {
            openedAt = d->directory().absolutePath();
            title = d->windowTitle();
            confirm(d);
        });
        QString directory = preset;
        QVERIFY(BrowseForDirectory(QStringLiteral("Pick"), QString(), directory, true, false, true));
        QCOMPARE(openedAt, preset);
        QCOMPARE(title, QStringLiteral("Pick"));
        QCOMPARE(directory, QDir::toNativeSeparators(preset));
    }

    void missingPresetIsDroppedEvenOnCancel()
    {
        QString openedAt;
        whenModal<QFileDialog>([&](QFileDialog *d) {
            openedAt = d->directory().absolutePath();
            d->reject();
        });
        QString directory = m_dir.filePath(QStringLiteral("gone"));
        QVERIFY(!BrowseForDirectory(QString(), QString(), directory, true, false, true));
        QCOMPARE(directory, QString());
        QCOMPARE(openedAt, QDir::homePath());

        // A file is no directory either.
        QFile file(m_dir.filePath(QStringLiteral("file.sql")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        whenModal<QFileDialog>([](QFileDialog *d) { d->reject(); });
        directory = file.fileName();
        QVERIFY(!BrowseForDirectory(QString(), QString(), directory, true, false, true));
        QCOMPARE(directory, QString());

        // An existing one survives a cancel.
        whenModal<QFileDialog>([](QFileDialog *d) { d->reject(); });
        directory = m_dir.path();
        QVERIFY(!BrowseForDirectory(QString(), QString(), directory, true, false, true));
        QCOMPARE(directory, m_dir.path());
    }

    void flagsShapeTheDialog_data()
    {
        QTest::addColumn<bool>("showEditBox");
        QTest::addColumn<bool>("includeFiles");
        QTest::addColumn<bool>("allowNewFolder");
        QTest::newRow("the editor's call") << true << false << true;
        QTest::newRow("everything off") << false << false << false;
        QTest::newRow("files listed") << true << true << false;
    }
    void flagsShapeTheDialog()
    {
        QFETCH(bool, showEditBox);
        QFETCH(bool, includeFiles);
        QFETCH(bool, allowNewFolder);
        bool dirsOnly = false, readOnly = false, editShown = false, newFolderShown = false;
        whenModal<QFileDialog>([&](QFileDialog *d) {
            dirsOnly = d->testOption(QFileDialog::ShowDirsOnly);
            readOnly = d->testOption(QFileDialog::ReadOnly);
            auto *edit = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            editShown = edit && edit->isVisible();
            auto *newFolder = d->findChild<QToolButton *>(QStringLiteral("newFolderButton"));
            newFolderShown = newFolder && newFolder->isVisible() && newFolder->isEnabled();
            d->reject();
        });
        QString directory;
        BrowseForDirectory(QString(), QString(), directory, showEditBox, includeFiles, allowNewFolder);
        QCOMPARE(dirsOnly, !includeFiles);
        QCOMPARE(readOnly, !allowNewFolder);
        QCOMPARE(editShown, showEditBox);
        QCOMPARE(newFolderShown, allowNewFolder);
    }

    void browsingStaysBelowTheRoot()
    {
        const QString root = m_dir.filePath(QStringLiteral("root"));
        QString openedAt, afterUp;
        bool upFound = false;
        whenModal<QFileDialog>([&](QFileDialog *d) {
            openedAt = d->directory().absolutePath();
            auto *up = d->findChild<QToolButton *>(QStringLiteral("toParentButton"));
            upFound = up && up->isEnabled();
            if (up)
                up->click();
            afterUp = d->directory().absolutePath();
            confirm(d);
        });
        // A preset outside the root gives way to the root.
        QString directory = m_dir.path();
        QVERIFY(BrowseForDirectory(QString(), root, directory, true, false, true));
        QCOMPARE(openedAt, root);
        QVERIFY(upFound);
        QCOMPARE(afterUp, root);
        QCOMPARE(directory, QDir::toNativeSeparators(root));
    }
};

QTEST_MAIN(TestBrowseForDirectory)
#include "tst_browsefordirectory.moc"
