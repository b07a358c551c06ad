#pragma once

#include <QString>

// "!!! ": marks a task-list message as a warning.
extern const QString WarningPrefix;

// The interface language and the current-language texts that the engine and
// retrieval read when they write a line. Language 0 is English, 1 German.
class LanguageTexts {
public:
    int Language = 0;

    // Mirrors the check mark of the English menu entry: only 0 counts as English.
    bool englishChecked() const { return Language == 0; }
    // Readers that test the value for non-zero.
    bool german() const { return Language != 0; }
    // Picks the English or the German wording by the English check mark.
    QString pick(const QString &english, const QString &german) const
    {
        return englishChecked() ? english : german;
    }

    // Refills the eight texts for Language 0 or 1; any other value keeps them,
    // except that texts never filled take the German wording (such a value
    // reads as German everywhere, and an empty close question or protocol
    // line would say nothing).
    void refill();

    QString CloseQuestion;
    QString SendPassword;
    QString SendDumpCommand;
    QString FinishingSession;
    QString SavedSuffix;
    QString DownloadFailed;
    QString SuccessfulOn;
    QString NotSuccessfulOn;
};
