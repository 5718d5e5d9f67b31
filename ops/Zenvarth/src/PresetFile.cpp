// Reading and writing preset files (see PresetFile.h). The reader uses plain
// POSIX calls, so that it never blocks on a pipe or reads a device; the
// writer is the one every file goes through (contract/safe_file.h).
#include "PresetFile.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "contract/safe_file.h"

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
    safefile::Hooks hooks;
    hooks.write = presetWriteCall;
    const std::string fault = safefile::writeWhole(path, record, PRESET_FILE_SIZE, &hooks);
    if (fault.empty()) return true;
    say(reason, reasonSize, "%s", fault.c_str());
    return false;
}

} // namespace zenvarth
