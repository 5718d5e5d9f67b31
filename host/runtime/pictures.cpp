// The pictures a session hands out, and vendrelbase's calls that allocate
// and free work pictures. The runtime owns every pixel buffer; an operator
// holds a picture from the call that hands it out until opPutField or
// opFreeImage, and what it still holds when its call returns is counted as
// leaked and taken back.
#include <map>
#include <memory>

#include "contract/host_calls.h"
#include "parts.h"

namespace hostrt::detail {

struct Pictures {
    struct Owned {
        Picture record{};
        std::vector<Pixel> buffer;
    };
    std::map<Picture *, std::unique_ptr<Owned>> held;
    // Pixel buffers of pictures given back, kept for the next pictures so
    // that a render does not pay for fresh memory (page faults) every field.
    std::vector<std::vector<Pixel>> spareBuffers;
    size_t lastCallHeld = 0;
    size_t totalLeaked = 0;
    int allocFailCountdown = -1;
};

namespace {

Pictures &pictures() { return parts().pictures.get(); }

// Spare buffers kept at most; more would only hold memory no render uses.
constexpr size_t SPARE_BUFFERS = 8;

} // namespace

Picture *holdBuffer(std::vector<Pixel> buffer, int16_t w, int16_t h)
{
    auto owned = std::make_unique<Pictures::Owned>();
    owned->buffer = std::move(buffer);
    owned->record.pixels = owned->buffer.empty() ? nullptr : owned->buffer.data();
    owned->record.bufferWidth = w;
    owned->record.bufferHeight = h;
    owned->record.x = 0;
    owned->record.y = 0;
    owned->record.width = w;
    owned->record.height = h;
    Picture *p = &owned->record;
    pictures().held.emplace(p, std::move(owned));
    return p;
}

std::vector<Pixel> spareBuffer(size_t pixels)
{
    std::vector<std::vector<Pixel>> &spare = pictures().spareBuffers;
    // The smallest spare that holds the pixels, else the largest (it grows).
    size_t pick = spare.size();
    for (size_t i = 0; i < spare.size(); ++i) {
        size_t room = spare[i].capacity();
        if (pick == spare.size()) {
            pick = i;
            continue;
        }
        size_t best = spare[pick].capacity();
        bool fits = room >= pixels, bestFits = best >= pixels;
        if ((fits && (!bestFits || room < best)) || (!fits && !bestFits && room > best)) pick = i;
    }
    std::vector<Pixel> buffer;
    if (pick < spare.size()) {
        buffer = std::move(spare[pick]);
        spare[pick] = std::move(spare.back());
        spare.pop_back();
    }
    // Its old pixels stay: every user fills it whole, and one that fills a
    // buffer of the same size again then pays no fill first.
    return buffer;
}

Picture *newPicture(int16_t bufferWidth, int16_t bufferHeight)
{
    int16_t w = bufferWidth < 0 ? 0 : bufferWidth;
    int16_t h = bufferHeight < 0 ? 0 : bufferHeight;
    const size_t n = size_t(w) * size_t(h);
    std::vector<Pixel> buffer = spareBuffer(n);
    buffer.assign(n, Pixel{0, 128, 128, 16});
    return holdBuffer(std::move(buffer), w, h);
}

Picture *adoptField(FieldImage &field)
{
    Picture *p = holdBuffer(std::move(field.pixels), field.bufferWidth, field.bufferHeight);
    field.pixels = std::vector<Pixel>();
    p->x = field.x;
    p->y = field.y;
    p->width = field.width;
    p->height = field.height;
    return p;
}

std::vector<Pixel> *heldBuffer(Picture *picture)
{
    auto &held = pictures().held;
    auto it = picture ? held.find(picture) : held.end();
    return it == held.end() ? nullptr : &it->second->buffer;
}

void keepSpare(std::vector<Pixel> &&buffer)
{
    std::vector<std::vector<Pixel>> &spare = pictures().spareBuffers;
    if (buffer.capacity() == 0) return;
    if (spare.size() < SPARE_BUFFERS) {
        spare.push_back(std::move(buffer));
        return;
    }
    // Full: this one replaces the smallest spare when it is larger.
    size_t smallest = 0;
    for (size_t i = 1; i < spare.size(); ++i)
        if (spare[i].capacity() < spare[smallest].capacity()) smallest = i;
    if (spare[smallest].capacity() < buffer.capacity()) spare[smallest] = std::move(buffer);
}

bool releasePicture(Picture *picture)
{
    Pictures &s = pictures();
    auto it = s.held.find(picture);
    if (it == s.held.end()) return false;
    keepSpare(std::move(it->second->buffer));
    s.held.erase(it);
    return true;
}

void endCall()
{
    Pictures &s = pictures();
    s.lastCallHeld = s.held.size();
    s.totalLeaked += s.held.size();
    s.held.clear();
}

void resetPictures()
{
    Pictures &s = pictures();
    s.held.clear();
    s.lastCallHeld = 0;
    s.totalLeaked = 0;
    s.allocFailCountdown = -1;
}

} // namespace hostrt::detail

namespace hostrt {

void failAllocation(int nth) { detail::pictures().allocFailCountdown = nth; }
size_t heldPictureCount() { return detail::pictures().held.size(); }
size_t lastCallHeld() { return detail::pictures().lastCallHeld; }
size_t totalLeaked() { return detail::pictures().totalLeaked; }

} // namespace hostrt

using namespace hostrt::detail;

extern "C" {

Picture *opAllocImage(int32_t width, int32_t height, int32_t, int32_t)
try {
    Pictures &s = pictures();
    if (s.allocFailCountdown >= 0) {
        if (s.allocFailCountdown-- == 0) return nullptr;
    }
    if ((width == -1 && height == -1) || (width == 0 && height == 0)) {
        int16_t w = 0, h = 0;
        standardSize(w, h);
        return newPicture(w, h);
    }
    if (width < 0 || height < 0 || width > 0x7FFF || height > 0x7FFF) return nullptr;
    return newPicture(int16_t(width), int16_t(height));
} catch (...) { return nullptr; }

void opFreeImage(Picture *picture)
{
    if (picture) releasePicture(picture);
}

} // extern "C"
