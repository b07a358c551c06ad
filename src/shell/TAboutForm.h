#pragma once

#include <QDialog>
#include <QRegion>

class QLabel;
class QPlainTextEdit;

// The About window, also the start-up splash: a borderless, always-on-top
// picture of 640 x 299 whose outline follows a mask, with the program's
// version, date, system, language and user on it. Creating one sets the
// process's number and date formats (see ProgramFormats).
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 640;
    static constexpr int ClientHeight = 299;
    // The title on the picture.
    static const QString ProductTitle;
    // The maker's web site.
    static const QString MakerWebAddress;

    explicit TAboutForm(QWidget *parent = nullptr);
    ~TAboutForm() override;

    // Main menu "&About": shows this window modally; returns when it closes.
    void About1Click();
    // Start-up: shows the window without waiting for it, lets it paint, then
    // keeps it on screen for durationMs without reacting to input. The caller
    // destroys it once the main windows exist.
    void showSplash(int durationMs = 2400);

    // Main menu "I&nternet" and the web label: asks the desktop to open the
    // maker's web site. Whether it could is reported, though callers ignore it.
    static bool Internet1Click();

    // The outline the mask gave this window (empty: no mask could be read).
    QRegion windowRegion() const { return m_region; }
    // The decoded picture (null: it could not be decoded).
    QImage picture() const;

protected:
    void showEvent(QShowEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClick();
    void Label8Click();
    void centreOnScreen();
    QLabel *addLabel(const char *name, int left, int top, const QColor &colour);

    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Filedate = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label8 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QRegion m_region;
    QImage m_picture;
};
