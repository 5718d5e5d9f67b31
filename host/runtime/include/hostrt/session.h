// The stand-in host's session: what the host program and the tests set up
// before they call an operator, and what they read back afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "contract/contract.h"
#include "hostgui/gui_settings.h"

namespace hostrt {

// One field as the host owns it: a buffer and the active area inside it.
struct FieldImage {
    int16_t bufferWidth = 0;
    int16_t bufferHeight = 0;
    int16_t x = 0;
    int16_t y = 0;
    int16_t width = 0;
    int16_t height = 0;
    std::vector<Pixel> pixels;   // bufferWidth * bufferHeight

    Pixel &at(int col, int row) { return pixels[size_t(row) * size_t(bufferWidth) + size_t(col)]; }
    const Pixel &at(int col, int row) const
    {
        return pixels[size_t(row) * size_t(bufferWidth) + size_t(col)];
    }
};

// A field whose active area is its whole buffer, filled with one colour.
FieldImage makeField(int width, int height, Pixel fill = Pixel{255, 128, 128, 16});
FieldImage fieldFromPicture(const Picture &picture);

// Answers opGetField for one input: fills `out` and returns true, or returns
// false when the field is unavailable. `out.pixels` arrives as a buffer kept
// from earlier pictures, holding whatever it held: fill it whole, or swap in
// a buffer of the field's size (the provider then owns the one it got).
using FieldProvider = std::function<bool(int32_t fieldNumber, FieldImage &out)>;
// Receives each picture handed back with opPutField; returns its result.
using PutHandler = std::function<int32_t(const Picture &picture)>;
// The same, and the picture's pixel buffer (bufferWidth * bufferHeight
// pixels, at picture.pixels unless the operator pointed the record
// elsewhere): the picture is released right after, so the taker may swap
// the buffer for one of its own (the runtime keeps that one for later
// pictures) instead of copying the pixels.
using PutTaker = std::function<int32_t(const Picture &picture, std::vector<Pixel> &buffer)>;

struct LogLine {
    int32_t severity;
    int32_t line;
    std::string source;
    uint32_t moduleCode;
    std::string text;
};

using hostgui::VisibleArea;

// ---- sessions

namespace detail {
struct SessionParts;
}

// One host: the inputs and outputs, the pictures an operator holds, the log,
// the host's answers and the GUI. The host calls an operator makes act on
// the current session, and so do the functions below. A process always has
// a default session; a program that runs several operators side by side
// makes one session for each and makes it current around every call into
// its operator.
class Session {
public:
    Session();
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    detail::SessionParts &parts() { return *parts_; }

private:
    std::unique_ptr<detail::SessionParts> parts_;
};

// The session made current by the innermost UseSession, else the default.
Session &currentSession();

// Makes `session` current while the guard lives; the one current before it
// is current again afterwards.
class UseSession {
public:
    explicit UseSession(Session &session);
    ~UseSession();
    UseSession(const UseSession &) = delete;
    UseSession &operator=(const UseSession &) = delete;

private:
    Session *previous_;
};

// ---- inputs and outputs

void setInput(int input, FieldProvider provider);
// Input `input` answers the given fields by number (0, 1, ...), none past them.
void setInputFields(int input, std::vector<FieldImage> fields);
void clearInputs();
void setPutHandler(PutHandler handler);
// Takes precedence over the put handler while set.
void setPutTaker(PutTaker taker);
// Without a handler the runtime keeps every put field here.
const std::vector<FieldImage> &putFields();
void clearPutFields();
void setPutResult(int32_t result);

// Buffer size of opAllocImage(-1, -1) and (0, 0). When not set, the field
// size of the clips given with setInputFields, else the size of the last
// field handed out by opGetField.
void setStandardSize(int16_t bufferWidth, int16_t bufferHeight);
// The n-th following opAllocImage call (0 = the next) answers none; -1 never.
void failAllocation(int nth);

// ---- host answers

void setVisibleArea(VisibleArea area);
void setTgVersion(int32_t version);
void setOpVersion(int32_t version);

// ---- log

const std::vector<LogLine> &logLines();
void clearLog();
// Called for each notary line as it arrives (ophost prints them).
void setLogListener(std::function<void(const LogLine &)> listener);

// ---- pictures held by the operator

// Pictures handed out by opGetField or opAllocImage and not yet handed back
// with opPutField or released with opFreeImage.
size_t heldPictureCount();

OperatorContext makeContext(uint16_t action, int32_t fieldNumber = 0, uint32_t fieldCount = 0);

// Calls an operator's entry point. Afterwards `lastCallHeld()` tells how many
// pictures the operator still held when it returned; the runtime takes them
// back so that later calls start clean.
int32_t callOperator(OperatorActionFn action, OperatorContext &ctx);
size_t lastCallHeld();
// Pictures left held, summed over every call since the last reset.
size_t totalLeaked();

// The current session back to fresh: no inputs, empty log, default answers.
void resetSession();

} // namespace hostrt
