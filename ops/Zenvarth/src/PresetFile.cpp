// Reading and writing preset files (see PresetFile.h). Plain POSIX calls:
// the reader must not block on a pipe or read a device, and the writer must
// know exactly what it is about to replace.
#include "PresetFile.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zenvarth {

ssize_t (*presetWriteCall)(int fd, const void *data, size_t size) = ::write;

namespace {

void say(char *reason, size_t reasonSize, const char *format, ...)
{
    if (!reason || reasonSize == 0) return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(reason, reasonSize, format, args);
    va_end(args);
}

const char *kindOf(mode_t mode)
{
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

bool writeAll(int fd, const uint8_t *data, size_t size, int &error)
{
    while (size > 0) {
        const ssize_t n = presetWriteCall(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

bool readPresetFile(const char *path, uint8_t *record, char *reason, size_t reasonSize)
{
    if (!path || !*path) {
        say(reason, reasonSize, "no file was named");
        return false;
    }
    // Not blocking: a pipe or a device is refused below, never waited on.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        say(reason, reasonSize, "cannot open %s: %s", path, std::strerror(errno));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        say(reason, reasonSize, "cannot read %s: %s", path, std::strerror(errno));
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        say(reason, reasonSize, "%s is not a settings file: it is %s", path, kindOf(st.st_mode));
        ::close(fd);
        return false;
    }
    // One byte more than a record, to tell a longer file from an exact one.
    uint8_t buffer[PRESET_FILE_SIZE + 1];
    size_t got = 0;
    while (got < sizeof buffer) {
        const ssize_t n = ::read(fd, buffer + got, sizeof buffer - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            say(reason, reasonSize, "cannot read %s: %s", path, std::strerror(errno));
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    ::close(fd);
    if (got != PRESET_FILE_SIZE) {
        say(reason, reasonSize,
            "%s is not a settings file: it holds %s%zu bytes, a settings file holds exactly %zu", path,
            got > PRESET_FILE_SIZE ? "more than " : "", got > PRESET_FILE_SIZE ? PRESET_FILE_SIZE : got,
            PRESET_FILE_SIZE);
        return false;
    }
    std::memcpy(record, buffer, PRESET_FILE_SIZE);
    return true;
}

bool writePresetFile(const char *path, const uint8_t *record, char *reason, size_t reasonSize)
{
    if (!path || !*path) {
        say(reason, reasonSize, "no file was named");
        return false;
    }
    // A link is followed, so that the file it names is replaced and the
    // link stays.
    char resolved[PATH_MAX];
    const char *target = path;
    struct stat st;
    bool exists = false;
    if (::lstat(path, &st) == 0) {
        exists = true;
        if (S_ISLNK(st.st_mode)) {
            if (!::realpath(path, resolved) || ::stat(resolved, &st) != 0) {
                say(reason, reasonSize, "cannot write %s: it is a link to nothing that can be written", path);
                return false;
            }
            target = resolved;
        }
    } else if (errno != ENOENT) {
        say(reason, reasonSize, "cannot write %s: %s", path, std::strerror(errno));
        return false;
    }
    if (exists) {
        if (!S_ISREG(st.st_mode)) {
            say(reason, reasonSize, "refusing to write %s: it is %s, not a settings file", path,
                kindOf(st.st_mode));
            return false;
        }
        // The permission bits decide even for a user whom access() lets
        // write anything.
        if ((st.st_mode & 0222) == 0 || ::access(target, W_OK) != 0) {
            say(reason, reasonSize, "refusing to write %s: the file is read-only", path);
            return false;
        }
    }

    // The temporary file is hidden in the same folder, so that the rename
    // stays on one file system.
    const char *slash = std::strrchr(target, '/');
    const size_t folderLength = slash ? size_t(slash - target) + 1 : 0;
    const char *base = target + folderLength;
    char temp[PATH_MAX];
    if (std::snprintf(temp, sizeof temp, "%.*s.%s.XXXXXX", int(folderLength), target, base) >= int(sizeof temp)) {
        say(reason, reasonSize, "cannot write %s: the path is too long", path);
        return false;
    }
    const int fd = ::mkstemp(temp);
    if (fd < 0) {
        say(reason, reasonSize, "cannot write %s: cannot create a file beside it: %s", path, std::strerror(errno));
        return false;
    }
    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    int error = 0;
    bool ok = true;
    if (::fchmod(fd, mode) != 0) {
        ok = false;
        error = errno;
    }
    if (ok) ok = writeAll(fd, record, PRESET_FILE_SIZE, error);
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && std::rename(temp, target) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp);
        say(reason, reasonSize, "cannot write %s: %s", path, std::strerror(error));
    }
    return ok;
}

} // namespace zenvarth
