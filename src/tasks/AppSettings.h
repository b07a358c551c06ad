#pragma once

#include <QString>

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

    static const QString DisplayKey;     // "Options/Display"
    static const QString LanguageKey;    // "Options/language"
    static const QString TotalTasksKey;  // "Options/totaltasks"

private:
    const TaskStore &m_store;
};
