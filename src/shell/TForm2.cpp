#include "shell/TForm2.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QTextEdit>

#include "shell/HowToTopics.h"
#include "shell/LanguageTexts.h"

TForm2::TForm2(const LanguageTexts &texts, QWidget *parent)
    : TForm2(std::function<int()>([&texts] { return texts.Language; }), parent)
{
}

TForm2::TForm2(std::function<int()> language, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint),
      m_language(std::move(language))
{
    build();
}

void TForm2::build()
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("How To"));
    setFixedSize(ClientWidth, ClientHeight);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, ClientWidth, 33);

    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);  // typed text stays as typed
    ComboBox1->setGeometry(8, 5, 300, ComboBox1->sizeHint().height());

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setGeometry(0, 33, ClientWidth, ClientHeight - 33);
    RichEdit1->setFrameShape(QFrame::NoFrame);
    RichEdit1->setAcceptRichText(false);
    RichEdit1->setLineWrapMode(QTextEdit::WidgetWidth);
    QFont verdana(QStringLiteral("Verdana"), 9);
    RichEdit1->setFont(verdana);
    QPalette pal = RichEdit1->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Window));
    RichEdit1->setPalette(pal);

    // Picking an item, even the one already selected, shows its text.
    connect(ComboBox1, &QComboBox::activated, this, [this] {
        m_typed = false;
        ComboBox1Change();
    });
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] {
        m_typed = false;
        ComboBox1Change();
    });
    // Typing leaves no item selected.
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this] {
        m_typed = true;
        ComboBox1Change();
    });
}

bool TForm2::german() const
{
    return m_language && m_language() != 0;
}

int TForm2::selectedTopic() const
{
    return m_typed ? -1 : ComboBox1->currentIndex();
}

void TForm2::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TForm2::FormShow()
{
    const QSignalBlocker block(ComboBox1);
    ComboBox1->clear();
    ComboBox1->addItems(HowToTopics::titles(german()));
    ComboBox1->setCurrentIndex(0);
    m_typed = false;
    ComboBox1Change();
}

void TForm2::ComboBox1Change()
{
    // The topic texts separate their lines with carriage returns; the text
    // area breaks lines at line feeds.
    QString text = HowToTopics::text(selectedTopic(), german());
    text.replace(QChar(13), QChar(10));
    RichEdit1->setPlainText(text);
}

void TForm2::centreOverOwner()
{
    QWidget *owner = parentWidget();
    QRect area;
    if (owner && owner->isVisible() && !owner->isMinimized())
        area = owner->frameGeometry();
    else if (QScreen *s = owner ? owner->screen() : screen())
        area = s->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

void TForm2::HowTo1Click()
{
    try {
        if (isVisible()) {
            raise();
            activateWindow();
            return;
        }
        centreOverOwner();
        show();
        raise();
        activateWindow();
    } catch (...) {
    }
}
