// Writing an output file without ever destroying what is not ours: a
// stream over safefile::Writer (contract/safe_file.h), which says what is
// refused and how a file is replaced. "-" is standard output, written as a
// stream. Temporaries still on disk when SIGINT, SIGTERM or SIGHUP arrives
// are removed before the process dies of the signal.
#pragma once

#include <cstdio>
#include <string>

#include "contract/safe_file.h"

namespace media {

// Empty when `path` may be replaced by a finished output, else the fault,
// naming the path ("out.png: is a folder, not a regular file; refusing to write over it").
std::string checkOutputTarget(const std::string &path);

// The hooks that track temporaries for the signal cleanup (see
// installOutputSignalCleanup), for files written through safefile::Writer
// directly (settings records).
const safefile::Hooks &outputHooks();

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
    // Empty when commit() would find the target as open() did (a sequence
    // checks every frame's target before it renames the first).
    std::string checkReady() const { return stream_ ? std::string() : writer_.checkReady(); }
    // Removes the temporary; the target is untouched.
    void abandon();

private:
    FILE *file_ = nullptr;
    bool stream_ = false;
    std::string target_;
    safefile::Writer writer_{&outputHooks()};
};

// Removes the temporaries still on disk on SIGINT, SIGTERM and SIGHUP,
// then lets the signal end the process as it would have. Called by open();
// signals ignored when the program started stay ignored. Once the cleanup
// has begun no temporary is created, by any thread.
void installOutputSignalCleanup();

} // namespace media
