#include "media/output_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace media {

namespace {

// Temporaries not yet renamed or removed. Changed only with the cleanup
// signals blocked, so the handler never sees it half changed.
std::vector<std::string> &temporaries()
{
    static std::vector<std::string> list;
    return list;
}

const int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

class SignalsBlocked {
public:
    SignalsBlocked()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int s : CLEANUP_SIGNALS) sigaddset(&set, s);
        pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

private:
    sigset_t old_;
};

void removeTemporariesAndDie(int sig)
{
    for (const std::string &path : temporaries()) ::unlink(path.c_str());
    std::signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(sig);
    _exit(128 + sig);
}

std::string kindFault(const struct stat &st)
{
    if (S_ISDIR(st.st_mode)) return "is a folder";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "is a device";
    if (S_ISFIFO(st.st_mode)) return "is a pipe";
    if (S_ISSOCK(st.st_mode)) return "is a socket";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    return {};
}

} // namespace

void installOutputSignalCleanup()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int s : CLEANUP_SIGNALS) {
        struct sigaction old;
        if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = removeTemporariesAndDie;
        sigemptyset(&action.sa_mask);
        for (int t : CLEANUP_SIGNALS) sigaddset(&action.sa_mask, t);
        sigaction(s, &action, nullptr);
    }
}

void registerTemporary(const std::string &path)
{
    std::string copy = path;   // allocate before blocking
    SignalsBlocked blocked;
    temporaries().push_back(std::move(copy));
}

void unregisterTemporary(const std::string &path)
{
    SignalsBlocked blocked;
    auto &list = temporaries();
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == path) {
            list[i].swap(list.back());
            list.pop_back();
            return;
        }
    }
}

std::string temporaryNameFor(const std::string &target)
{
    static unsigned counter = 0;
    size_t slash = target.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + base + ".ophost-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

std::string checkOutputTarget(const std::string &path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return {};   // absent (or a dangling link, replaced as a name)
        return path + ": cannot write: " + std::strerror(errno);
    }
    std::string kind = kindFault(st);
    if (!kind.empty()) return path + ": " + kind + ", not a regular file; refusing to write over it";
    if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)
        return path + ": is read-only; refusing to replace it";
    return {};
}

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
    error = checkOutputTarget(target);
    if (!error.empty()) return false;
    // Through a link to a file: replace the file, keep the link.
    std::string where = target;
    struct stat linkStat, st;
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && ::lstat(target.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode)) {
        if (char *real = ::realpath(target.c_str(), nullptr)) {
            where = real;
            std::free(real);
        }
    }
    installOutputSignalCleanup();
    std::string temp = temporaryNameFor(where);
    registerTemporary(temp);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = target + ": cannot write in its folder: " + std::strerror(errno);
        unregisterTemporary(temp);
        return false;
    }
    if (exists) (void)::fchmod(fd, st.st_mode & 07777);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        error = target + ": cannot write: " + std::strerror(errno);
        ::close(fd);
        ::unlink(temp.c_str());
        unregisterTemporary(temp);
        return false;
    }
    temp_ = temp;
    resolved_ = where;
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
    if (stream_ || temp_.empty()) return true;
    // The target may have changed since open (a folder made in its place).
    std::string fault = checkOutputTarget(target_);
    if (!fault.empty()) {
        error = fault;
        abandon();
        return false;
    }
    if (std::rename(temp_.c_str(), resolved_.c_str()) != 0) {
        error = target_ + ": cannot rename the finished output into place: " + std::strerror(errno);
        abandon();
        return false;
    }
    unregisterTemporary(temp_);
    temp_.clear();
    return true;
}

void OutputFile::abandon()
{
    if (file_ && !stream_) std::fclose(file_);
    if (file_ && stream_) std::fflush(file_);
    file_ = nullptr;
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        unregisterTemporary(temp_);
        temp_.clear();
    }
}

} // namespace media
