#pragma once

#include <QLineEdit>

// The daily time of a task: two hour positions (the first may stay blank), a
// fixed colon, two minute positions. Positions are checked, not values.
// A field the user has changed cannot be left with a required position
// unfilled; Escape takes the change back.
class TaskTimeEdit : public QLineEdit {
    Q_OBJECT
public:
    // What an untouched, empty field holds.
    static const QString BlankTime;
    static const QString InvalidInputMessage;

    explicit TaskTimeEdit(QWidget *parent = nullptr);

    // The text with blank positions as spaces: "  :  ", " 9:30", "12:00".
    QString maskedText() const;
    // Sets the text position by position (spaces are blank positions) and
    // makes it the text Escape returns to.
    void setMaskedText(const QString &text);

    // The rule applied when the field is left: true when it may be left. When
    // not, beeps, keeps the focus and shows the error (modal).
    bool checkOnLeave();

protected:
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool needsInput() const { return isModified() && !hasAcceptableInput(); }

    QString m_undoText;
    bool m_reporting = false;
};
