#include "shell/ProgramFormats.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEvent>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>

#include "retrieval/ByteCount.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// The decimal separator itself lives with the byte-count formatter, which
// transfer threads read too; the date format is read on the window thread
// but guarded all the same.
QMutex g_dateMutex;
QString g_shortDateFormat;

QString systemShortDateFormat()
{
    return QLocale::system().dateFormat(QLocale::ShortFormat);
}

class RegionalWatcher final : public QObject
#ifdef Q_OS_WIN
    , public QAbstractNativeEventFilter
#endif
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::LocaleChange)
            ProgramFormats::applySystemFormats();
        return false;
    }

#ifdef Q_OS_WIN
    bool nativeEventFilter(const QByteArray &, void *message, qintptr *) override
    {
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_SETTINGCHANGE && msg->lParam
            && lstrcmpiW(reinterpret_cast<LPCWSTR>(msg->lParam), L"intl") == 0)
            ProgramFormats::applySystemFormats();
        return false;
    }
#endif
};

}

namespace ProgramFormats {

QChar systemDateSeparator()
{
    const QString format = systemShortDateFormat();
    bool inField = false;
    for (const QChar c : format) {
        if (c.isLetter()) {
            inField = true;
        } else if (inField && c != QLatin1Char('\'') && !c.isSpace()) {
            return c;
        }
    }
    return QLatin1Char('/');
}

void applyProgramFormats()
{
    SetDecimalSeparator(QLatin1Char(','));
    QChar sep = systemDateSeparator();
    // A letter would be read as a field; quote it.
    const QString s = sep.isLetter() ? QStringLiteral("'") + sep + QStringLiteral("'") : QString(sep);
    QMutexLocker lock(&g_dateMutex);
    g_shortDateFormat = QStringLiteral("yyyy") + s + QStringLiteral("MM") + s + QStringLiteral("dd");
}

void applySystemFormats()
{
    const QString point = QLocale::system().decimalPoint();
    SetDecimalSeparator(point.isEmpty() ? QLatin1Char('.') : point.at(0));
    QMutexLocker lock(&g_dateMutex);
    g_shortDateFormat = systemShortDateFormat();
}

QChar decimalSeparator()
{
    return DecimalSeparator();
}

QString shortDateFormat()
{
    QMutexLocker lock(&g_dateMutex);
    return g_shortDateFormat.isEmpty() ? systemShortDateFormat() : g_shortDateFormat;
}

QString formatShortDate(const QDate &date)
{
    return date.toString(shortDateFormat());
}

void watchRegionalSettings()
{
    static RegionalWatcher *watcher = nullptr;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || watcher)
        return;
    watcher = new RegionalWatcher(app);
    app->installEventFilter(watcher);
#ifdef Q_OS_WIN
    app->installNativeEventFilter(watcher);
#endif
    // A new application (tests make several) needs a new watcher.
    QObject::connect(watcher, &QObject::destroyed, [] { watcher = nullptr; });
}

}
