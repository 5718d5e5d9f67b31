#include "media/output_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

namespace media {

namespace {

// The temporaries on disk, as a list the signal handler can walk. Threads
// change it, and create temporaries, only inside a "window": with the
// cleanup signals blocked in that thread, after counting themselves in
// `inWindow` and finding `cleaning` unset. The handler sets `cleaning`,
// then waits until no thread is inside a window before it walks the list;
// from then on no temporary is created. Nodes are allocated and freed
// outside windows, so a thread inside one never waits on the allocator
// that the interrupted thread may hold.
struct Node {
    char *path;
    Node *prev, *next;
};

Node *listHead = nullptr;
std::mutex listLock;   // between threads; taken only inside a window
std::atomic<int> inWindow{0};
std::atomic<bool> cleaning{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

const int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

// A window, while it lives; entered() is false when the cleanup has begun.
class Window {
public:
    Window()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int s : CLEANUP_SIGNALS) sigaddset(&set, s);
        pthread_sigmask(SIG_BLOCK, &set, &old_);
        inWindow.fetch_add(1);
        entered_ = !cleaning.load();
        if (!entered_) leave();
    }
    ~Window()
    {
        if (entered_) leave();
    }
    bool entered() const { return entered_; }

private:
    void leave()
    {
        inWindow.fetch_sub(1);
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

    sigset_t old_;
    bool entered_ = false;
};

void removeTemporariesAndDie(int sig)
{
    if (!cleaning.exchange(true)) {
        const timespec pause{0, 1000000};
        while (inWindow.load() != 0) nanosleep(&pause, nullptr);
        for (Node *n = listHead; n; n = n->next) ::unlink(n->path);
    } else {
        // Another thread is cleaning up and will end the process.
        for (;;) ::pause();
    }
    std::signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(sig);
    _exit(128 + sig);
}

int createTracked(const char *path)
{
    auto *node = static_cast<Node *>(std::malloc(sizeof(Node)));
    char *copy = ::strdup(path);
    if (!node || !copy) {
        std::free(node);
        std::free(copy);
        errno = ENOMEM;
        return -1;
    }
    int fd = -1;
    int error = EINTR;   // the process is ending of a signal
    {
        Window window;
        if (window.entered()) {
            std::lock_guard<std::mutex> hold(listLock);
            fd = safefile::createExclusive(path);
            error = errno;
            if (fd >= 0) {
                node->path = copy;
                node->prev = nullptr;
                node->next = listHead;
                if (listHead) listHead->prev = node;
                listHead = node;
            }
        }
    }
    if (fd < 0) {
        std::free(node);
        std::free(copy);
        errno = error;
    }
    return fd;
}

void forgetTracked(const char *path)
{
    Node *found = nullptr;
    {
        Window window;
        if (!window.entered()) return;   // the handler removes it
        std::lock_guard<std::mutex> hold(listLock);
        for (Node *n = listHead; n; n = n->next) {
            if (std::strcmp(n->path, path) != 0) continue;
            if (n->prev) n->prev->next = n->next;
            else listHead = n->next;
            if (n->next) n->next->prev = n->prev;
            found = n;
            break;
        }
    }
    if (found) {
        std::free(found->path);
        std::free(found);
    }
}

} // namespace

const safefile::Hooks &outputHooks()
{
    static const safefile::Hooks hooks{createTracked, forgetTracked, nullptr};
    return hooks;
}

void installOutputSignalCleanup()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int s : CLEANUP_SIGNALS) {
            struct sigaction old;
            if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
            struct sigaction action {};
            action.sa_handler = removeTemporariesAndDie;
            sigemptyset(&action.sa_mask);
            for (int t : CLEANUP_SIGNALS) sigaddset(&action.sa_mask, t);
            sigaction(s, &action, nullptr);
        }
    });
}

std::string checkOutputTarget(const std::string &path) { return safefile::checkTarget(path); }

bool OutputFile::open(const std::string &target, std::string &error)
{
    abandon();
    target_ = target;
    if (target == "-") {
        stream_ = true;
        file_ = stdout;
        return true;
    }
    stream_ = false;
    installOutputSignalCleanup();
    error = writer_.open(target);
    if (!error.empty()) return false;
    file_ = ::fdopen(writer_.fd(), "wb");
    if (!file_) {
        error = target + ": cannot write: " + std::strerror(errno);
        writer_.abandon();
        return false;
    }
    writer_.releaseFd();   // the stream closes it
    return true;
}

bool OutputFile::close(std::string &error)
{
    if (!file_) return true;
    bool ok = true;
    if (stream_) {
        ok = std::fflush(file_) == 0;
        if (!ok) error = "standard output: cannot write: " + std::string(std::strerror(errno));
        file_ = nullptr;
        return ok;
    }
    errno = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_)) {
        error = target_ + ": cannot write: " + std::strerror(errno ? errno : EIO);
        ok = false;
    }
    if (std::fclose(file_) != 0 && ok) {
        error = target_ + ": cannot write: " + std::strerror(errno);
        ok = false;
    }
    file_ = nullptr;
    return ok;
}

bool OutputFile::commit(std::string &error)
{
    if (!close(error)) {
        abandon();
        return false;
    }
    if (stream_ || writer_.temporary().empty()) return true;
    error = writer_.commit();
    return error.empty();
}

void OutputFile::abandon()
{
    if (file_ && !stream_) std::fclose(file_);
    if (file_ && stream_) std::fflush(file_);
    file_ = nullptr;
    writer_.abandon();
}

} // namespace media
