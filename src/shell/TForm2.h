#pragma once

#include <QDialog>
#include <functional>

class LanguageTexts;
class QComboBox;
class QTextEdit;
class QWidget;

// The How-To window: five topics in a drop-down list and the selected one's
// numbered steps below, in the interface language at the time the window is
// shown or a topic is picked.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 312;
    static constexpr int ClientHeight = 263;

    // Reads the language from the main window's texts (German when not 0).
    explicit TForm2(const LanguageTexts &texts, QWidget *parent = nullptr);
    // Reads the language from a function returning Language (0 English).
    explicit TForm2(std::function<int()> language, QWidget *parent = nullptr);

    // Main menu "How To": shows the window without waiting; if it is already
    // open, only brings it to the front. Errors are swallowed.
    void HowTo1Click();

    // The selected topic, or -1 while the user types into the topic field.
    int selectedTopic() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void build();
    bool german() const;
    void FormShow();
    void ComboBox1Change();
    void centreOverOwner();

    std::function<int()> m_language;
    QWidget *Panel1 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QTextEdit *RichEdit1 = nullptr;
    bool m_typed = false;
};
