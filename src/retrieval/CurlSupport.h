#pragma once

#include <chrono>
#include <memory>

#include <curl/curl.h>

// libcurl's process-wide set-up, done once before the first handle.
bool EnsureCurlReady();

struct CurlEasyDeleter {
    void operator()(CURL *handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

// A fresh easy handle, or null when libcurl cannot be used.
CurlEasy NewCurlEasy();

// Receive buffer for downloads. libcurl's default of 16 KiB means many small
// reads and callbacks on a fast link; curl's own tool uses 100 KiB.
inline constexpr long CurlReceiveBufferSize = 128L * 1024;

struct RetrievalOptions;

// Ends a transfer that was cancelled or that has received nothing for the
// stall time; libcurl's own low-speed limit covers the trickle. Call check()
// from the progress callback and stop on true.
class TransferGuard {
public:
    explicit TransferGuard(const RetrievalOptions &options);
    bool check(curl_off_t received);
    // Sets the low-speed limit and the progress callback on an easy handle
    // that has no progress callback of its own.
    void install(CURL *handle);

private:
    const RetrievalOptions &m_options;
    curl_off_t m_lastReceived = -1;
    std::chrono::steady_clock::time_point m_lastChange;
};
