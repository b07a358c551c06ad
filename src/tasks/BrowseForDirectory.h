#pragma once

#include <QString>

class QWidget;

// Lets the user pick a local folder. directory is in and out: the folder to
// open at (dropped when it is not an existing directory, whatever the user
// then does) and, on true, the chosen folder in native separators. root, when
// given, keeps browsing inside that folder. Returns true when the user
// confirmed a folder; on cancel directory keeps what the first step left.
bool BrowseForDirectory(const QString &title, const QString &root, QString &directory,
                        bool showEditBox, bool includeFiles, bool allowNewFolder,
                        QWidget *parent = nullptr);
