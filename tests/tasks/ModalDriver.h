#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>

// Test code blocks in exec(); these act on the modal windows from inside it.

// Calls action with the next visible modal window of type T, polling until
// it shows up (gives up after timeoutMs).
template <class T>
void whenModal(std::function<void(T *)> action, int timeoutMs = 5000)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(5);
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action, deadline] {
        auto *w = qobject_cast<T *>(QApplication::activeModalWidget());
        if (w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(w);
        } else if (deadline.hasExpired()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// Answers the next message box with OK and keeps its text (LF line breaks,
// as shown).
inline void answerMessageBox(QString *text)
{
    whenModal<QMessageBox>([text](QMessageBox *box) {
        if (text)
            *text = box->text();
        box->accept();
    });
}

// Closes whatever modal window is still up after a test's expected ones, so
// a surprise box fails the test instead of hanging it.
class ModalWatchdog : public QObject {
public:
    explicit ModalWatchdog(int afterMs = 8000)
    {
        m_timer.setInterval(afterMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (int i = 0; i < 10; ++i) {
                QWidget *w = QApplication::activeModalWidget();
                if (!w)
                    break;
                m_fired = true;
                if (auto *d = qobject_cast<QDialog *>(w))
                    d->reject();
                else
                    w->close();
                QApplication::processEvents();
            }
        });
        m_timer.start();
    }
    bool fired() const { return m_fired; }

private:
    QTimer m_timer;
    bool m_fired = false;
};
