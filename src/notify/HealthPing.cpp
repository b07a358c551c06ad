#include "notify/HealthPing.h"

#include <QUrl>

#include "retrieval/CurlSupport.h"

namespace {
int stopWhenCancelled(void *cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic_bool *>(cancel)->load() ? 1 : 0;
}
} // namespace

HealthPing::HealthPing(QObject *parent) : QObject(parent)
{
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("HealthPing"));
    m_thread.start();
}

HealthPing::~HealthPing()
{
    m_cancel = true;
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

QString HealthPing::urlFor(const QString &url, Kind kind)
{
    QString base = url.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    switch (kind) {
    case Kind::Start:
        return base + QStringLiteral("/start");
    case Kind::Fail:
        return base + QStringLiteral("/fail");
    case Kind::Success:
        break;
    }
    return base;
}

void HealthPing::ping(const QString &url, Kind kind, const QByteArray &body, const QString &taskName)
{
    ++m_pending;
    const QString target = urlFor(url, kind);
    const QByteArray sent = body.right(MaxBody);
    const Limits limits = m_limits;
    QMetaObject::invokeMethod(m_worker, [this, target, sent, limits, taskName] {
        const QString error = deliver(target, sent, limits, m_cancel);
        if (m_cancel)
            return;
        // The destructor joins this thread before the object goes.
        QMetaObject::invokeMethod(this, [this, taskName, error] {
            --m_pending;
            emit finished(taskName, error.isEmpty(), error);
            if (m_pending == 0)
                emit settled();
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

QString HealthPing::deliver(const QString &url, const QByteArray &body, const Limits &limits,
                            const std::atomic_bool &cancel)
{
    const QUrl parsed(url);
    if (!parsed.isValid() || (parsed.scheme() != QLatin1String("https") && parsed.scheme() != QLatin1String("http")))
        return QStringLiteral("not an http or https address");
    CurlEasy curl = NewCurlEasy();
    if (!curl)
        return QStringLiteral("libcurl cannot be used");
    CURL *h = curl.get();
    const QByteArray address = parsed.toEncoded();
    const QByteArray caFile = limits.caFile.toUtf8();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_URL, address.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 3L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(limits.totalTimeoutMs));
    if (!caFile.isEmpty())
        curl_easy_setopt(h, CURLOPT_CAINFO, caFile.constData());
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    // The service's answer is of no use here.
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, +[](char *, size_t size, size_t n, void *) { return size * n; });
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, stopWhenCancelled);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, const_cast<std::atomic_bool *>(&cancel));
    const CURLcode rc = curl_easy_perform(h);
    long response = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response);
    if (rc == CURLE_OK && response < 400)
        return QString();
    if (rc == CURLE_OK)
        return QStringLiteral("the service answered %1").arg(response);
    const QString error = QString::fromUtf8(errorBuffer);
    return error.isEmpty() ? QString::fromUtf8(curl_easy_strerror(rc)) : error;
}
