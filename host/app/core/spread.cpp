// --jobs: the chunks of one render as child processes of ophost, since an
// operator's state belongs to its process, then the join.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/output_file.h"
#include "ophost/chunks.h"
#include "ophost/progress.h"
#include "ophost/same_file.h"

extern char **environ;

namespace ophost {

namespace {

const char *const PROGRESS_ENV = "OPHOST_PROGRESS_FD";
constexpr int PROGRESS_FD = 3;   // where a child finds its end of the pipe

// The running children, for the signal handler: it passes the signal on,
// waits for them, then lets the output cleanup remove the parts.
constexpr int MAX_CHILDREN = 256;
volatile sig_atomic_t childCount = 0;
pid_t children[MAX_CHILDREN];
struct sigaction previous[3];
// The parts' files, removed by the handler once the children are gone.
// Filled before the handler is installed, cleared after it is removed.
std::vector<std::string> partsOnDisk;
const int SIGNALS[3] = {SIGINT, SIGTERM, SIGHUP};

void forwardAndDie(int sig)
{
    for (int i = 0; i < childCount; ++i)
        if (children[i] > 0) ::kill(children[i], sig);
    for (int i = 0; i < childCount; ++i)
        if (children[i] > 0) ::waitpid(children[i], nullptr, 0);
    for (const std::string &f : partsOnDisk) ::unlink(f.c_str());
    for (int i = 0; i < 3; ++i) {
        if (SIGNALS[i] != sig) continue;
        if (previous[i].sa_handler != SIG_DFL && previous[i].sa_handler != SIG_IGN) previous[i].sa_handler(sig);
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    _exit(128 + sig);
}

// The file names a part stands for: itself, or its frames.
std::vector<std::string> partFiles(const std::string &part, int first, int end)
{
    const size_t pc = part.find('%');
    if (pc == std::string::npos) return {part};
    std::vector<std::string> files;
    for (int n = first; n < end; ++n) files.push_back(numberedName(part, n));
    return files;
}

} // namespace

void reportChunkProgress(uint32_t fieldsDone)
{
    static const int fd = [] {
        const char *v = std::getenv(PROGRESS_ENV);
        return v ? std::atoi(v) : -1;
    }();
    if (fd < 0) return;
    char line[24];
    const int n = std::snprintf(line, sizeof line, "%u\n", fieldsDone);
    if (::write(fd, line, size_t(n)) < 0) return;   // the parent has gone: nothing to tell
}

std::string runChunks(const Plan &plan, const std::vector<std::pair<int, int>> &frames, const std::string &out,
                      const std::string &audioFrom, const std::string &label, bool showProgress,
                      uint32_t totalFields, std::vector<std::string> &notes)
{
    const size_t n = plan.chunkCommands.size();
    if (n > size_t(MAX_CHILDREN)) return "--jobs: at most " + std::to_string(MAX_CHILDREN) + " chunks";
    media::installOutputSignalCleanup();
    partsOnDisk.clear();
    for (size_t k = 0; k < n; ++k)
        for (const std::string &f : partFiles(plan.parts[k], frames[k].first, frames[k].second))
            partsOnDisk.push_back(f);
    auto cleanup = [] {
        for (const std::string &f : partsOnDisk) ::unlink(f.c_str());
    };
    for (int i = 0; i < 3; ++i) {
        struct sigaction action {};
        action.sa_handler = forwardAndDie;
        sigemptyset(&action.sa_mask);
        for (int s : SIGNALS) sigaddset(&action.sa_mask, s);
        sigaction(SIGNALS[i], &action, &previous[i]);
    }
    auto restoreSignals = [] {
        for (int i = 0; i < 3; ++i) sigaction(SIGNALS[i], &previous[i], nullptr);
    };

    std::vector<int> pipes(n, -1);
    std::vector<uint32_t> done(n, 0);
    std::vector<std::string> pending(n);
    std::string fault;
    for (size_t k = 0; k < n && fault.empty(); ++k) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            fault = std::string("cannot start the chunks: ") + std::strerror(errno);
            break;
        }
        std::vector<std::string> env;
        for (char **e = environ; *e; ++e)
            if (std::strncmp(*e, PROGRESS_ENV, std::strlen(PROGRESS_ENV)) != 0) env.push_back(*e);
        env.push_back(std::string(PROGRESS_ENV) + "=" + std::to_string(PROGRESS_FD));
        std::vector<char *> envp, argv;
        for (std::string &e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> words = plan.chunkCommands[k];
        for (std::string &w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], PROGRESS_FD);
        pid_t pid = -1;
        // The handler must see the child as soon as it exists.
        sigset_t block, old;
        sigemptyset(&block);
        for (int s : SIGNALS) sigaddset(&block, s);
        pthread_sigmask(SIG_BLOCK, &block, &old);
        const int rc = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), envp.data());
        if (rc == 0) {
            children[childCount] = pid;
            childCount = childCount + 1;
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (rc != 0) {
            ::close(fds[0]);
            fault = "cannot start chunk " + std::to_string(k + 1) + ": " + std::strerror(rc);
            break;
        }
        pipes[k] = fds[0];
    }

    // Progress until every child has closed its pipe (it ends, or dies).
    ProgressLine progress(label, showProgress);
    for (;;) {
        std::vector<pollfd> polled;
        std::vector<size_t> which;
        for (size_t k = 0; k < n; ++k)
            if (pipes[k] >= 0) {
                polled.push_back(pollfd{pipes[k], POLLIN, 0});
                which.push_back(k);
            }
        if (polled.empty()) break;
        if (::poll(polled.data(), polled.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (size_t i = 0; i < polled.size(); ++i) {
            if (!(polled[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const size_t k = which[i];
            char buffer[256];
            const ssize_t got = ::read(pipes[k], buffer, sizeof buffer);
            if (got <= 0) {
                ::close(pipes[k]);
                pipes[k] = -1;
                continue;
            }
            pending[k].append(buffer, size_t(got));
            size_t nl;
            while ((nl = pending[k].find('\n')) != std::string::npos) {
                done[k] = uint32_t(std::strtoul(pending[k].c_str(), nullptr, 10));
                pending[k].erase(0, nl + 1);
            }
        }
        uint32_t sum = 0;
        for (uint32_t d : done) sum += d;
        progress.update(sum, totalFields);
    }
    progress.clear();

    for (int i = 0; i < childCount; ++i) {
        int status = 0;
        while (::waitpid(children[i], &status, 0) < 0 && errno == EINTR) {
        }
        const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (!ok && fault.empty()) {
            const size_t k = size_t(i);
            fault = "chunk " + std::to_string(k + 1) + " (frames " + std::to_string(frames[k].first) + ":" +
                    std::to_string(frames[k].second) + ") failed" +
                    (WIFEXITED(status) ? " with exit status " + std::to_string(WEXITSTATUS(status))
                                       : std::string(" (") + strsignal(WTERMSIG(status)) + ")") +
                    "; " + out + " is left as it was";
            // The other chunks' work is of no use now.
            for (int j = 0; j < childCount; ++j)
                if (j != i) ::kill(children[j], SIGTERM);
        }
    }
    childCount = 0;
    if (fault.empty()) fault = joinParts(plan.parts, out, audioFrom, notes);
    cleanup();
    restoreSignals();
    partsOnDisk.clear();
    return fault;
}

} // namespace ophost
