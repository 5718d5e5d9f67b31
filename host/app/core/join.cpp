// ophost join: parts of one render back into its output. Every check runs
// before the output is opened, and the output is written under a temporary
// name, so a refused or failed join leaves an earlier output as it was.
#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media/av_io.h"
#include "media/output_file.h"
#include "media/y4m.h"
#include "ophost/chunks.h"
#include "ophost/same_file.h"

namespace ophost {

namespace {

const char *const Y4M_TAG = "XOPHOST_CHUNK=";

std::string lowerExtension(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    for (char &c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// Checks that the parts' ranges follow each other within one section
// and cover the frames from the first part's start to the last's end.
std::string checkRanges(const std::vector<std::string> &parts, const std::vector<ChunkRange> &ranges)
{
    for (size_t k = 1; k < ranges.size(); ++k) {
        const ChunkRange &a = ranges[k - 1], &b = ranges[k];
        const std::string which = parts[k] + " (frames " + std::to_string(b.first) + ":" + std::to_string(b.end) + ")";
        if (b.sectionFirst != a.sectionFirst || b.sectionEnd != a.sectionEnd)
            return which + " belongs to section " + std::to_string(b.sectionFirst) + ":" +
                   std::to_string(b.sectionEnd) + ", not " + std::to_string(a.sectionFirst) + ":" +
                   std::to_string(a.sectionEnd) + " as " + parts[0];
        if (b.first < a.end)
            return which + " overlaps " + parts[k - 1] + " (frames " + std::to_string(a.first) + ":" +
                   std::to_string(a.end) + "); give the parts in order, each once";
        if (b.first > a.end)
            return "frames " + std::to_string(a.end) + ":" + std::to_string(b.first) + " are in no part: " +
                   parts[k - 1] + " ends at " + std::to_string(a.end) + " and " + which + " starts after it";
    }
    return {};
}

ChunkRange joinedRange(const std::vector<ChunkRange> &ranges)
{
    ChunkRange whole = ranges.front();
    whole.end = ranges.back().end;
    return whole;
}

struct Y4mPart {
    media::Y4mHeader header;
    ChunkRange range;
    long dataStart = 0;
};

std::string readY4mPart(const std::string &path, Y4mPart &part)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return path + ": cannot open: " + std::strerror(errno);
    std::string line;
    int c;
    while ((c = std::fgetc(f)) != EOF && c != '\n' && line.size() < 4096) line += char(c);
    part.dataStart = std::ftell(f);
    std::fclose(f);
    if (c != '\n') return path + ": not a YUV4MPEG2 file (no header line)";
    std::string fault = media::parseY4mHeader(line, part.header);
    if (!fault.empty()) return path + ": " + fault;
    auto &extras = part.header.extras;
    auto tag = std::find_if(extras.begin(), extras.end(),
                            [](const std::string &x) { return x.compare(0, std::strlen(Y4M_TAG), Y4M_TAG) == 0; });
    if (tag == extras.end() || !parseChunkTag(tag->substr(std::strlen(Y4M_TAG)), part.range))
        return path + ": not a part of a chunked render (its header records no frames; render it with --frames "
                      "and --section)";
    extras.erase(tag);
    media::Y4mReader reader;
    if (!reader.open(path, fault)) return fault;
    const int frames = reader.frameCount(fault);
    if (frames < 0) return fault;
    if (frames != part.range.end - part.range.first)
        return path + ": holds " + std::to_string(frames) + " frames, but records frames " +
               std::to_string(part.range.first) + ":" + std::to_string(part.range.end) + " (an unfinished part?)";
    return {};
}

// The first way `b` differs from `a`, as "size 64x48, not 32x24", or empty.
std::string y4mDifference(const media::Y4mHeader &a, const media::Y4mHeader &b)
{
    if (a.width != b.width || a.height != b.height)
        return "size " + std::to_string(b.width) + "x" + std::to_string(b.height) + ", not " +
               std::to_string(a.width) + "x" + std::to_string(a.height);
    if (a.interlace != b.interlace) return "another field order";
    if (a.rateNum != b.rateNum || a.rateDen != b.rateDen)
        return "rate " + std::to_string(b.rateNum) + ":" + std::to_string(b.rateDen) + ", not " +
               std::to_string(a.rateNum) + ":" + std::to_string(a.rateDen);
    if (a.chroma != b.chroma || media::formatY4mHeader(a) != media::formatY4mHeader(b))
        return "another chroma format or header (" + media::formatY4mHeader(b).substr(10) + ")";
    return {};
}

std::string joinY4m(const std::vector<std::string> &parts, const std::string &out)
{
    std::vector<Y4mPart> read(parts.size());
    std::vector<ChunkRange> ranges;
    for (size_t k = 0; k < parts.size(); ++k) {
        std::string fault = readY4mPart(parts[k], read[k]);
        if (!fault.empty()) return fault;
        if (k > 0) {
            std::string diff = y4mDifference(read[0].header, read[k].header);
            if (!diff.empty()) {
                if (diff.back() == '\n') diff.pop_back();
                return parts[k] + ": " + diff + " as " + parts[0];
            }
        }
        ranges.push_back(read[k].range);
    }
    std::string fault = checkRanges(parts, ranges);
    if (!fault.empty()) return fault;
    // Parts that make up less than their section are a chunk themselves.
    const ChunkRange whole = joinedRange(ranges);
    if (whole.first != whole.sectionFirst || whole.end != whole.sectionEnd)
        read[0].header.extras.push_back(Y4M_TAG + formatChunkTag(whole));

    media::OutputFile file;
    if (!file.open(out, fault)) return fault;
    const std::string header = media::formatY4mHeader(read[0].header);
    bool ok = std::fwrite(header.data(), 1, header.size(), file.file()) == header.size();
    std::vector<char> buffer(1 << 20);
    for (size_t k = 0; ok && k < parts.size(); ++k) {
        FILE *in = std::fopen(parts[k].c_str(), "rb");
        if (!in || std::fseek(in, read[k].dataStart, SEEK_SET) != 0) {
            fault = parts[k] + ": cannot read: " + std::strerror(errno);
            if (in) std::fclose(in);
            file.abandon();
            return fault;
        }
        size_t n;
        while (ok && (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
            ok = std::fwrite(buffer.data(), 1, n, file.file()) == n;
        if (std::ferror(in)) {
            std::fclose(in);
            file.abandon();
            return parts[k] + ": read error";
        }
        std::fclose(in);
    }
    if (!ok) {
        fault = out + ": cannot write: " + std::strerror(errno);
        file.abandon();
        return fault;
    }
    return file.commit(fault) ? std::string() : fault;
}

// A PNG sequence part: the frames of "f%04d.part1.png" found in its folder.
struct PngPart {
    std::string prefix, suffix;   // around the number
    int width = 0;                // %0Nd's N, 0 for %d
    std::vector<int> numbers;
};

bool splitPattern(const std::string &pattern, PngPart &p)
{
    const size_t pc = pattern.find('%');
    if (pc == std::string::npos) return false;
    size_t j = pc + 1;
    if (j < pattern.size() && pattern[j] == '0') ++j;
    while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j]))) p.width = p.width * 10 + (pattern[j++] - '0');
    if (j >= pattern.size() || pattern[j] != 'd' || pattern.find('%', j) != std::string::npos) return false;
    p.prefix = pattern.substr(0, pc);
    p.suffix = pattern.substr(j + 1);
    return true;
}

std::string numbered(const PngPart &p, int n)
{
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*d", p.width, n);
    return p.prefix + digits + p.suffix;
}

std::string findPngFrames(const std::string &pattern, PngPart &p)
{
    if (!splitPattern(pattern, p)) return pattern + ": a PNG part must be a numbered sequence (name%04d.partK.png)";
    const size_t slash = p.prefix.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : p.prefix.substr(0, slash + 1);
    const std::string start = slash == std::string::npos ? p.prefix : p.prefix.substr(slash + 1);
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) return pattern + ": cannot read its folder: " + std::strerror(errno);
    while (struct dirent *e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() <= start.size() + p.suffix.size() || name.compare(0, start.size(), start) != 0 ||
            name.compare(name.size() - p.suffix.size(), p.suffix.size(), p.suffix) != 0)
            continue;
        const std::string digits = name.substr(start.size(), name.size() - start.size() - p.suffix.size());
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const int n = std::atoi(digits.c_str());
        if (numbered(p, n).substr(slash == std::string::npos ? 0 : slash + 1) == name) p.numbers.push_back(n);
    }
    ::closedir(dir);
    std::sort(p.numbers.begin(), p.numbers.end());
    if (p.numbers.empty()) return pattern + ": no frames found";
    for (size_t i = 1; i < p.numbers.size(); ++i)
        if (p.numbers[i] != p.numbers[i - 1] + 1)
            return pattern + ": frame " + std::to_string(p.numbers[i - 1] + 1) + " is missing";
    return {};
}

std::string joinPng(const std::vector<std::string> &parts, const std::string &out)
{
    PngPart target;
    if (!splitPattern(out, target)) return out + ": joining PNG parts needs a numbered output (name%04d.png)";
    std::vector<PngPart> found(parts.size());
    std::vector<ChunkRange> ranges;
    for (size_t k = 0; k < parts.size(); ++k) {
        std::string fault = findPngFrames(parts[k], found[k]);
        if (!fault.empty()) return fault;
        ChunkRange r;
        r.sectionEnd = INT32_MAX;
        r.first = found[k].numbers.front();
        r.end = found[k].numbers.back() + 1;
        ranges.push_back(r);
    }
    std::string fault = checkRanges(parts, ranges);
    if (!fault.empty()) return fault;
    // Every target checked before the first file moves.
    for (size_t k = 0; k < parts.size(); ++k)
        for (int n : found[k].numbers) {
            fault = media::checkOutputTarget(numbered(target, n));
            if (!fault.empty()) return fault;
        }
    for (size_t k = 0; k < parts.size(); ++k)
        for (int n : found[k].numbers)
            if (std::rename(numbered(found[k], n).c_str(), numbered(target, n).c_str()) != 0)
                return numbered(target, n) + ": cannot move " + numbered(found[k], n) + " into place: " +
                       std::strerror(errno);
    return {};
}

std::string joinContainer(const std::vector<std::string> &parts, const std::string &out, const std::string &audioFrom,
                          std::vector<std::string> &notes)
{
    std::vector<media::AvPartInfo> info(parts.size());
    std::vector<ChunkRange> ranges;
    for (size_t k = 0; k < parts.size(); ++k) {
        std::string fault;
        if (!media::inspectPart(parts[k], info[k], fault)) return fault;
        ChunkRange r;
        if (!parseChunkTag(info[k].chunkTag, r))
            return parts[k] + ": not a part of a chunked render (its metadata records no frames; render it with "
                              "--frames and --section)";
        if (info[k].frames != r.end - r.first)
            return parts[k] + ": holds " + std::to_string(info[k].frames) + " frames, but records frames " +
                   std::to_string(r.first) + ":" + std::to_string(r.end) + " (an unfinished part?)";
        ranges.push_back(r);
        if (k > 0) {
            std::string diff = media::partDifference(info[0], info[k]);
            if (!diff.empty()) return parts[k] + ": " + diff + " as " + parts[0];
        }
    }
    std::string fault = checkRanges(parts, ranges);
    if (!fault.empty()) return fault;
    media::AvOutputOptions options;
    options.traits = info[0].traits;
    options.audioFrom = audioFrom;
    options.audioStartFrame = ranges.front().first;
    const ChunkRange whole = joinedRange(ranges);
    if (whole.first != whole.sectionFirst || whole.end != whole.sectionEnd) options.chunkTag = formatChunkTag(whole);
    return media::copyParts(parts, out, options, notes, fault) ? std::string() : fault;
}

} // namespace

std::string joinParts(const std::vector<std::string> &parts, const std::string &out, const std::string &audioFrom,
                      std::vector<std::string> &notes)
{
    if (parts.empty()) return "no parts to join";
    std::vector<ReadFile> reads;
    for (const std::string &p : parts) reads.push_back({"a part", p});
    if (!audioFrom.empty()) reads.push_back({"--audio-from", audioFrom});
    if (std::string fault = sameFileFault("-o", out, reads); !fault.empty()) return fault;
    const std::string ext = lowerExtension(out);
    if (out == "-" || ext == "y4m") {
        if (!audioFrom.empty()) notes.push_back(out + ": YUV4MPEG2 holds no audio; the audio of " + audioFrom + " is left out");
        return joinY4m(parts, out);
    }
    if (ext == "png") {
        if (!audioFrom.empty()) notes.push_back(out + ": PNG holds no audio; the audio of " + audioFrom + " is left out");
        return joinPng(parts, out);
    }
    if (!media::AvWriter::handles(out)) return out + ": unknown output type (.y4m, .png, .mov, .mkv, .mp4, ...)";
    return joinContainer(parts, out, audioFrom, notes);
}

} // namespace ophost
