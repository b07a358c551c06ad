#include "net/TcpKeepAlive.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

void applyTcpKeepAlive(qintptr socket, const TcpKeepAlive &timing)
{
    const auto s = decltype(::socket(0, 0, 0))(socket);
    const int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char *>(&on), sizeof on);
#if defined(TCP_KEEPIDLE) && defined(TCP_KEEPINTVL) && defined(TCP_KEEPCNT)
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPIDLE, reinterpret_cast<const char *>(&timing.idleS), sizeof(int));
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPINTVL, reinterpret_cast<const char *>(&timing.intervalS), sizeof(int));
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPCNT, reinterpret_cast<const char *>(&timing.probes), sizeof(int));
#else
    Q_UNUSED(timing)
#endif
}
