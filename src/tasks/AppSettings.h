#pragma once

#include <QString>

#include "restore/RestoreOptions.h"

class QSettings;
class TaskStore;

// The program's own settings, kept under "Options" beside the tasks in the
// task store: the task list's display mode and the interface language (read
// when the main window is shown) and the number of tasks (written only).
class AppSettings {
public:
    explicit AppSettings(const TaskStore &store);

    // 0 when absent, empty or not a number. Throw TaskStoreReadError when the
    // stored value is not text.
    int ReadDisplay() const;
    int ReadLanguage() const;

    // Writes totaltasks, language (0 with English checked, else 1) and
    // Display, in that order, each as decimal text, those that changed only.
    // A save that fails leaves the store as it was; false then.
    bool SaveSettings(int totalTasks, bool englishChecked, int displayMode) const;

    // The same on a given settings object.
    static int readInteger(QSettings &settings, const QString &key);
    static bool saveTo(QSettings &settings, int totalTasks, bool englishChecked, int displayMode);

    // The test restore's own settings: a server program to use instead of
    // the one looked for, and the time limit in minutes (absent, not a
    // number or below 1: base's). Unreadable values leave base as it is.
    RestoreOptions ReadRestoreOptions(RestoreOptions base) const;
    // serverProgram empty: looked for. false: the store is as it was.
    bool SaveRestoreOptions(const QString &serverProgram, int limitMinutes) const;

    static const QString DisplayKey;     // "Options/Display"
    static const QString LanguageKey;    // "Options/language"
    static const QString TotalTasksKey;  // "Options/totaltasks"
    static const QString RestoreServerKey;  // "Options/restoreserver"
    static const QString RestoreLimitKey;   // "Options/restorelimit"
    // Where each run's metrics go for a monitoring system; empty: nowhere.
    static const QString MetricsFileKey;    // "Options/metricsfile"
    QString ReadMetricsFile() const;
    bool SaveMetricsFile(const QString &path) const;
    // The user keeps the passwords in the settings file even where a
    // keyring is reachable; absent: no.
    static const QString PasswordsInFileKey;  // "Options/passwordsinfile"
    bool ReadKeepPasswordsInFile() const;
    bool SaveKeepPasswordsInFile(bool keep) const;
    // The most an off-site copy may send, in KiB/s; absent or 0: no limit.
    static const QString OffsiteLimitKey;  // "Options/offsitebwlimit"
    int ReadOffsiteLimit() const;
    bool SaveOffsiteLimit(int kibPerSecond) const;

private:
    const TaskStore &m_store;
};
