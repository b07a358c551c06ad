#include "shell/TAboutForm.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "shell/AboutResources.h"
#include "shell/ApplicationInfo.h"
#include "shell/JpegPicture.h"
#include "shell/ProgramFormats.h"
#include "shell/VersionInfoSmall.h"
#include "shell/WindowRegion.h"

const QString TAboutForm::ProductTitle = QStringLiteral("Vaultwick Task");
const QString TAboutForm::MakerWebAddress = QStringLiteral("https://www.korvane.example/");

namespace {
const QColor DarkBlue(14, 44, 188);
const QColor Grey(137, 137, 139);
const QColor Navy(0, 0, 128);
const QColor LinkBlue(0, 0, 255);

const QString NoticeLine = QStringLiteral("A Korvane product for MySQL backups");
const QString LegalNotice = QStringLiteral(
    "Dieses Programm ist urheberrechtlich\n"
    "geschützt. Vervielfältigung, Verbreitung\n"
    "und Weitergabe des Programms oder von\n"
    "Teilen daraus ohne schriftliche\n"
    "Zustimmung der Korvane sind untersagt\n"
    "und werden zivil- und strafrechtlich\n"
    "verfolgt. Alle Rechte vorbehalten.");

void setTextColour(QWidget *w, QPalette::ColorRole role, const QColor &colour)
{
    QPalette pal = w->palette();
    pal.setColor(role, colour);
    w->setPalette(pal);
}
}

TAboutForm::TAboutForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    EnsureAboutResources();
    setObjectName(QStringLiteral("AboutForm"));
    setFixedSize(ClientWidth, ClientHeight);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, ClientWidth, ClientHeight);
    m_picture = LoadJpeg(QStringLiteral(":/about/about.jpg"));
    if (!m_picture.isNull())
        Image1->setPixmap(QPixmap::fromImage(m_picture));
    Image1->installEventFilter(this);

    Label1 = addLabel("Label1", 7, 8, DarkBlue);
    QFont title(QStringLiteral("Verdana"));
    title.setPixelSize(24);
    title.setBold(true);
    Label1->setFont(title);
    Label1->setWordWrap(true);
    Label1->setFixedWidth(220);

    Label7 = addLabel("Label7", 7, 43, Grey);
    Label7->setText(NoticeLine);
    Label2 = addLabel("Label2", 7, 136, DarkBlue);
    Filedate = addLabel("Filedate", 7, 164, DarkBlue);
    Label4 = addLabel("Label4", 7, 190, Grey);
    Label9 = addLabel("Label9", 7, 204, Grey);
    Label6 = addLabel("Label6", 7, 218, Navy);
    Label8 = addLabel("Label8", 7, 232, LinkBlue);
    Label8->setCursor(Qt::PointingHandCursor);
    Label8->setText(QString(MakerWebAddress).remove(QStringLiteral("https://")).remove(QLatin1Char('/')));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(7, 250, 266, 41);
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->viewport()->setAutoFillBackground(false);
    Memo1->setBackgroundVisible(false);
    Memo1->document()->setDocumentMargin(1);
    {
        QPalette pal = Memo1->palette();
        pal.setColor(QPalette::Base, Qt::transparent);
        Memo1->setPalette(pal);
    }
    Memo1->setPlainText(LegalNotice);
    Memo1->installEventFilter(this);

    FormCreate();
}

TAboutForm::~TAboutForm() = default;

QLabel *TAboutForm::addLabel(const char *name, int left, int top, const QColor &colour)
{
    auto *label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    setTextColour(label, QPalette::WindowText, colour);
    label->installEventFilter(this);
    return label;
}

void TAboutForm::FormCreate()
{
    // 1. Colours of the labels (set above, with each label).
    setTextColour(Memo1, QPalette::Text, Grey);

    // 2. The outline from the mask. Without a readable mask the window stays
    // rectangular rather than vanishing.
    m_region = BuildWindowRegion(QImage(QStringLiteral(":/about/MY_SPLASH_RES2")));
    if (!m_region.isEmpty())
        setMask(m_region);

    // 3. Process-wide formats: comma decimals, year/month/day dates.
    ProgramFormats::watchRegionalSettings();
    ProgramFormats::applyProgramFormats();

    // 4. and 5. The texts that do not change while the program runs.
    Label4->setText(ApplicationInfo::OperatingSystemText());
    Label2->setText(VersionInfoSmall::FileVersionText(1));
    Label9->setText(ApplicationInfo::SystemLanguageName());
    const QString user = ApplicationInfo::LoggedOnUserName();
    Label6->setText(user.isEmpty() ? QString() : QStringLiteral("Systemuser: ") + user);

    for (QLabel *l : {Label7, Label2, Label4, Label9, Label6, Label8})
        l->adjustSize();
}

void TAboutForm::FormShow()
{
    Label1->setText(ProductTitle);
    Label1->adjustSize();
    Filedate->setText(ApplicationInfo::ProgramDateText());
    Filedate->adjustSize();
}

void TAboutForm::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

QImage TAboutForm::picture() const
{
    return m_picture;
}

void TAboutForm::centreOnScreen()
{
    QScreen *screen = parentWidget() ? parentWidget()->screen() : this->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(ClientWidth / 2, ClientHeight / 2));
}

void TAboutForm::About1Click()
{
    centreOnScreen();
    exec();
}

void TAboutForm::showSplash(int durationMs)
{
    centreOnScreen();
    show();
    raise();
    repaint();
    // Not a spin: the window keeps painting, but clicks and keys wait until
    // the splash is gone, so it cannot be closed early.
    QEventLoop wait;
    QTimer::singleShot(durationMs, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}

bool TAboutForm::Internet1Click()
{
    return QDesktopServices::openUrl(QUrl(MakerWebAddress));
}

void TAboutForm::FormClick()
{
    done(QDialog::Accepted);
}

void TAboutForm::Label8Click()
{
    Internet1Click();
}

void TAboutForm::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        FormClick();
    else
        QDialog::mouseReleaseEvent(event);
}

bool TAboutForm::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return QDialog::eventFilter(watched, event);
    if (watched == Memo1)
        return false;  // the memo scrolls and selects as memos do

    // Labels do not take the mouse; without this the click would reach the
    // window behind them and close it.
    auto *mouse = static_cast<QMouseEvent *>(event);
    auto *widget = qobject_cast<QWidget *>(watched);
    const bool clicked = type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton && widget
                         && widget->rect().contains(mouse->position().toPoint());
    if (clicked) {
        if (watched == Label8)
            Label8Click();
        else if (watched != Label2 && watched != Filedate)
            FormClick();
    }
    return true;
}
