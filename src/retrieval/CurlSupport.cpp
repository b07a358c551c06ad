#include "retrieval/CurlSupport.h"

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
