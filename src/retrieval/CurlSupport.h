#pragma once

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
