#pragma once

#include <QObject>
#include <QString>

// Loading a stored backup into a live database, which overwrites what the
// dump's statements overwrite: the caller asks first. One job restores once;
// finished() follows exactly once.
class RestoreJob : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void cancel() = 0;

signals:
    void protocolLine(const QString &text);
    // Unpacked bytes sent of the dump, and how far into the stored file
    // (of 1000): only a plain file tells its unpacked size beforehand.
    void progress(qint64 sent, int permille);
    void finished(bool restored, const QString &reason);

protected:
    // The one end: the protocol line that says how it went into target,
    // then finished(). Later calls do nothing.
    void conclude(bool restored, const QString &reason, const QString &target, bool german);
    bool concluded() const { return m_concluded; }

private:
    bool m_concluded = false;
};
