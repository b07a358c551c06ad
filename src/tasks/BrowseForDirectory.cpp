#include "tasks/BrowseForDirectory.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>

namespace {
bool isInside(const QString &path, const QString &root)
{
    const QString p = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString r = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    if (p.compare(r, cs) == 0)
        return true;
    const QString prefix = r.endsWith(QLatin1Char('/')) ? r : r + QLatin1Char('/');
    return p.startsWith(prefix, cs);
}
}

bool BrowseForDirectory(const QString &title, const QString &root, QString &directory,
                        bool showEditBox, bool includeFiles, bool allowNewFolder, QWidget *parent)
{
    if (!directory.isEmpty() && !QFileInfo(directory).isDir())
        directory.clear();

    const bool rooted = !root.isEmpty() && QFileInfo(root).isDir();

    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ShowDirsOnly, !includeFiles);
    // Read-only is the only way Qt offers to withhold the new-folder button.
    dialog.setOption(QFileDialog::ReadOnly, !allowNewFolder);
    // The native dialogs can neither hide the name box nor be held inside a
    // root, so those two wishes need Qt's own dialog.
    if (rooted || !showEditBox)
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);

    QString start = directory;
    if (rooted && (start.isEmpty() || !isInside(start, root)))
        start = root;
    if (start.isEmpty())
        start = QDir::homePath();
    dialog.setDirectory(start);

    if (rooted) {
        dialog.setSidebarUrls({QUrl::fromLocalFile(root)});
        QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, [&dialog, root](const QString &dir) {
            if (!isInside(dir, root))
                dialog.setDirectory(root);
        });
    }
    if (!showEditBox) {
        if (auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            edit->hide();
        if (auto *label = dialog.findChild<QLabel *>(QStringLiteral("fileNameLabel")))
            label->hide();
    }

    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return false;
    const QString path = chosen.constFirst();
    if (rooted && !isInside(path, root))
        return false;
    directory = QDir::toNativeSeparators(path);
    return true;
}
