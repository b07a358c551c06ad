#pragma once

#include <QObject>
#include <QString>

// Which of the retrieval's error dialogs a failure opens; a dialog of a kind
// still on screen takes the next text of that kind.
enum class RetrievalError { Session, Host, Directory, File };

// What runs report while they go, for whoever shows them (the main window;
// the command line shows only the protocol). The engine emits, never reads:
// nothing here answers back. All signals come on the window thread.
class RunEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // A run's session with the host begins / has ended: the window comes out
    // of the tray for the length of the session and goes back if it was there.
    void sessionStarting();
    void sessionEnded();
    // Run steps, 0..100; 0 again at the end.
    void sessionProgress(int position);
    // The telnet option exchange, for the status bar; empty at the end.
    void negotiationText(const QString &text);
    // The status frame's caption back to its resting text.
    void statusCaptionReset();
    // The retrieval's bar (0..maximum; maximum 0: total unknown) and caption.
    void downloadProgress(int position, int maximum);
    void statusCaption(const QString &caption);
    // Must not block: the run goes on at once.
    void retrievalError(RetrievalError kind, const QString &text);
};
