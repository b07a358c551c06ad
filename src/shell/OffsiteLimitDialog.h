#pragma once

#include <QDialog>

class LanguageTexts;
class QDialogButtonBox;
class QLabel;
class QSpinBox;
class TaskStore;

// The "Options" dialog for the bandwidth the off-site copies may take, in
// KiB/s (0: no limit), so a nightly upload leaves the line usable; each run
// reads it as it starts. Opened without a nested loop: OK saves and closes,
// Cancel closes.
class OffsiteLimitDialog : public QDialog {
    Q_OBJECT
public:
    OffsiteLimitDialog(const TaskStore &store, const LanguageTexts &texts, QWidget *parent = nullptr);

    void openWithStoredValue();
    QString statusText() const;
    void accept() override;

private:
    void translate();

    const TaskStore &m_store;
    const LanguageTexts &m_texts;
    QLabel *m_limitLabel = nullptr;
    QSpinBox *m_limit = nullptr;
    QLabel *m_hint = nullptr;
    QLabel *m_status = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};
