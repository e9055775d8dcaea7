#include "tests/support/smallfilesystem.h"

#include <QFile>

#include <csignal>

#include <sys/mount.h>

SmallFileSystem::SmallFileSystem(qint64 bytes, const QString& folder)
    : m_path(folder.isEmpty() ? m_dir.path() : folder), m_bytes(bytes)
{
    const QByteArray where = QFile::encodeName(m_path);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
    m_mounted = ::mount("tmpfs", where.constData(), "tmpfs", 0, options.constData()) == 0;
    if (m_mounted)
        return;
    // Without the right to mount: a write past the limit fails instead of raising SIGXFSZ.
    std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &m_oldLimit);
    struct rlimit limit = m_oldLimit;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    m_limited = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

SmallFileSystem::~SmallFileSystem()
{
    if (m_limited)
        ::setrlimit(RLIMIT_FSIZE, &m_oldLimit);
    if (m_mounted)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
}

void SmallFileSystem::fill(pid_t program)
{
    if (m_limited) {
        struct rlimit none = m_oldLimit;
        none.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &none);
        // The program inherited the limit and SIGXFSZ ignored when it was started.
        if (program > 0)
            ::prlimit(program, RLIMIT_FSIZE, &none, nullptr);
        return;
    }
    QFile filler(file(QStringLiteral(".filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size()) {
    }
    while (filler.write("f", 1) == 1) {
    }
}

void SmallFileSystem::makeRoom(pid_t program)
{
    if (m_limited) {
        struct rlimit limit = m_oldLimit;
        limit.rlim_cur = static_cast<rlim_t>(m_bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (program > 0)
            ::prlimit(program, RLIMIT_FSIZE, &limit, nullptr);
        return;
    }
    QFile::remove(file(QStringLiteral(".filler")));
}
