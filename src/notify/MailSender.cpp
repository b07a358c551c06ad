#include "notify/MailSender.h"

#include <QRegularExpression>
#include <QStringList>
#include <cstring>

#include "engine/ServerText.h"
#include "retrieval/CurlSupport.h"

namespace {
struct Upload {
    const QByteArray *data;
    qsizetype offset = 0;
};

size_t readChunk(char *buffer, size_t size, size_t count, void *userdata)
{
    auto *upload = static_cast<Upload *>(userdata);
    const size_t left = size_t(upload->data->size() - upload->offset);
    const size_t n = qMin(size * count, left);
    std::memcpy(buffer, upload->data->constData() + upload->offset, n);
    upload->offset += qsizetype(n);
    return n;
}

int progress(void *cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic_bool *>(cancel)->load() ? 1 : 0;
}

struct SlistDeleter {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

QByteArray angleAddress(const QString &address)
{
    QString a = address.trimmed();
    // "Name <user@example.org>" gives its address part.
    const qsizetype open = a.lastIndexOf(QLatin1Char('<'));
    if (open >= 0 && a.endsWith(QLatin1Char('>')))
        a = a.mid(open + 1, a.size() - open - 2);
    return "<" + a.toUtf8() + ">";
}
}

MailSender::MailSender(QObject *parent) : QObject(parent)
{
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("MailSender"));
    m_thread.start();
}

MailSender::~MailSender()
{
    // The transfer's progress check sees the flag and gives up at once.
    m_cancel = true;
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

void MailSender::send(const MailSettings &settings, const QByteArray &message, const QString &tag)
{
    ++m_pending;
    const Limits limits = m_limits;
    QMetaObject::invokeMethod(m_worker, [this, settings, message, limits, tag] {
        const QString error = deliver(settings, message, limits, m_cancel);
        if (m_cancel)
            return;
        // Posted to this object's thread; the destructor joins this thread
        // before the object is gone, so the target is alive here.
        QMetaObject::invokeMethod(this, [this, tag, error] {
            --m_pending;
            emit finished(tag, error.isEmpty(), error);
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

QString MailSender::plainLoginRefusedText(bool english)
{
    return english ? QStringLiteral("the login would go without encryption; choose STARTTLS or TLS, or confirm "
                                    "sending it unencrypted in the mail settings")
                   : QStringLiteral("die Anmeldung ginge unverschlüsselt; wählen Sie STARTTLS oder TLS, oder bestätigen "
                                    "Sie das unverschlüsselte Senden in den Mail-Einstellungen");
}

QString MailSender::deliver(const MailSettings &settings, const QByteArray &message, const Limits &limits,
                            const std::atomic_bool &cancel)
{
    if (!settings.isSet())
        return QStringLiteral("no mail server, sender or recipient set");
    if (settings.loginInClear() && !settings.plainPassword)
        return plainLoginRefusedText(true);
    CurlEasy curl = NewCurlEasy();
    if (!curl)
        return QStringLiteral("libcurl cannot be used");
    CURL *h = curl.get();

    QString host = settings.server.trimmed();
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const QByteArray url = (settings.security == MailSettings::Tls ? QByteArrayLiteral("smtps://")
                                                                   : QByteArrayLiteral("smtp://"))
                           + host.toUtf8() + ":" + QByteArray::number(settings.port);
    const QByteArray from = angleAddress(settings.sender);
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    const QByteArray caFile = limits.caFile.toUtf8();

    std::unique_ptr<curl_slist, SlistDeleter> recipients;
    const QStringList to = settings.recipient.split(QRegularExpression(QStringLiteral("[,;]")), Qt::SkipEmptyParts);
    for (const QString &r : to) {
        if (r.trimmed().isEmpty())
            continue;
        curl_slist *grown = curl_slist_append(recipients.get(), angleAddress(r).constData());
        if (!grown)
            return QStringLiteral("out of memory");
        recipients.release();
        recipients.reset(grown);
    }
    if (!recipients)
        return QStringLiteral("no recipient");

    Upload upload{&message};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(limits.connectTimeoutMs));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(limits.totalTimeoutMs));
    if (settings.security == MailSettings::StartTls)
        curl_easy_setopt(h, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (!caFile.isEmpty())
        curl_easy_setopt(h, CURLOPT_CAINFO, caFile.constData());
    if (!user.isEmpty()) {
        curl_easy_setopt(h, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(h, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, readChunk);
    curl_easy_setopt(h, CURLOPT_READDATA, &upload);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, const_cast<std::atomic_bool *>(&cancel));

    const CURLcode rc = curl_easy_perform(h);
    if (rc == CURLE_OK)
        return QString();
    // libcurl's error buffer may quote the server's reply.
    QString error = cleanServerText(QString::fromUtf8(errorBuffer));
    if (error.isEmpty())
        error = QString::fromUtf8(curl_easy_strerror(rc));
    long response = 0;
    if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response) == CURLE_OK && response >= 400)
        error += QStringLiteral(" (server answered %1)").arg(response);
    return error;
}
