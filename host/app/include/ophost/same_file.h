// Refusing an output that is one of the run's own files: an input, a frame
// of an input sequence, the settings file or the pattern picture.
#pragma once

#include <string>
#include <vector>

namespace ophost {

// A file the run reads, with the option that named it ("--in1").
struct ReadFile {
    std::string option;
    std::string path;
};

// Empty when writing `output` replaces none of `reads`, else the fault
// naming both. Files are compared as the system knows them (device and
// inode), so another spelling of a name or a link to it is caught. A name
// with a %d (an image sequence, read or written) stands for every existing
// file it numbers. "-" is a stream and never the same file.
std::string sameFileFault(const std::string &outputOption, const std::string &output,
                          const std::vector<ReadFile> &reads);

// The name a sequence pattern ("shot%04d.png", one %d conversion, %%
// escapes) gives frame `number`.
std::string numberedName(const std::string &pattern, long number);

} // namespace ophost
