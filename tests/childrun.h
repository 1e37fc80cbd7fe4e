// Runs a program as a user's script would: given standard input, its output and errors kept, within
// a time limit. Started with posix_spawn rather than QProcess because the tests that run it also
// run under ThreadSanitizer, which cannot follow the child QtCore 6.4 starts with vfork semantics:
// the test then dies at the next thread it starts ("starting new threads after multi-threaded
// fork"). posix_spawn's child runs only the C library until it execs. Header-only.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace childrun {

struct Result
{
    int exitCode = -1; // -1 when it did not start, was killed, crashed or ran out of time
    QByteArray out;
    QByteArray err;
};

namespace detail {

struct Fd
{
    int fd = -1;
    Fd() = default;
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    void reset()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

inline bool makePipe(Fd &read, Fd &write)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    read.fd = fds[0];
    write.fd = fds[1];
    return true;
}

} // namespace detail

inline Result run(const QString &program, const QStringList &args, const QByteArray &input = {},
                  int timeoutMs = 60000)
{
    using detail::Fd;
    Result result;
    Fd inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!detail::makePipe(inRead, inWrite) || !detail::makePipe(outRead, outWrite) ||
        !detail::makePipe(errRead, errWrite))
        return result;

    std::vector<QByteArray> encoded{QFile::encodeName(program)};
    for (const QString &arg : args)
        encoded.push_back(QFile::encodeName(arg));
    std::vector<char *> argv;
    for (QByteArray &arg : encoded)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    // The duplicates lose close-on-exec; the pipes' own ends close at the exec. The writes below
    // ignore SIGPIPE (a child may exit without reading); the child gets it back at its default.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inRead.fd, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outWrite.fd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWrite.fd, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    std::signal(SIGPIPE, SIG_IGN);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return result;
    inRead.reset();
    outWrite.reset();
    errWrite.reset();

    qsizetype written = 0;
    if (input.isEmpty())
        inWrite.reset();
    else
        ::fcntl(inWrite.fd, F_SETFL, O_NONBLOCK);
    const QDeadlineTimer deadline(timeoutMs);
    bool timedOut = false;
    while (outRead.fd >= 0 || errRead.fd >= 0) {
        pollfd fds[3] = {{inWrite.fd, POLLOUT, 0}, {outRead.fd, POLLIN, 0}, {errRead.fd, POLLIN, 0}};
        const int ready = ::poll(fds, 3, int(std::min<qint64>(deadline.remainingTime(), 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (deadline.hasExpired()) {
            timedOut = true;
            break;
        }
        if (fds[0].revents) {
            const ssize_t n =
                ::write(inWrite.fd, input.constData() + written, size_t(input.size() - written));
            if (n > 0)
                written += n;
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size())
                inWrite.reset(); // all given, or the child closed its input: end of its input
        }
        const std::pair<Fd *, QByteArray *> outputs[] = {{&outRead, &result.out}, {&errRead, &result.err}};
        for (int i = 0; i < 2; ++i) {
            if (!fds[i + 1].revents)
                continue;
            char buffer[65536];
            const ssize_t n = ::read(outputs[i].first->fd, buffer, sizeof buffer);
            if (n > 0)
                outputs[i].second->append(buffer, n);
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                outputs[i].first->reset();
        }
    }
    if (timedOut || outRead.fd >= 0 || errRead.fd >= 0)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!timedOut && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

} // namespace childrun
