#pragma once

#include <QObject>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;
class Ttaskform;
struct BackupTask;

// The task editor's mysqldump rows: check boxes for the common options
// (consistent snapshot, routines and events, no tablespaces, utf8mb4) and a
// field for further options. The boxes and the field together make the
// task's dump options; the field is checked on OK.
class DumpOptionFields : public QObject {
    Q_OBJECT
public:
    // Builds the section into the form from row y on; y ends below it.
    DumpOptionFields(Ttaskform &form, int &y);

    void translate(bool german);
    void setTask(const BackupTask &task);
    QString options() const;
    QString program() const;
    // Takes what the connection test offered for the host's server.
    void apply(bool noTablespaces, bool mariadbDump);
    // Why the further options cannot be taken; empty when they can.
    QString problem(bool german) const;
    QWidget *firstField() const;
    // The further options, where a refusal puts the focus.
    QWidget *lastField() const;

private:
    QLabel *Heading9 = nullptr, *tdumpLabel = nullptr, *tdumpmoreLabel = nullptr;
    QCheckBox *tsnapshot = nullptr, *troutines = nullptr, *tnotablespaces = nullptr, *tutf8 = nullptr;
    QLineEdit *tdumpmore = nullptr;
    QLabel *tdumpprogramLabel = nullptr;
    QComboBox *tdumpprogram = nullptr;
};
