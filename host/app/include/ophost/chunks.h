// Cutting one render into chunks that other processes or machines run, and
// joining their parts back into the output a single run writes.
//
// A chunk renders --frames A:B of the whole --section S:E, so fades and
// wipes follow the section and the parts concatenate to the single run.
// Each part records which frames of which section it holds: a YUV4MPEG2
// part in its header (XOPHOST_CHUNK=A:B/S:E), a container part in its
// metadata (ophost_chunk), a PNG sequence by its frame numbers.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ophost {

// Frames A:B of section S:E.
struct ChunkRange {
    int first = 0, end = 0;
    int sectionFirst = 0, sectionEnd = 0;
};

std::string formatChunkTag(const ChunkRange &range);   // "A:B/S:E"
bool parseChunkTag(const std::string &text, ChunkRange &range);

// [first, end) cut into at most `count` consecutive runs as even as can be
// (the earlier ones one frame longer); never an empty run.
std::vector<std::pair<int, int>> splitFrames(int first, int end, int count);

// "out.mov" -> "out.part3.mov", "f%04d.png" -> "f%04d.part3.png",
// "dir/out" -> "dir/out.part3".
std::string partName(const std::string &out, int number);

// One word for sh: as it is when it needs no quoting, else in single quotes.
std::string shellQuote(const std::string &word);

// `path` written relative to `root` (both may be relative to the current
// folder); empty with `fault` set when it does not lie under root.
std::string pathUnder(const std::string &path, const std::string &root, std::string &fault);

// What a chunk's command line keeps of the render's own arguments: all but
// those the plan sets itself (-o, --frames, --section, --sample-key, the
// progress and audio switches, and the planning options).
std::vector<std::string> chunkArguments(const std::vector<std::string> &renderArgs);

struct PlanRequest {
    std::string program;                     // the ophost to run
    std::vector<std::string> renderArgs;     // after "render": OP and its options
    std::string out;                         // the output the join writes
    std::string audioFrom;                   // input 0, when its audio goes to the output
    std::string keyColor;                    // a sampled keyColor word, passed on as --set
    int first = 0, end = 0;                  // the frames to render
    int sectionFirst = 0, sectionEnd = 0;
    int chunks = 1;
    std::string root;                        // --plan-root: paths relative to it
};

struct Plan {
    std::vector<std::vector<std::string>> chunkCommands;
    std::vector<std::string> parts;
    std::vector<std::string> joinCommand;
    std::string error;
};

Plan makePlan(const PlanRequest &request);
std::string commandLine(const std::vector<std::string> &words);

// Joins parts into `out` (the output's type by its name, as render's -o):
// checks that they agree and hold consecutive frames first, then copies
// (streams are copied, never encoded again). `audioFrom` names the file
// whose audio the output gets, cut to the frames joined. Returns the fault,
// naming the part, or empty.
std::string joinParts(const std::vector<std::string> &parts, const std::string &out, const std::string &audioFrom,
                      std::vector<std::string> &notes);

} // namespace ophost

namespace ophost {

// Runs the plan's chunk commands as child processes at once, shows one
// progress line for all of them (`totalFields` in all; each child reports
// through the file descriptor named by OPHOST_PROGRESS_FD), then joins the
// parts into `out`. The parts are removed in every case, also when a signal
// ends the run. Returns the fault (naming the chunk and its frames) or "".
std::string runChunks(const Plan &plan, const std::vector<std::pair<int, int>> &frames, const std::string &out,
                      const std::string &audioFrom, const std::string &label, bool showProgress,
                      uint32_t totalFields, std::vector<std::string> &notes);

// For a chunk's own process: reports fields done to the parent, when it
// runs under runChunks; does nothing otherwise.
void reportChunkProgress(uint32_t fieldsDone);

} // namespace ophost
