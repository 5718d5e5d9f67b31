#include <cstdio>

#include "hostrt/session.h"
#include "calls.h"
#include "state.h"

namespace hostrt {
namespace detail {

State &state()
{
    static State s;
    return s;
}

namespace {

// Spare buffers kept at most; more would only hold memory no render uses.
constexpr size_t SPARE_BUFFERS = 8;

Picture *holdBuffer(std::vector<Pixel> buffer, int16_t w, int16_t h)
{
    auto owned = std::make_unique<OwnedPicture>();
    owned->buffer = std::move(buffer);
    owned->record.pixels = owned->buffer.empty() ? nullptr : owned->buffer.data();
    owned->record.bufferWidth = w;
    owned->record.bufferHeight = h;
    owned->record.x = 0;
    owned->record.y = 0;
    owned->record.width = w;
    owned->record.height = h;
    Picture *p = &owned->record;
    state().held.emplace(p, std::move(owned));
    return p;
}

} // namespace

std::vector<Pixel> spareBuffer(size_t pixels)
{
    std::vector<std::vector<Pixel>> &spare = state().spareBuffers;
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

void keepSpare(std::vector<Pixel> &&buffer)
{
    std::vector<std::vector<Pixel>> &spare = state().spareBuffers;
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
    State &s = state();
    auto it = s.held.find(picture);
    if (it == s.held.end()) return false;
    keepSpare(std::move(it->second->buffer));
    s.held.erase(it);
    return true;
}

} // namespace detail

using detail::state;
using detail::State;

FieldImage makeField(int width, int height, Pixel fill)
{
    FieldImage f;
    f.bufferWidth = f.width = int16_t(width);
    f.bufferHeight = f.height = int16_t(height);
    f.pixels.assign(size_t(width) * size_t(height), fill);
    return f;
}

FieldImage fieldFromPicture(const Picture &picture)
{
    FieldImage f;
    f.bufferWidth = picture.bufferWidth;
    f.bufferHeight = picture.bufferHeight;
    f.x = picture.x;
    f.y = picture.y;
    f.width = picture.width;
    f.height = picture.height;
    size_t n = size_t(picture.bufferWidth > 0 ? picture.bufferWidth : 0) *
               size_t(picture.bufferHeight > 0 ? picture.bufferHeight : 0);
    if (picture.pixels) f.pixels.assign(picture.pixels, picture.pixels + n);
    return f;
}

void setInput(int input, FieldProvider provider)
{
    if (input == 0 || input == 1) state().inputs[input] = std::move(provider);
}

void setInputFields(int input, std::vector<FieldImage> fields)
{
    // The standard picture size is the clip's field size unless a program
    // sets another.
    if (!fields.empty()) {
        state().clipWidth = fields.front().bufferWidth;
        state().clipHeight = fields.front().bufferHeight;
    }
    auto shared = std::make_shared<std::vector<FieldImage>>(std::move(fields));
    setInput(input, [shared](int32_t n, FieldImage &out) {
        if (n < 0 || size_t(n) >= shared->size()) return false;
        out = (*shared)[size_t(n)];
        return true;
    });
}

void clearInputs()
{
    state().inputs[0] = nullptr;
    state().inputs[1] = nullptr;
}

void setPutHandler(PutHandler handler) { state().putHandler = std::move(handler); }
void setPutTaker(PutTaker taker) { state().putTaker = std::move(taker); }
const std::vector<FieldImage> &putFields() { return state().putFields; }
void clearPutFields() { state().putFields.clear(); }
void setPutResult(int32_t result) { state().putResult = result; }

void setStandardSize(int16_t bufferWidth, int16_t bufferHeight)
{
    state().standardWidth = bufferWidth;
    state().standardHeight = bufferHeight;
    state().standardSet = true;
}

void failAllocation(int nth) { state().allocFailCountdown = nth; }
void setVisibleArea(VisibleArea area) { state().visible = area; }
void setTgVersion(int32_t version) { state().tgVersion = version; }
void setOpVersion(int32_t version) { state().opVersion = version; }
const std::vector<LogLine> &logLines() { return state().log; }
void clearLog() { state().log.clear(); }
void setLogListener(std::function<void(const LogLine &)> listener)
{
    state().logListener = std::move(listener);
}

size_t heldPictureCount() { return state().held.size(); }

OperatorContext makeContext(uint16_t action, int32_t fieldNumber, uint32_t fieldCount)
{
    OperatorContext ctx{};
    ctx.action = action;
    ctx.fieldNumber = fieldNumber;
    ctx.fieldCount = fieldCount;
    ctx.previewScaleNum = 1;
    ctx.previewScaleDen = 1;
    ctx.verticalPermille = 1000;
    return ctx;
}

namespace detail {

// The operator calls in progress, innermost last: the host preview plays the
// section of the editor that asked for it.
std::vector<OperatorCall> &callsInProgress()
{
    static std::vector<OperatorCall> calls;
    return calls;
}

} // namespace detail

int32_t callOperator(OperatorActionFn action, OperatorContext &ctx)
{
    detail::callsInProgress().push_back(detail::OperatorCall{action, ctx});
    int32_t result = action(&ctx);
    detail::callsInProgress().pop_back();
    State &s = state();
    s.lastCallHeld = s.held.size();
    s.totalLeaked += s.held.size();
    s.held.clear();
    return result;
}

size_t lastCallHeld() { return state().lastCallHeld; }
size_t totalLeaked() { return state().totalLeaked; }

void resetSession()
{
    State &s = state();
    s.inputs[0] = s.inputs[1] = nullptr;
    s.putHandler = nullptr;
    s.putTaker = nullptr;
    s.putFields.clear();
    s.putResult = 0;
    s.standardSet = false;
    s.standardWidth = s.standardHeight = 0;
    s.lastFieldWidth = s.lastFieldHeight = 0;
    s.clipWidth = s.clipHeight = 0;
    s.allocFailCountdown = -1;
    s.visible = VisibleArea{};
    s.tgVersion = 60;
    s.opVersion = 4;
    s.log.clear();
    s.logListener = nullptr;
    s.held.clear();
    s.lastCallHeld = 0;
    s.totalLeaked = 0;
}

} // namespace hostrt
