#pragma once

#include <QDialog>

class LanguageTexts;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TaskStore;

// The "Options" dialog for the metrics file a monitoring system reads
// (node_exporter's textfile collector): its path, or empty for none. Opened
// without a nested loop: OK saves and closes, Cancel closes.
class MetricsSettingsDialog : public QDialog {
    Q_OBJECT
public:
    MetricsSettingsDialog(const TaskStore &store, const LanguageTexts &texts, QWidget *parent = nullptr);

    void openWithStoredValue();
    QString statusText() const;
    void accept() override;

private:
    void translate();
    void browse();

    const TaskStore &m_store;
    const LanguageTexts &m_texts;
    QLabel *m_pathLabel = nullptr;
    QLineEdit *m_path = nullptr;
    QPushButton *m_browse = nullptr;
    QLabel *m_hint = nullptr;
    QLabel *m_status = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};
