#include "PrivateNetwork.h"

#include <cerrno>
#include <cstring>

#ifdef Q_OS_LINUX
#include <QDir>
#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

PrivateNetwork::PrivateNetwork()
{
#ifdef Q_OS_LINUX
    m_previous = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (m_previous < 0) {
        m_reason = QStringLiteral("cannot open the current network namespace: ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (::unshare(CLONE_NEWNET) != 0) {
        m_reason = QStringLiteral("no private network namespace (unshare): ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_entered = true;
    m_active = setLoopbackUp(true);
    if (!m_active)
        m_reason = QStringLiteral("cannot bring the private loopback up: ") + QString::fromLocal8Bit(std::strerror(errno));
#else
    m_reason = QStringLiteral("private network namespaces exist on Linux only");
#endif
}

PrivateNetwork::~PrivateNetwork()
{
#ifdef Q_OS_LINUX
    if (m_entered)
        ::setns(m_previous, CLONE_NEWNET);
    if (m_previous >= 0)
        ::close(m_previous);
#endif
}

bool PrivateNetwork::setLoopbackUp(bool up)
{
#ifdef Q_OS_LINUX
    if (!m_entered)
        return false;
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    ifreq request = {};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool done = ::ioctl(s, SIOCGIFFLAGS, &request) == 0;
    if (done) {
        request.ifr_flags = up ? short(request.ifr_flags | IFF_UP) : short(request.ifr_flags & ~IFF_UP);
        done = ::ioctl(s, SIOCSIFFLAGS, &request) == 0;
    }
    const int saved = errno;
    ::close(s);
    errno = saved;
    return done;
#else
    Q_UNUSED(up)
    return false;
#endif
}

bool PrivateNetwork::loopbackSendQueuesEmpty()
{
#ifdef Q_OS_LINUX
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString &name : fds) {
        const int fd = name.toInt();
        tcp_info info = {};
        socklen_t length = sizeof info;
        if (::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0 || info.tcpi_state != TCP_ESTABLISHED)
            continue;
        sockaddr_in local = {};
        socklen_t localLength = sizeof local;
        if (::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localLength) != 0 || local.sin_family != AF_INET
            || local.sin_addr.s_addr != htonl(INADDR_LOOPBACK))
            continue;
        int queued = 0;
        if (::ioctl(fd, SIOCOUTQ, &queued) != 0 || queued != 0)
            return false;
    }
    return true;
#else
    return false;
#endif
}
