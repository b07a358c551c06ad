#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <ctime>

#include "retrieval/ByteCount.h"
#include "shell/ApplicationInfo.h"
#include "shell/JpegPicture.h"
#include "shell/ProgramFormats.h"
#include "shell/TAboutForm.h"
#include "shell/VersionInfoSmall.h"
#include "shell/WindowRegion.h"

namespace {
// The spans of one row of a region, as (x0, x1) with x1 exclusive.
QList<QPair<int, int>> rowSpans(const QRegion &region, int y, int width)
{
    QList<QPair<int, int>> spans;
    const QRegion row = region & QRect(0, y, width, 1);
    QList<QRect> rects(row.begin(), row.end());
    std::sort(rects.begin(), rects.end(), [](const QRect &a, const QRect &b) { return a.x() < b.x(); });
    for (const QRect &r : rects)
        spans.append({r.left(), r.right() + 1});
    return spans;
}

QImage maskFromRows(const QStringList &rows, QRgb key = qRgb(255, 255, 255), QRgb other = qRgb(0, 0, 0))
{
    QImage img(rows.first().size(), rows.size(), QImage::Format_RGB32);
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x)
            img.setPixel(x, y, rows[y][x] == QLatin1Char('#') ? other : key);
    return img;
}

using Spans = QList<QPair<int, int>>;

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

QWidget *child(QWidget &form, const char *name)
{
    return form.findChild<QWidget *>(QString::fromLatin1(name));
}
}

class TestAboutForm : public QObject {
    Q_OBJECT
private slots:
    void regionKeepsEveryPixelButTheKeyColourRowByRow()
    {
        // '.' is the key colour (white, as in the top-left pixel), '#' stays.
        const QImage mask = maskFromRows({
            QStringLiteral("..##..#."),   // runs at 0-2, 4-6, and one open at the row's end
            QStringLiteral("########"),
            QStringLiteral("........"),   // a whole row cut
            QStringLiteral(".#.#.#.#"),
        });
        const QRegion region = BuildWindowRegion(mask);
        QCOMPARE(region.boundingRect(), QRect(0, 0, 8, 4));
        QCOMPARE(rowSpans(region, 0, 8), (Spans{{2, 4}, {6, 7}}));
        QCOMPARE(rowSpans(region, 1, 8), (Spans{{0, 8}}));
        QCOMPARE(rowSpans(region, 2, 8), Spans{});
        QCOMPARE(rowSpans(region, 3, 8), (Spans{{1, 2}, {3, 4}, {5, 6}, {7, 8}}));
    }

    void regionTakesItsKeyFromTheTopLeftPixelOnAllThreeColours()
    {
        // Here black is the key; a near-black pixel differs in one byte and stays.
        QImage mask = maskFromRows({QStringLiteral("##..#"), QStringLiteral("#...#")}, qRgb(255, 255, 255),
                                   qRgb(0, 0, 0));
        mask.setPixel(4, 1, qRgb(0, 0, 1));
        const QRegion region = BuildWindowRegion(mask);
        QCOMPARE(rowSpans(region, 0, 5), (Spans{{2, 4}}));
        QCOMPARE(rowSpans(region, 1, 5), (Spans{{1, 5}}));

        // A two-colour bitmap reads the same as a true-colour one.
        const QImage twoColour = maskFromRows({QStringLiteral("..#"), QStringLiteral("#..")});
        const QImage mono = twoColour.convertToFormat(QImage::Format_Mono);
        QCOMPARE(BuildWindowRegion(mono), BuildWindowRegion(twoColour));
        QCOMPARE(rowSpans(BuildWindowRegion(mono), 1, 3), (Spans{{0, 1}}));
        QVERIFY(BuildWindowRegion(QImage()).isEmpty());
    }

    void shippedMaskGivesTheSlopingOutline()
    {
        TAboutForm form;
        const QRegion region = form.windowRegion();
        QCOMPARE(form.mask(), region);
        QCOMPARE(region.boundingRect(), QRect(0, 0, 640, 299));
        QVERIFY(!region.contains(QPoint(0, 0)));          // the top-left pixel is the key
        const Spans top = rowSpans(region, 0, 640);
        QCOMPARE(top.size(), 1);
        QVERIFY2(qAbs(top.first().second - 233) <= 3, qPrintable(QString::number(top.first().second)));
        // The outline slopes: each row reaches at least as far right as the one above.
        int previous = 0;
        for (int y = 0; y < 280; y += 10) {
            const Spans s = rowSpans(region, y, 640);
            QVERIFY(!s.isEmpty());
            QVERIFY(s.last().second >= previous);
            previous = s.last().second;
        }
        QVERIFY(region.contains(QPoint(635, 285)));       // right edge near the bottom
        QVERIFY(!region.contains(QPoint(635, 20)));       // white top-right area cut away
        QVERIFY(region.contains(QPoint(7, 150)));
    }

    void pictureIsDecodedThroughLibjpeg()
    {
        QFile file(QStringLiteral(":/about/about.jpg"));
        TAboutForm form;  // registers the resources
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        // A baseline frame (SOF0) of 299 rows, 640 columns and three components.
        const int sof = data.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(sof > 0);
        QVERIFY(data.indexOf(QByteArray("\xFF\xC2", 2)) < 0);
        const auto byte = [&data](int i) { return int(uchar(data[i])); };
        QCOMPARE(byte(sof + 5) << 8 | byte(sof + 6), 299);
        QCOMPARE(byte(sof + 7) << 8 | byte(sof + 8), 640);
        QCOMPARE(byte(sof + 9), 3);

        QString error;
        const QImage image = DecodeJpeg(data, &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), QSize(640, 299));
        QCOMPARE(image.format(), QImage::Format_RGB888);
        QCOMPARE(form.picture().size(), QSize(640, 299));
        // Left part is the light picture; the cut-away top right is white.
        QVERIFY(qGray(image.pixel(100, 100)) > 150);
        QCOMPARE(image.pixel(620, 10) | 0x0F0F0F, qRgb(255, 255, 255));

        // Broken input gives a null image and the decoder's reason, no crash.
        QVERIFY(DecodeJpeg(data.left(200), &error).isNull());
        QVERIFY(!error.isEmpty());
        QVERIFY(DecodeJpeg(QByteArray("not a picture"), &error).isNull());
        QVERIFY(DecodeJpeg(QByteArray()).isNull());
    }

    void operatingSystemLine()
    {
        using ApplicationInfo::WindowsSystemLine;
        QCOMPARE(WindowsSystemLine(2, 5, 1, QString()), QStringLiteral("Windows XP 5.1 "));
        QCOMPARE(WindowsSystemLine(2, 5, 0, QStringLiteral("Service Pack 4")),
                 QStringLiteral("Windows 2000 5.0 Service Pack 4"));
        QCOMPARE(WindowsSystemLine(2, 5, 2, QString()), QStringLiteral("Windows NT 5.2 "));
        QCOMPARE(WindowsSystemLine(2, 6, 0, QStringLiteral("Service Pack 1")),
                 QStringLiteral("Windows NT 6.0 Service Pack 1"));
        QCOMPARE(WindowsSystemLine(1, 4, 10, QStringLiteral(" A ")), QStringLiteral("Windows 9x 4.10  A "));
        QCOMPARE(WindowsSystemLine(0, 3, 10, QString()), QStringLiteral("Windows 3.1 3.10 "));
        QCOMPARE(WindowsSystemLine(3, 10, 0, QString()), QString());

        const QString line = ApplicationInfo::OperatingSystemText();
        QVERIFY(line.startsWith(QStringLiteral("Betriebssystem: ")));
#ifndef Q_OS_WIN
        QCOMPARE(line, QStringLiteral("Betriebssystem: ") + QSysInfo::prettyProductName() + QLatin1Char(' ')
                           + QSysInfo::kernelVersion());
#endif
        TAboutForm form;
        QCOMPARE(static_cast<QLabel *>(child(form, "Label4"))->text(), line);
    }

    void programDateIsYearMonthDayWithTheSystemSeparator()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vaultwick"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(12, 0)), QFileDevice::FileModificationTime));
        file.close();

        TAboutForm form;  // sets the program's formats
        const QChar sep = ProgramFormats::systemDateSeparator();
#ifndef Q_OS_WIN
        QCOMPARE(sep, QLatin1Char('/'));  // en_US, see main()
#endif
        QCOMPARE(ApplicationInfo::ProgramDateText(path),
                 QStringLiteral("Programmstand: 2024") + sep + QStringLiteral("03") + sep + QStringLiteral("05"));
        QCOMPARE(ApplicationInfo::ProgramDateText(dir.filePath(QStringLiteral("missing"))), QString());

        form.show();
        const QString shown = static_cast<QLabel *>(child(form, "Filedate"))->text();
        QCOMPARE(shown, ApplicationInfo::ProgramDateText(QCoreApplication::applicationFilePath()));
        QVERIFY(QRegularExpression(QStringLiteral("^Programmstand: \\d{4}/\\d{2}/\\d{2}$")).match(shown).hasMatch());
    }

    void commaInByteCountsFromTheAboutWindowUntilTheRegionalSettingsChange()
    {
        // en_US's own point here (see main()); Windows keeps the user's locale.
        const QString systemMb = QStringLiteral("1") + QLocale::system().decimalPoint() + QStringLiteral("50 Mb");
#ifndef Q_OS_WIN
        QCOMPARE(systemMb, QStringLiteral("1.50 Mb"));
#endif
        ProgramFormats::applySystemFormats();
        QCOMPARE(FormatByteCount(1500000), systemMb);
        {
            TAboutForm splash;
        }
        // The setting outlives the window that made it.
        QCOMPARE(FormatByteCount(1500000), QStringLiteral("1,50 Mb"));
        QCOMPARE(FormatByteCount(1540), QStringLiteral("1,54 Kb"));
        QCOMPARE(ProgramFormats::shortDateFormat(), QStringLiteral("yyyy/MM/dd"));

        // The system announces new regional settings: its own values apply.
        QEvent change(QEvent::LocaleChange);
        QCoreApplication::sendEvent(qApp, &change);
        QCOMPARE(FormatByteCount(1500000), systemMb);
        QCOMPARE(ProgramFormats::shortDateFormat(), QLocale::system().dateFormat(QLocale::ShortFormat));

        // Until the next About window.
        TAboutForm about;
        QCOMPARE(FormatByteCount(1500000), QStringLiteral("1,50 Mb"));
    }

    void labelsCarryTheProgramsFacts()
    {
        TAboutForm form;
        QCOMPARE(form.size(), QSize(640, 299));
        QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
        form.show();
        const auto text = [&form](const char *name) { return static_cast<QLabel *>(child(form, name))->text(); };
        QCOMPARE(text("Label1"), QStringLiteral("Vaultwick Task"));
        QCOMPARE(text("Label2"), VersionInfoSmall::FileVersionText(1));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$")).match(text("Label2")).hasMatch());
        const QString user = ApplicationInfo::LoggedOnUserName();
        QCOMPARE(text("Label6"), user.isEmpty() ? QString() : QStringLiteral("Systemuser: ") + user);
        QCOMPARE(text("Label9"), ApplicationInfo::SystemLanguageName());
        QVERIFY(!text("Label9").isEmpty() && text("Label9").size() <= 50);
        QVERIFY(text("Label8").contains(QStringLiteral("korvane.example")));
        QCOMPARE(static_cast<QPlainTextEdit *>(child(form, "Memo1"))->toPlainText().count(QLatin1Char('\n')), 6);

        QCOMPARE(child(form, "Label4")->pos(), QPoint(7, 190));
        QCOMPARE(child(form, "Memo1")->geometry(), QRect(7, 250, 266, 41));
        QCOMPARE(child(form, "Label6")->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        QCOMPARE(child(form, "Label2")->palette().color(QPalette::WindowText), QColor(14, 44, 188));
        QCOMPARE(child(form, "Label9")->palette().color(QPalette::WindowText), QColor(137, 137, 139));
    }

    void fileVersionModes()
    {
        const auto v = VersionInfoSmall::parseFileVersion(QStringLiteral("2.7.13.450"));
        QCOMPARE(VersionInfoSmall::FileVersionText(v, 1), QStringLiteral("2.7.13.450"));
        QCOMPARE(VersionInfoSmall::FileVersionText(v, 0), QStringLiteral("2.7"));
        QCOMPARE(VersionInfoSmall::FileVersionText(VersionInfoSmall::parseFileVersion(QStringLiteral("3.1")), 1),
                 QStringLiteral("3.1.0.0"));
        for (const char *bad : {"", "1.x", "70000.1", "1.2.3.4.5"})
            QCOMPARE(VersionInfoSmall::FileVersionText(VersionInfoSmall::parseFileVersion(QString::fromLatin1(bad)), 1),
                     QString());
    }

    void clicksThatCloseAndClicksThatDoNot()
    {
        UrlRecorder urls;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &urls, "open");
        TAboutForm form;

        for (const char *name : {"Image1", "Label1", "Label7", "Label4", "Label9", "Label6"}) {
            form.setResult(0);
            form.show();
            QWidget *w = child(form, name);
            QVERIFY2(w && w->width() > 0, name);
            QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(2, w->height() / 2));
            QVERIFY2(!form.isVisible(), name);
            QCOMPARE(form.result(), int(QDialog::Accepted));
        }
        form.show();
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(100, 100));  // the window's own background
        QVERIFY(!form.isVisible());

        form.show();
        for (const char *name : {"Label2", "Filedate", "Memo1"}) {
            QWidget *w = child(form, name);
            QWidget *target = qobject_cast<QPlainTextEdit *>(w) ? static_cast<QPlainTextEdit *>(w)->viewport() : w;
            QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(2, target->height() / 2));
            QVERIFY2(form.isVisible(), name);
        }
        QWidget *web = child(form, "Label8");
        QCOMPARE(web->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(web, Qt::LeftButton, {}, QPoint(2, web->height() / 2));
        QVERIFY(form.isVisible());
        QCOMPARE(urls.opened, QList<QUrl>{QUrl(TAboutForm::MakerWebAddress)});
        QCOMPARE(QUrl(TAboutForm::MakerWebAddress).host().section(QLatin1Char('.'), -1), QStringLiteral("example"));

        // The menu command opens the same address.
        TAboutForm::Internet1Click();
        QCOMPARE(urls.opened.size(), 2);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        form.hide();

        // Modal use returns once the picture is clicked.
        QTimer::singleShot(0, &form, [&form] { QTest::mouseClick(child(form, "Image1"), Qt::LeftButton); });
        form.About1Click();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(!form.isVisible());
    }

    void splashStaysForItsTimeWithoutSpinning()
    {
        TAboutForm splash;
        QElapsedTimer wall;
        const std::clock_t cpu = std::clock();
        wall.start();
        splash.showSplash(300);
        QVERIFY(wall.elapsed() >= 300);
        QVERIFY(splash.isVisible());
#ifndef Q_OS_WIN  // there clock() counts wall time, not processor time
        const double cpuMs = double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC;
        QVERIFY2(cpuMs < 150, qPrintable(QStringLiteral("busy wait: %1 ms of CPU").arg(cpuMs)));
#else
        Q_UNUSED(cpu);
#endif
    }
};

int main(int argc, char **argv)
{
    // A system locale whose own decimal point and date layout differ from
    // the program's, so the tests see which one is used.
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("LANG", "en_US.UTF-8");
    QApplication app(argc, argv);
    TestAboutForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_aboutform.moc"
