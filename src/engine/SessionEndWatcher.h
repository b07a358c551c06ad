#pragma once

#include <QObject>

class QSocketNotifier;

// Tells when the desktop session or the system ends the program (SIGTERM on
// Unix; SIGHUP and SIGINT too, a closed terminal or Ctrl+C), so it can save
// its settings and log and remove its temporary files instead of dying
// mid-write.
class SessionEndWatcher : public QObject {
    Q_OBJECT
public:
    explicit SessionEndWatcher(QObject *parent = nullptr);
    ~SessionEndWatcher() override;

signals:
    void sessionEnding();

private:
    QSocketNotifier *m_notifier = nullptr;
};
