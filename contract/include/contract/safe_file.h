// Writing a file without ever destroying what is not ours: the one writer
// for every file the host and the operators write (renders, screenshots,
// settings records, presets).
//
// A file is written under a hidden temporary name in the target's folder,
// created exclusively (a name planted there is never followed or reused),
// and renamed over the target only when complete, so a failed or
// interrupted write leaves the target as it was. The target must be absent
// or a regular file the user may write: a folder, a device, a pipe, a
// socket or a read-only file is refused before anything is written. A link
// to a file is followed: the file is replaced and the link stays. A
// replaced file keeps its permission bits.
//
// Header-only, so that the host and each operator library carry their own
// copy and share nothing at run time.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace safefile {

// What a program may put between the writer and the system: the host
// tracks temporaries so that a fatal signal removes them; tests make
// writes fail.
struct Hooks {
    // Creates `path` exclusively for writing: the descriptor, or -1 with
    // errno set. Null: createExclusive.
    int (*create)(const char *path) = nullptr;
    // The temporary `path` was renamed into place or removed.
    void (*forget)(const char *path) = nullptr;
    // As ::write. Null: ::write.
    ssize_t (*write)(int fd, const void *data, size_t size) = nullptr;
};

inline int createExclusive(const char *path)
{
    return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
}

// "is a folder", ...; empty for a regular file.
inline const char *kindFault(mode_t mode)
{
    if (S_ISREG(mode)) return "";
    if (S_ISDIR(mode)) return "is a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device";
    if (S_ISFIFO(mode)) return "is a pipe";
    if (S_ISSOCK(mode)) return "is a socket";
    return "is not a regular file";
}

// What a checked target turned out to be.
struct Target {
    std::string where;   // the name to rename over (a link to a file: the file)
    bool exists = false;
    mode_t mode = 0;     // the existing file's permission bits
};

// Empty when `path` may be replaced by a finished file, else the fault,
// naming the path ("out.png: is a folder, not a regular file; refusing to
// write over it"). Nothing is changed either way.
inline std::string checkTarget(const std::string &path, Target *found = nullptr)
{
    if (path.empty()) return "no file was named";
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return path + ": cannot write: " + std::strerror(errno);
        // Absent, or a link to nothing: the name itself is replaced.
        if (found) *found = Target{path, false, 0};
        return {};
    }
    const char *kind = kindFault(st.st_mode);
    if (*kind) return path + ": " + kind + ", not a regular file; refusing to write over it";
    // The permission bits decide even for a user whom access() lets write
    // anything.
    if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)
        return path + ": is read-only; refusing to replace it";
    if (found) {
        found->where = path;
        found->exists = true;
        found->mode = st.st_mode & 07777;
        struct stat link;
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            if (char *real = ::realpath(path.c_str(), nullptr)) {
                found->where = real;
                std::free(real);
            }
        }
    }
    return {};
}

// A hidden name beside `where` for temporary `serial`, as long as the file
// system allows: the target's own name is shortened (never inside a UTF-8
// character) so that any name the file system accepts can be written.
inline std::string temporaryName(const std::string &where, unsigned serial)
{
    const size_t slash = where.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : where.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? where : where.substr(slash + 1);
    // Appended piece by piece: "." + std::to_string(...) trips a false
    // overlap warning in GCC 12's optimiser.
    std::string tail = ".";
    tail += std::to_string(::getpid());
    tail += '-';
    tail += std::to_string(serial);
    tail += ".tmp";
    long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0 || limit > 4096) limit = NAME_MAX;
    const size_t room = size_t(limit) > tail.size() + 1 ? size_t(limit) - tail.size() - 1 : 0;
    if (base.size() > room) {
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
        base.resize(cut);
    }
    return folder + "." + base + tail;
}

inline unsigned nextSerial()
{
    static std::atomic<unsigned> serial{0};
    return serial.fetch_add(1);
}

// One file being written. open() checks the target and creates the
// temporary; commit() renames it into place; anything else, and the
// destructor, removes it.
class Writer {
public:
    explicit Writer(const Hooks *hooks = nullptr) : hooks_(hooks ? *hooks : Hooks{}) {}
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;
    ~Writer() { abandon(); }

    // Empty on success, else the fault naming the target.
    std::string open(const std::string &target)
    {
        abandon();
        target_ = target;
        Target found;
        if (std::string fault = checkTarget(target, &found); !fault.empty()) return fault;
        where_ = found.where;
        // Exclusive creation under a fresh name: a name already taken (a
        // planted file or link) is passed over, never opened.
        int fd = -1;
        std::string temp;
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            temp = temporaryName(where_, nextSerial());
            fd = hooks_.create ? hooks_.create(temp.c_str()) : createExclusive(temp.c_str());
            if (fd < 0 && errno != EEXIST) break;
        }
        if (fd < 0) return target + ": cannot write in its folder: " + std::strerror(errno);
        fd_ = fd;
        temp_ = temp;
        if (found.exists && ::fchmod(fd_, found.mode) != 0) {
            const std::string fault = target + ": cannot keep its permissions: " + std::strerror(errno);
            abandon();
            return fault;
        }
        return {};
    }

    int fd() const { return fd_; }
    const std::string &target() const { return target_; }
    const std::string &temporary() const { return temp_; }

    // The descriptor passes to the caller (to wrap it in a stream, which
    // then closes it); the temporary stays this writer's.
    int releaseFd()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

    // Writes all of `data`.
    std::string write(const void *data, size_t size)
    {
        const auto *bytes = static_cast<const unsigned char *>(data);
        while (size > 0) {
            const ssize_t n = hooks_.write ? hooks_.write(fd_, bytes, size) : ::write(fd_, bytes, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return target_ + ": cannot write: " + std::strerror(n < 0 ? errno : ENOSPC);
            bytes += n;
            size -= size_t(n);
        }
        return {};
    }

    // Flushes the file to the disk before the rename (small records, whose
    // loss after a crash would lose the user's settings).
    std::string sync()
    {
        if (fd_ >= 0 && ::fsync(fd_) != 0) return target_ + ": cannot write: " + std::strerror(errno);
        return {};
    }

    // Closes the temporary, which stays until commit() or abandon().
    std::string close()
    {
        if (fd_ < 0) return {};
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) return target_ + ": cannot write: " + std::strerror(errno);
        return {};
    }

    // Checks the target again (it may have become a folder meanwhile), then
    // renames the finished temporary over it. On failure the temporary is
    // removed and the target is as it was.
    std::string commit()
    {
        std::string fault = close();
        if (fault.empty()) fault = checkReady();
        if (fault.empty() && std::rename(temp_.c_str(), where_.c_str()) != 0)
            fault = target_ + ": cannot rename the finished file into place: " + std::strerror(errno);
        if (!fault.empty()) {
            abandon();
            return fault;
        }
        forget();
        return {};
    }

    // Empty when commit() would find the target as open() did.
    std::string checkReady() const
    {
        if (temp_.empty()) return target_ + ": not open";
        return checkTarget(target_);
    }

    // Removes the temporary; the target is untouched.
    void abandon()
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        if (!temp_.empty()) {
            ::unlink(temp_.c_str());
            forget();
        }
    }

private:
    void forget()
    {
        if (!temp_.empty() && hooks_.forget) hooks_.forget(temp_.c_str());
        temp_.clear();
    }

    Hooks hooks_;
    std::string target_, where_, temp_;
    int fd_ = -1;
};

// Writes a small record as the whole file `path`: every write, the flush
// to disk and the close checked, then renamed into place. Empty on
// success, else the fault naming the path; the old file is then as it was
// and no temporary remains.
inline std::string writeWhole(const std::string &path, const void *data, size_t size, const Hooks *hooks = nullptr)
{
    Writer out(hooks);
    std::string fault = out.open(path);
    if (fault.empty()) fault = out.write(data, size);
    if (fault.empty()) fault = out.sync();
    if (fault.empty()) fault = out.commit();
    return fault;   // out removes the temporary on any failure
}

} // namespace safefile
