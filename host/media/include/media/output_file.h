// Writing an output file without ever destroying what is not ours.
//
// A file is written under a hidden temporary name in the target's folder
// and renamed over the target only when complete, so a failed or
// interrupted write leaves the target as it was. The target must be absent
// or a regular file the user may write: a folder, a device, a pipe, a
// socket or a read-only file is refused before anything is written. "-"
// is standard output, written as a stream. Temporaries still open when
// SIGINT, SIGTERM or SIGHUP arrives are removed before the process dies of
// the signal.
#pragma once

#include <cstdio>
#include <string>

namespace media {

// Empty when `path` may be replaced by a finished output, else the fault,
// naming the path ("out.png: is a folder; refusing to write over it").
std::string checkOutputTarget(const std::string &path);

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    ~OutputFile() { abandon(); }

    // Checks the target and creates the temporary ("-": standard output).
    bool open(const std::string &target, std::string &error);
    FILE *file() const { return file_; }
    bool isStream() const { return stream_; }
    const std::string &target() const { return target_; }
    // Ends writing: flushes and closes the temporary, which stays until
    // commit() or abandon(). Reports write faults (a full disk) by name.
    bool close(std::string &error);
    // close(), then renames the temporary over the target.
    bool commit(std::string &error);
    // Removes the temporary; the target is untouched.
    void abandon();

private:
    FILE *file_ = nullptr;
    bool stream_ = false;
    std::string target_, resolved_, temp_;
};

// Removes the registered temporaries on SIGINT, SIGTERM and SIGHUP, then
// lets the signal end the process as it would have. Called by open();
// signals ignored when the program started stay ignored.
void installOutputSignalCleanup();

// A fresh hidden name beside `target` (for callers that manage the file
// themselves; they should register it).
std::string temporaryNameFor(const std::string &target);
void registerTemporary(const std::string &path);
void unregisterTemporary(const std::string &path);

} // namespace media
