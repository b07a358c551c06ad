#include "notify/MailSettings.h"

#include <QSettings>

#include "tasks/TaskStore.h"

namespace {
const QString kServer = QStringLiteral("Options/mailserver");
const QString kPort = QStringLiteral("Options/mailport");
const QString kSecurity = QStringLiteral("Options/mailsecurity");
const QString kUser = QStringLiteral("Options/mailuser");
const QString kPassword = QStringLiteral("Options/mailpassword");
const QString kSender = QStringLiteral("Options/mailsender");
const QString kRecipient = QStringLiteral("Options/mailrecipient");
const QString kPlainPassword = QStringLiteral("Options/mailplainpassword");

QString text(QSettings &settings, const QString &key)
{
    const QVariant v = settings.value(key);
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

int number(QSettings &settings, const QString &key, int fallback)
{
    bool ok = false;
    const int n = text(settings, key).trimmed().toInt(&ok);
    return ok ? n : fallback;
}
}

bool MailSettings::isSet() const
{
    return !server.trimmed().isEmpty() && !sender.trimmed().isEmpty() && !recipient.trimmed().isEmpty();
}

bool MailSettings::loginInClear() const
{
    return security == None && !user.isEmpty();
}

int MailSettings::defaultPort(int security)
{
    return security == Tls ? 465 : security == StartTls ? 587 : 25;
}

MailSettings MailSettings::read(const TaskStore &store)
{
    auto settings = store.open();
    MailSettings m;
    m.server = text(*settings, kServer);
    m.security = number(*settings, kSecurity, None);
    if (m.security < None || m.security > Tls)
        m.security = None;
    m.port = number(*settings, kPort, defaultPort(m.security));
    if (m.port <= 0 || m.port > 65535)
        m.port = defaultPort(m.security);
    m.user = text(*settings, kUser);
    m.password = text(*settings, kPassword);
    m.sender = text(*settings, kSender);
    m.recipient = text(*settings, kRecipient);
    m.plainPassword = number(*settings, kPlainPassword, 0) == 1;
    return m;
}

bool MailSettings::save(const TaskStore &store) const
{
    return store.writeValues({
        {kServer, server},
        {kPort, QString::number(port)},
        {kSecurity, QString::number(security)},
        {kUser, user},
        {kPassword, password},
        {kSender, sender},
        {kRecipient, recipient},
        {kPlainPassword, plainPassword ? QStringLiteral("1") : QStringLiteral("0")},
    });
}
