#include "retrieval/CurlSupport.h"

#include "retrieval/RetrievalOptions.h"

bool EnsureCurlReady()
{
    // A function-local static is initialised once, even with threads racing.
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

CurlEasy NewCurlEasy()
{
    if (!EnsureCurlReady())
        return CurlEasy();
    return CurlEasy(curl_easy_init());
}

TransferGuard::TransferGuard(const RetrievalOptions &options)
    : m_options(options), m_lastChange(std::chrono::steady_clock::now())
{
}

bool TransferGuard::check(curl_off_t received)
{
    if (m_options.cancel && m_options.cancel->load())
        return true;
    const auto now = std::chrono::steady_clock::now();
    if (received != m_lastReceived) {
        m_lastReceived = received;
        m_lastChange = now;
        return false;
    }
    return now - m_lastChange > std::chrono::seconds(m_options.stallTimeoutS);
}

namespace {
int onGuardProgress(void *userData, curl_off_t, curl_off_t now, curl_off_t, curl_off_t)
{
    return static_cast<TransferGuard *>(userData)->check(now) ? 1 : 0;
}
}

void TransferGuard::install(CURL *handle)
{
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, m_options.lowSpeedBytesPerS);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, long(m_options.lowSpeedTimeS));
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, onGuardProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
}
