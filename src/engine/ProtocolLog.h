#pragma once

#include <QString>
#include <QStringList>

class Clock;
class LanguageTexts;

// Where status lines are shown (the protocol view of the main window).
class ProtocolView {
public:
    virtual ~ProtocolView() = default;
    virtual void appendProtocolLine(const QString &line) = 0;
    virtual void clearProtocol() = 0;
};

// The task protocol: status lines go to the view, lines sent to the host go to
// the log file buffer, which Save writes whole to the log file.
class ProtocolLog {
public:
    ProtocolLog(const LanguageTexts &language, const Clock &clock);

    void setView(ProtocolView *view) { m_view = view; }
    void setLogFilePath(const QString &path) { m_logFilePath = path; }
    QString logFilePath() const { return m_logFilePath; }

    // Current local date and time: "MM/dd/yyyy HH:mm:ss" in English,
    // "dd.MM.yyyy HH:mm:ss" otherwise, decided afresh for every call.
    QString Timestamp() const;
    void AddStatus(const QString &message);
    // Appends to the log file buffer. Callers pass the line as it may be
    // written to disk: passwords already masked.
    void AddSent(const QString &text);
    // Replaces the log file with the buffer, durably and atomically; on an
    // error the previous file and the buffer stay for the next try, and a
    // full disk is said once in the protocol.
    bool Save() const;
    void ClearView();

    const QStringList &sentLines() const { return m_sent; }
    // The last status lines as shown, oldest first, for a failure mail; a
    // cleared view does not clear them.
    QStringList recentLines() const { return m_recent; }
    static constexpr int RecentLineCount = 15;
    const Clock &clock() const { return m_clock; }

    // "vaultwck.log" beside the executable, or in the per-user data directory
    // when the executable's directory is not writable.
    static QString defaultLogFilePath();

private:
    QString line(const QString &text) const;

    const LanguageTexts &m_language;
    const Clock &m_clock;
    ProtocolView *m_view = nullptr;
    QString m_logFilePath;
    QStringList m_sent;
    QStringList m_recent;
    mutable bool m_saveFailedOnFullDisk = false;
};
