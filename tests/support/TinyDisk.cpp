#include "TinyDisk.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QFile>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {
const char *const Marker = "VW_PRIVATE_MOUNTS";
}

int TinyDisk::RunInPrivateMountNamespace(int argc, char **argv)
{
#ifdef Q_OS_LINUX
    if (std::getenv(Marker))
        return -1;
    const std::vector<std::vector<const char *>> ways = {
        {"unshare", "--mount", "--propagation", "private"},
        {"unshare", "--user", "--map-root-user", "--mount", "--propagation", "private"},
    };
    for (const auto &way : ways) {
        // Probe first, so a failing test is never mistaken for a failing unshare.
        std::vector<const char *> probe = way;
        probe.push_back("true");
        probe.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execvp(probe[0], const_cast<char *const *>(probe.data()));
            ::_exit(127);
        }
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            continue;
        std::vector<const char *> args = way;
        args.push_back("--");
        // The running executable itself, whatever argv[0] says.
        static char self[4096] = {};
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        args.push_back(n > 0 ? self : argv[0]);
        for (int i = 1; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        ::setenv(Marker, "1", 1);
        ::execvp(args[0], const_cast<char *const *>(args.data()));
        ::unsetenv(Marker);
    }
    ::setenv(Marker, "unavailable", 1);
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
#endif
    return -1;
}

QString TinyDisk::unavailableReason()
{
#ifdef Q_OS_LINUX
    if (qgetenv(Marker) == "1")
        return QString();
    return QStringLiteral("no private mount namespace: unshare (root or user namespaces) is not available");
#else
    return QStringLiteral("tmpfs mounts exist on Linux only");
#endif
}

TinyDisk::~TinyDisk()
{
#ifdef Q_OS_LINUX
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
#endif
}

bool TinyDisk::mount(qint64 sizeBytes)
{
#ifdef Q_OS_LINUX
    const QByteArray options = "size=" + QByteArray::number(sizeBytes) + ",mode=0700";
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, options.constData()) != 0) {
        m_error = QStringLiteral("mount tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_mounted = true;
    return true;
#else
    Q_UNUSED(sizeBytes);
    m_error = unavailableReason();
    return false;
#endif
}

qint64 TinyDisk::freeBytes() const
{
#ifdef Q_OS_LINUX
    struct statvfs s {};
    if (::statvfs(QFile::encodeName(m_dir.path()).constData(), &s) != 0)
        return -1;
    return qint64(s.f_bavail) * qint64(s.f_frsize);
#else
    return -1;
#endif
}

bool TinyDisk::leaveFree(qint64 left)
{
    const qint64 fill = freeBytes() - left;
    if (fill < 0)
        return false;
    QFile filler(m_dir.filePath(QStringLiteral("filler-%1").arg(++m_fillers)));
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(fill, 'f');
    return filler.write(block) == fill && filler.flush() && freeBytes() <= left;
}
