#pragma once

#include <QtGlobal>
#include <QtTest>

// A test whose real peer (a server, a namespace, a tool) is missing skips
// with the reason on a developer's machine. With VW_REQUIRE_PEERS set (CI),
// it fails instead, so a green run proves that every peer ran.
inline bool vwPeersRequired()
{
    return qEnvironmentVariableIsSet("VW_REQUIRE_PEERS")
           && qEnvironmentVariable("VW_REQUIRE_PEERS") != QLatin1String("0");
}

#define VW_SKIP(reason)                                                                          \
    do {                                                                                         \
        const QByteArray vwSkipReason_ = QByteArray(reason);                                     \
        if (vwPeersRequired())                                                                   \
            QFAIL(("peer missing (VW_REQUIRE_PEERS is set): " + vwSkipReason_).constData());     \
        QSKIP(vwSkipReason_.constData());                                                        \
    } while (false)
