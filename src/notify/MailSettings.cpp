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
const QString kSecrets = QStringLiteral("Options/mailsecrets");

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
    m.passwordInKeyring = text(*settings, kSecrets) == QLatin1String("keyring");
    if (m.passwordInKeyring)
        m.password.clear();
    return m;
}

bool MailSettings::save(const TaskStore &store) const
{
    QList<std::pair<QString, QString>> values{
        {kServer, server},
        {kPort, QString::number(port)},
        {kSecurity, QString::number(security)},
        {kUser, user},
        {kSender, sender},
        {kRecipient, recipient},
        {kPlainPassword, plainPassword ? QStringLiteral("1") : QStringLiteral("0")},
        {kSecrets, passwordInKeyring ? QStringLiteral("keyring") : QString()},
    };
    if (passwordInKeyring)
        return store.writeValues(values, {kPassword});
    values.append({kPassword, password});
    return store.writeValues(values);
}

bool MailSettings::movePasswordToKeyring(const TaskStore &store, const QString &password)
{
    return store.write([&](QSettings &settings) {
        if (text(settings, kPassword) != password)
            return false;
        settings.remove(kPassword);
        settings.setValue(kSecrets, QStringLiteral("keyring"));
        return true;
    });
}
