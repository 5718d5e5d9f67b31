// YUV4MPEG2: a text header line, then per frame a "FRAME" line and the
// planes Y, U (Cb), V (Cr) and, for C444alpha, A.
#include "media/y4m.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "contract/helpers.h"
#include "media/limits.h"

namespace media {

namespace {

constexpr size_t MAX_HEADER_LINE = 4096;

int chromaWidth(const Y4mHeader &h) { return h.chroma == Chroma::C422 || h.chroma == Chroma::C420 ? (h.width + 1) / 2 : h.width; }
int chromaHeight(const Y4mHeader &h) { return h.chroma == Chroma::C420 ? (h.height + 1) / 2 : h.height; }

bool parseRatio(const std::string &text, int &num, int &den)
{
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
    long long n = 0, d = 0;
    for (size_t i = 0; i < colon; ++i) {
        if (text[i] < '0' || text[i] > '9' || n > 1000000000) return false;
        n = n * 10 + (text[i] - '0');
    }
    for (size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || d > 1000000000) return false;
        d = d * 10 + (text[i] - '0');
    }
    if (n > 0x7FFFFFFF || d > 0x7FFFFFFF) return false;
    num = int(n);
    den = int(d);
    return true;
}

bool parseDimension(const std::string &text, int &value)
{
    if (text.empty() || text.size() > 6) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

// The 4:2:0 chroma row that frame line y takes its chroma from. Progressive:
// lines 2j and 2j+1 share row j. Field chroma: row c belongs to field c mod 2,
// and field line l of field f reads the field's row l/2, that is frame row
// 2(l/2) + f. A field with fewer rows than it needs (a field of an odd
// number of lines) reuses its last row.
int chromaRowOf(int y, int chromaRows, bool fieldChroma)
{
    if (!fieldChroma) return y >> 1;
    const int field = y & 1;
    int row = ((y >> 2) << 1) | field;
    while (row >= chromaRows && row >= 2) row -= 2;
    return row < chromaRows ? row : chromaRows - 1;
}

bool isSitingTag(const std::string &tag)
{
    return tag == "420" || tag == "420jpeg" || tag == "420mpeg2" || tag == "420paldv";
}

} // namespace

bool y4mFieldChroma(const Y4mHeader &h) { return h.chroma == Chroma::C420 && h.interlace != Interlace::Progressive; }

std::string chroma420Tag(const Y4mHeader &h) { return isSitingTag(h.colourTag) ? h.colourTag : std::string("420jpeg"); }

size_t y4mFrameBytes(const Y4mHeader &h)
{
    size_t luma = size_t(h.width) * size_t(h.height);
    size_t chroma = size_t(chromaWidth(h)) * size_t(chromaHeight(h));
    return luma + 2 * chroma + (h.chroma == Chroma::C444alpha ? luma : 0);
}

std::string parseY4mHeader(const std::string &lineIn, Y4mHeader &header)
{
    std::string line = lineIn;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (line.compare(0, 9, "YUV4MPEG2") != 0) return "not a YUV4MPEG2 stream (no YUV4MPEG2 signature)";
    if (line.size() > 9 && line[9] != ' ') return "not a YUV4MPEG2 stream (bad signature)";
    Y4mHeader h;
    h.colourTag = "420jpeg";
    bool haveW = false, haveH = false;
    std::istringstream in(line.substr(9));
    std::string token;
    while (in >> token) {
        char key = token[0];
        std::string value = token.substr(1);
        switch (key) {
        case 'W':
            if (!parseDimension(value, h.width)) return "bad width '" + value + "'";
            haveW = true;
            break;
        case 'H':
            if (!parseDimension(value, h.height)) return "bad height '" + value + "'";
            haveH = true;
            break;
        case 'F':
            if (!parseRatio(value, h.rateNum, h.rateDen) || h.rateNum == 0 || h.rateDen == 0)
                return "bad frame rate '" + value + "'";
            break;
        case 'A':
            if (!parseRatio(value, h.aspectNum, h.aspectDen)) return "bad pixel aspect '" + value + "'";
            break;
        case 'I':
            if (value == "p" || value == "?") h.interlace = Interlace::Progressive;
            else if (value == "t") h.interlace = Interlace::TopFirst;
            else if (value == "b") h.interlace = Interlace::BottomFirst;
            else if (value == "m") h.interlace = Interlace::Mixed;
            else return "bad interlace flag '" + value + "'";
            break;
        case 'C':
            h.colourTag = value;
            if (value == "444alpha") h.chroma = Chroma::C444alpha;
            else if (value == "444") h.chroma = Chroma::C444;
            else if (value == "422") h.chroma = Chroma::C422;
            else if (value == "420" || value == "420jpeg" || value == "420mpeg2" || value == "420paldv")
                h.chroma = Chroma::C420;
            else return "unsupported chroma format C" + value + " (supported: 444alpha, 444, 422, 420)";
            break;
        case 'X':
            h.extras.push_back(token);
            break;
        default:
            return "unknown header parameter '" + token + "'";
        }
    }
    if (!haveW || !haveH) return "the header gives no width or height";
    if (std::string fault = checkPictureSize(h.width, h.height); !fault.empty()) return fault;
    header = h;
    return {};
}

std::string formatY4mHeader(const Y4mHeader &h)
{
    std::string s = "YUV4MPEG2 W" + std::to_string(h.width) + " H" + std::to_string(h.height) + " F" +
                    std::to_string(h.rateNum) + ":" + std::to_string(h.rateDen) + " I";
    switch (h.interlace) {
    case Interlace::Progressive: s += "p"; break;
    case Interlace::TopFirst: s += "t"; break;
    case Interlace::BottomFirst: s += "b"; break;
    case Interlace::Mixed: s += "m"; break;
    }
    if (h.aspectNum > 0 && h.aspectDen > 0)
        s += " A" + std::to_string(h.aspectNum) + ":" + std::to_string(h.aspectDen);
    s += " C";
    s += h.chroma == Chroma::C420 ? chroma420Tag(h) : std::string(chromaName(h.chroma));
    for (const std::string &x : h.extras) s += " " + x;
    s += "\n";
    return s;
}

namespace {

// A pixel seen as its 32-bit word (key in the low byte, Y in the high one),
// so that the row loops below are plain integer arithmetic the compiler
// turns into vector code.
typedef uint32_t PixelWord __attribute__((may_alias));

OPS_VECTOR_KERNEL void packRow444(Pixel *dst, const uint8_t *ys, const uint8_t *us, const uint8_t *vs,
                                  const uint8_t *as, int w)
{
    PixelWord *out = reinterpret_cast<PixelWord *>(dst);
    if (as) {
        for (int x = 0; x < w; ++x)
            out[x] = uint32_t(as[x]) | uint32_t(vs[x]) << 8 | uint32_t(us[x]) << 16 | uint32_t(ys[x]) << 24;
    } else {
        for (int x = 0; x < w; ++x) out[x] = 255u | uint32_t(vs[x]) << 8 | uint32_t(us[x]) << 16 | uint32_t(ys[x]) << 24;
    }
}

// Each chroma sample over the two pixels it covers (one at an odd right edge).
OPS_VECTOR_KERNEL void packRowHalf(Pixel *dst, const uint8_t *ys, const uint8_t *us, const uint8_t *vs, int w)
{
    PixelWord *out = reinterpret_cast<PixelWord *>(dst);
    const int pairs = w / 2;
    for (int i = 0; i < pairs; ++i) {
        const uint32_t c = 255u | uint32_t(vs[i]) << 8 | uint32_t(us[i]) << 16;
        out[2 * i] = c | uint32_t(ys[2 * i]) << 24;
        out[2 * i + 1] = c | uint32_t(ys[2 * i + 1]) << 24;
    }
    if (w & 1) out[w - 1] = 255u | uint32_t(vs[pairs]) << 8 | uint32_t(us[pairs]) << 16 | uint32_t(ys[w - 1]) << 24;
}

OPS_VECTOR_KERNEL void unpackLuma(const Pixel *src, uint8_t *ys, int w)
{
    const PixelWord *in = reinterpret_cast<const PixelWord *>(src);
    for (int x = 0; x < w; ++x) ys[x] = uint8_t(in[x] >> 24);
}

OPS_VECTOR_KERNEL void unpackChroma444(const Pixel *src, uint8_t *us, uint8_t *vs, uint8_t *as, int w)
{
    const PixelWord *in = reinterpret_cast<const PixelWord *>(src);
    for (int x = 0; x < w; ++x) {
        us[x] = uint8_t(in[x] >> 16);
        vs[x] = uint8_t(in[x] >> 8);
    }
    if (as)
        for (int x = 0; x < w; ++x) as[x] = uint8_t(in[x]);
}

// The rounded average of U and V over two columns of `LINES` lines, for
// each chroma sample whose two columns are both inside the row.
template <int LINES>
inline __attribute__((always_inline)) void averagePairs(const Pixel *const *lines, uint8_t *us, uint8_t *vs, int pairs)
{
    constexpr uint32_t n = 2 * LINES;
    const PixelWord *l0 = reinterpret_cast<const PixelWord *>(lines[0]);
    const PixelWord *l1 = reinterpret_cast<const PixelWord *>(lines[LINES > 1 ? 1 : 0]);
    const PixelWord *l2 = reinterpret_cast<const PixelWord *>(lines[LINES > 2 ? 2 : 0]);
    for (int i = 0; i < pairs; ++i) {
        uint32_t su = (l0[2 * i] >> 16 & 255) + (l0[2 * i + 1] >> 16 & 255);
        uint32_t sv = (l0[2 * i] >> 8 & 255) + (l0[2 * i + 1] >> 8 & 255);
        if (LINES > 1) {
            su += (l1[2 * i] >> 16 & 255) + (l1[2 * i + 1] >> 16 & 255);
            sv += (l1[2 * i] >> 8 & 255) + (l1[2 * i + 1] >> 8 & 255);
        }
        if (LINES > 2) {
            su += (l2[2 * i] >> 16 & 255) + (l2[2 * i + 1] >> 16 & 255);
            sv += (l2[2 * i] >> 8 & 255) + (l2[2 * i + 1] >> 8 & 255);
        }
        us[i] = uint8_t((su + n / 2) / n);
        vs[i] = uint8_t((sv + n / 2) / n);
    }
}

OPS_VECTOR_KERNEL void averagePairs1(const Pixel *const *l, uint8_t *us, uint8_t *vs, int pairs) { averagePairs<1>(l, us, vs, pairs); }
OPS_VECTOR_KERNEL void averagePairs2(const Pixel *const *l, uint8_t *us, uint8_t *vs, int pairs) { averagePairs<2>(l, us, vs, pairs); }
OPS_VECTOR_KERNEL void averagePairs3(const Pixel *const *l, uint8_t *us, uint8_t *vs, int pairs) { averagePairs<3>(l, us, vs, pairs); }

// The chroma samples from `first` on of one chroma row, column by column.
void averageColumns(const Pixel *const *lines, int lineCount, int sx, int w, int first, int cw, uint8_t *us,
                    uint8_t *vs)
{
    for (int cx = first; cx < cw; ++cx) {
        unsigned su = 0, sv = 0, n = 0;
        for (int k = 0; k < lineCount; ++k)
            for (int dx = 0; dx < sx && cx * sx + dx < w; ++dx) {
                const Pixel &p = lines[k][cx * sx + dx];
                su += p.u;
                sv += p.v;
                ++n;
            }
        if (n == 0) n = 1;
        us[cx] = uint8_t((su + n / 2) / n);
        vs[cx] = uint8_t((sv + n / 2) / n);
    }
}

} // namespace

void decodeY4mFrame(const Y4mHeader &h, const uint8_t *planes, VideoFrame &frame)
{
    decodeY4mFrame(h, planes, frame, y4mFieldChroma(h));
}

void encodeY4mFrame(const Y4mHeader &h, const VideoFrame &frame, uint8_t *planes)
{
    encodeY4mFrame(h, frame, planes, y4mFieldChroma(h));
}

void decodeY4mFrame(const Y4mHeader &h, const uint8_t *planes, VideoFrame &frame, bool fieldChroma)
{
    frame.width = h.width;
    frame.height = h.height;
    frame.pixels.resize(size_t(h.width) * size_t(h.height));
    decodeY4mRows(h, planes, frameRows(frame), fieldChroma);
}

void encodeY4mFrame(const Y4mHeader &h, const VideoFrame &frame, uint8_t *planes, bool fieldChroma)
{
    encodeY4mRows(h, frameRows(frame), planes, fieldChroma);
}

void decodeY4mRows(const Y4mHeader &h, const uint8_t *planes, const FrameRows &rows, bool fieldChroma)
{
    const int w = h.width, ht = h.height;
    const int cw = chromaWidth(h), ch = chromaHeight(h);
    const uint8_t *yPlane = planes;
    const uint8_t *uPlane = yPlane + size_t(w) * ht;
    const uint8_t *vPlane = uPlane + size_t(cw) * ch;
    const uint8_t *aPlane = vPlane + size_t(cw) * ch;
    const bool full = cw == w;
    const bool halfHeight = ch != ht;
    const bool alpha = h.chroma == Chroma::C444alpha;
    for (int y = 0; y < ht; ++y) {
        const uint8_t *ys = yPlane + size_t(y) * w;
        const int cy = halfHeight ? chromaRowOf(y, ch, fieldChroma) : y;
        const uint8_t *us = uPlane + size_t(cy) * cw;
        const uint8_t *vs = vPlane + size_t(cy) * cw;
        if (full) packRow444(rows.row(y), ys, us, vs, alpha ? aPlane + size_t(y) * w : nullptr, w);
        else packRowHalf(rows.row(y), ys, us, vs, w);
    }
}

void encodeY4mRows(const Y4mHeader &h, const ConstFrameRows &rows, uint8_t *planes, bool fieldChroma)
{
    const int w = h.width, ht = h.height;
    const int cw = chromaWidth(h), ch = chromaHeight(h);
    uint8_t *yPlane = planes;
    uint8_t *uPlane = yPlane + size_t(w) * ht;
    uint8_t *vPlane = uPlane + size_t(cw) * ch;
    uint8_t *aPlane = vPlane + size_t(cw) * ch;
    for (int y = 0; y < ht; ++y) unpackLuma(rows.row(y), yPlane + size_t(y) * w, w);
    if (h.chroma == Chroma::C444 || h.chroma == Chroma::C444alpha) {
        const bool alpha = h.chroma == Chroma::C444alpha;
        for (int y = 0; y < ht; ++y)
            unpackChroma444(rows.row(y), uPlane + size_t(y) * w, vPlane + size_t(y) * w,
                            alpha ? aPlane + size_t(y) * w : nullptr, w);
        return;
    }
    // Each chroma sample: the rounded average of the pixels it covers, that
    // is of the lines that read their chroma from its row (see chromaRowOf).
    const int sx = cw == w ? 1 : 2;
    const bool halfHeight = ch != ht;
    // Up to three lines per row (the last row of a short field).
    std::vector<int> lineCount(size_t(ch), 0);
    std::vector<const Pixel *> lines(size_t(ch) * 3, nullptr);
    for (int y = 0; y < ht; ++y) {
        const size_t cy = size_t(halfHeight ? chromaRowOf(y, ch, fieldChroma) : y);
        if (lineCount[cy] < 3) lines[cy * 3 + size_t(lineCount[cy]++)] = rows.row(y);
    }
    for (int cy = 0; cy < ch; ++cy) {
        const Pixel *const *rowLines = &lines[size_t(cy) * 3];
        uint8_t *us = uPlane + size_t(cy) * cw, *vs = vPlane + size_t(cy) * cw;
        const int n = lineCount[size_t(cy)];
        // Whole pairs of columns in vector loops, a last odd column apart.
        int pairs = sx == 2 ? w / 2 : 0;
        if (n == 1) averagePairs1(rowLines, us, vs, pairs);
        else if (n == 2) averagePairs2(rowLines, us, vs, pairs);
        else if (n == 3) averagePairs3(rowLines, us, vs, pairs);
        else pairs = 0;
        averageColumns(rowLines, n, sx, w, pairs, cw, us, vs);
    }
}

// ---------------------------------------------------------------- reader

Y4mReader::~Y4mReader()
{
    if (owned_ && file_) std::fclose(file_);
}

bool Y4mReader::open(const std::string &path, std::string &error)
{
    if (path == "-") return open(stdin, "standard input", error);
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        error = path + ": is a folder, not a YUV4MPEG2 file";
        std::fclose(f);
        return false;
    }
    if (!open(f, path, error)) {
        std::fclose(f);
        file_ = nullptr;
        return false;
    }
    owned_ = true;
    return true;
}

// Reads one line of at most `limit` bytes (newline included). False at the
// end of the file before any byte; `tooLong` when no newline came in time.
static bool readLine(FILE *f, std::string &line, size_t limit, bool &tooLong)
{
    line.clear();
    tooLong = false;
    int c;
    while ((c = std::fgetc(f)) != EOF) {
        line.push_back(char(c));
        if (c == '\n') return true;
        if (line.size() >= limit) {
            tooLong = true;
            return true;
        }
    }
    return !line.empty();
}

bool Y4mReader::open(FILE *file, const std::string &name, std::string &error)
{
    if (owned_ && file_ && file_ != file) std::fclose(file_);
    file_ = file;
    owned_ = false;
    name_ = name;
    std::string line;
    bool tooLong = false;
    if (!readLine(file_, line, MAX_HEADER_LINE, tooLong)) {
        error = name_ + ": empty file, not a YUV4MPEG2 stream";
        return false;
    }
    if (tooLong || line.back() != '\n') {
        error = name_ + ": " + (line.compare(0, 9, "YUV4MPEG2") != 0 ? "not a YUV4MPEG2 stream"
                                                                      : "the stream header has no end");
        return false;
    }
    std::string fault = parseY4mHeader(line, header_);
    if (!fault.empty()) {
        error = name_ + ": " + fault;
        return false;
    }
    frameBytes_ = y4mFrameBytes(header_);
    long position = std::ftell(file_);
    seekable_ = position >= 0 && std::fseek(file_, position, SEEK_SET) == 0;
    fileSize_ = -1;
    if (seekable_ && std::fseek(file_, 0, SEEK_END) == 0) {
        fileSize_ = std::ftell(file_);
        std::fseek(file_, position, SEEK_SET);
    }
    offsets_.clear();
    if (seekable_) offsets_.push_back(position);
    nextIndex_ = 0;
    positionedAt_ = 0;
    ended_ = false;
    count_ = -1;
    return true;
}

std::string Y4mReader::where(int index) const { return name_ + ": frame " + std::to_string(index) + ": "; }

// Reads the FRAME line of frame nextIndex_. atEnd when the stream ends
// cleanly before it.
bool Y4mReader::readFrameHeader(bool &atEnd, std::string &error)
{
    atEnd = false;
    std::string line;
    bool tooLong = false;
    if (!readLine(file_, line, 1024, tooLong)) {
        if (std::ferror(file_)) {
            error = where(nextIndex_) + "read error: " + std::strerror(errno);
            return false;
        }
        atEnd = true;
        ended_ = true;
        return true;
    }
    if (line.compare(0, 5, "FRAME") != 0 || (line.size() > 5 && line[5] != ' ' && line[5] != '\n')) {
        error = where(nextIndex_) + "no FRAME marker (malformed stream)";
        return false;
    }
    if (tooLong || line.back() != '\n') {
        error = where(nextIndex_) + (tooLong ? "frame header too long" : "truncated frame header");
        return false;
    }
    // A mixed stream says per frame how its chroma is sampled: "Ixyz" with
    // y the frame's sampling and z its chroma's (p progressive, i by field).
    frameFieldChroma_ = y4mFieldChroma(header_);
    if (header_.interlace == Interlace::Mixed && header_.chroma == Chroma::C420) {
        std::istringstream words(line.substr(5));
        std::string word;
        while (words >> word) {
            if (word.size() < 3 || word[0] != 'I') continue;
            const char sampling = word[2], chromaSampling = word.size() > 3 ? word[3] : '?';
            frameFieldChroma_ = chromaSampling == 'i' || (chromaSampling != 'p' && sampling != 'p');
        }
    }
    return true;
}

bool Y4mReader::skipFrame(std::string &error)
{
    if (seekable_) {
        if (std::fseek(file_, long(frameBytes_), SEEK_CUR) != 0) {
            error = where(nextIndex_) + "cannot seek: " + std::strerror(errno);
            return false;
        }
        return true;
    }
    char chunk[65536];
    size_t left = frameBytes_;
    while (left > 0) {
        size_t n = std::fread(chunk, 1, left < sizeof chunk ? left : sizeof chunk, file_);
        if (n == 0) {
            error = where(nextIndex_) + "truncated frame data";
            return false;
        }
        left -= n;
    }
    return true;
}

bool Y4mReader::next(VideoFrame &frame, std::string &error)
{
    if (!nextPlanes(error)) return false;
    decodeY4mFrame(header_, buffer_.data(), frame, frameFieldChroma_);
    return true;
}

bool Y4mReader::read(int index, VideoFrame &frame, std::string &error)
{
    if (!readPlanes(index, error)) return false;
    decodeY4mFrame(header_, buffer_.data(), frame, frameFieldChroma_);
    return true;
}

bool Y4mReader::readFields(int index, std::vector<Pixel> &top, std::vector<Pixel> &bottom, std::string &error)
{
    if (header_.height % 2 != 0) {
        error = name_ + ": frame height " + std::to_string(header_.height) + " is odd (fields need an even one)";
        return false;
    }
    // The data first: a stream that ends early costs no room for its fields.
    if (!readPlanes(index, error)) return false;
    const size_t n = size_t(header_.width) * size_t(header_.height / 2);
    if (top.size() != n) top.resize(n);
    if (bottom.size() != n) bottom.resize(n);
    decodeY4mRows(header_, buffer_.data(), fieldRows(top.data(), bottom.data(), header_.width), frameFieldChroma_);
    return true;
}

// Reads the next frame's planes into buffer_.
bool Y4mReader::nextPlanes(std::string &error)
{
    error.clear();
    if (ended_) return false;
    if (seekable_ && positionedAt_ != nextIndex_ && size_t(nextIndex_) < offsets_.size()) {
        if (std::fseek(file_, offsets_[size_t(nextIndex_)], SEEK_SET) != 0) {
            error = where(nextIndex_) + "cannot seek: " + std::strerror(errno);
            return false;
        }
    }
    positionedAt_ = -1;
    bool atEnd = false;
    if (!readFrameHeader(atEnd, error)) return false;
    if (atEnd) return false;
    if (seekable_) {
        // Refuse a frame the file cannot hold before allocating room for it.
        long here = std::ftell(file_);
        struct stat st;
        if (here >= 0 && fileSize_ >= 0 && fileSize_ - here < long(frameBytes_) && fstat(fileno(file_), &st) == 0)
            fileSize_ = long(st.st_size);   // it may have grown since
        if (here >= 0 && fileSize_ >= 0 && fileSize_ - here < long(frameBytes_)) {
            error = where(nextIndex_) + "truncated frame data (" + std::to_string(fileSize_ - here) + " of " +
                    std::to_string(frameBytes_) + " bytes)";
            return false;
        }
    }
    // Room grows as the data arrives: a stream that declares a huge frame
    // and then ends costs no more than what it sent.
    size_t got = 0;
    while (got < frameBytes_) {
        if (buffer_.size() <= got)
            buffer_.resize(std::min(frameBytes_, std::max(size_t(1) << 20, buffer_.size() * 2)));
        size_t n = std::fread(buffer_.data() + got, 1, buffer_.size() - got, file_);
        if (n == 0) break;
        got += n;
    }
    if (got != frameBytes_) {
        error = where(nextIndex_) + "truncated frame data (" + std::to_string(got) + " of " +
                std::to_string(frameBytes_) + " bytes)";
        return false;
    }
    ++nextIndex_;
    if (seekable_ && size_t(nextIndex_) == offsets_.size()) offsets_.push_back(std::ftell(file_));
    positionedAt_ = nextIndex_;
    return true;
}

// Reads the planes of frame `index` into buffer_.
bool Y4mReader::readPlanes(int index, std::string &error)
{
    error.clear();
    if (index < 0) return false;
    if (index < nextIndex_ || (seekable_ && size_t(index) < offsets_.size())) {
        if (!seekable_) {
            error = where(index) + "cannot go back in a stream that is not seekable";
            return false;
        }
        if (count_ >= 0 && index >= count_) return false;
        nextIndex_ = index;
        ended_ = false;
        return nextPlanes(error);
    }
    // Forwards: skip frames up to `index`.
    positionedAt_ = -1;
    if (seekable_ && size_t(nextIndex_) < offsets_.size()) {
        nextIndex_ = int(offsets_.size()) - 1;
        if (std::fseek(file_, offsets_.back(), SEEK_SET) != 0) {
            error = where(nextIndex_) + "cannot seek: " + std::strerror(errno);
            return false;
        }
        ended_ = false;
    }
    while (nextIndex_ < index) {
        if (ended_) return false;
        bool atEnd = false;
        if (!readFrameHeader(atEnd, error)) return false;
        if (atEnd) {
            count_ = nextIndex_;
            return false;
        }
        if (!skipFrame(error)) return false;
        ++nextIndex_;
        if (seekable_ && size_t(nextIndex_) == offsets_.size()) offsets_.push_back(std::ftell(file_));
    }
    positionedAt_ = nextIndex_;
    bool ok = nextPlanes(error);
    if (!ok && error.empty()) count_ = index;
    return ok;
}

int Y4mReader::frameCount(std::string &error)
{
    error.clear();
    if (count_ >= 0) return count_;
    if (!seekable_) return -1;
    // Walk the FRAME lines to the end, then come back.
    int saveIndex = nextIndex_;
    positionedAt_ = -1;
    nextIndex_ = int(offsets_.size()) - 1;
    ended_ = false;
    if (std::fseek(file_, offsets_.back(), SEEK_SET) != 0) {
        error = where(nextIndex_) + "cannot seek: " + std::strerror(errno);
        return -1;
    }
    for (;;) {
        bool atEnd = false;
        if (!readFrameHeader(atEnd, error)) return -1;
        if (atEnd) break;
        long start = std::ftell(file_);
        if (std::fseek(file_, 0, SEEK_END) != 0) break;
        long end = std::ftell(file_);
        if (end - start < long(frameBytes_)) {
            error = where(nextIndex_) + "truncated frame data (" + std::to_string(end - start) + " of " +
                    std::to_string(frameBytes_) + " bytes)";
            return -1;
        }
        std::fseek(file_, start + long(frameBytes_), SEEK_SET);
        ++nextIndex_;
        offsets_.push_back(std::ftell(file_));
    }
    count_ = nextIndex_;
    nextIndex_ = saveIndex;
    ended_ = false;
    if (size_t(saveIndex) < offsets_.size()) std::fseek(file_, offsets_[size_t(saveIndex)], SEEK_SET);
    return count_;
}

// ---------------------------------------------------------------- writer

Y4mWriter::~Y4mWriter() = default;

bool Y4mWriter::open(FILE *file, const std::string &name, const Y4mHeader &header, std::string &error)
{
    file_ = file;
    name_ = name;
    header_ = header;
    written_ = 0;
    buffer_.resize(y4mFrameBytes(header_));
    std::string line = formatY4mHeader(header_);
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size()) {
        error = name_ + ": cannot write: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Y4mWriter::write(const VideoFrame &frame, std::string &error)
{
    if (frame.width != header_.width || frame.height != header_.height) {
        error = name_ + ": frame " + std::to_string(written_) + ": size " + std::to_string(frame.width) + "x" +
                std::to_string(frame.height) + " differs from the stream's " + std::to_string(header_.width) +
                "x" + std::to_string(header_.height);
        return false;
    }
    return write(frameRows(frame), error);
}

bool Y4mWriter::write(const ConstFrameRows &rows, std::string &error)
{
    encodeY4mRows(header_, rows, buffer_.data(), y4mFieldChroma(header_));
    // Every frame of a mixed stream is written interlaced, top field first.
    const bool mixed = header_.interlace == Interlace::Mixed;
    const char *marker = mixed ? (header_.chroma == Chroma::C420 ? "FRAME Itii\n" : "FRAME Iti\n") : "FRAME\n";
    const size_t markerBytes = std::strlen(marker);
    if (std::fwrite(marker, 1, markerBytes, file_) != markerBytes ||
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
        error = name_ + ": frame " + std::to_string(written_) + ": cannot write: " + std::strerror(errno);
        return false;
    }
    ++written_;
    return true;
}

bool Y4mWriter::flush(std::string &error)
{
    if (std::fflush(file_) != 0) {
        error = name_ + ": cannot write: " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace media
