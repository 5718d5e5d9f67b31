// zvpreset's reader and its commands on arbitrary preset files.
#include <unistd.h>

#include <cstdio>
#include <string>

extern int zvpresetMain(int argc, char **argv);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The tool's listings are not looked at; its error messages go to
    // standard error, which the fuzz run closes (-close_fd_mask=2).
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    char path[] = "/tmp/zvpreset-fuzz-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return 0;
    // The first byte chooses an assignment; the rest is the file.
    static const char *const assignments[] = {"keyerType=3", "keyColor=1,2,3,4", "maskArea=1,2,3,4",
                                              "patternName=x", "fadeInFrames=70000", "nosuch=1"};
    std::string assignment = size ? assignments[data[0] % 6] : "keyerType=1";
    if (size) {
        ++data;
        --size;
    }
    if (write(fd, data, size) != ssize_t(size)) {
        close(fd);
        unlink(path);
        return 0;
    }
    close(fd);
    char prog[] = "zvpreset", show[] = "show", json[] = "--json", set[] = "set", force[] = "--force";
    char *showArgs[] = {prog, show, path, nullptr};
    char *jsonArgs[] = {prog, show, json, path, nullptr};
    char *setArgs[] = {prog, set, force, path, assignment.data(), nullptr};
    zvpresetMain(3, showArgs);
    zvpresetMain(4, jsonArgs);
    zvpresetMain(5, setArgs);
    unlink(path);
    return 0;
}
