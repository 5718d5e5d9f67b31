// Process-wide state of the stand-in host, shared by the host-library
// sources of the runtime.
#pragma once

#include <map>
#include <memory>

#include "hostrt/session.h"

namespace hostrt::detail {

struct OwnedPicture {
    Picture record{};
    std::vector<Pixel> buffer;
};

struct State {
    FieldProvider inputs[2];
    PutHandler putHandler;
    PutTaker putTaker;   // used instead of putHandler while set
    std::vector<FieldImage> putFields;
    int32_t putResult = 0;
    int16_t standardWidth = 0, standardHeight = 0;
    bool standardSet = false;
    // The size of the fields of the inputs' clips, when a session gave them.
    int16_t clipWidth = 0, clipHeight = 0;
    int16_t lastFieldWidth = 0, lastFieldHeight = 0;
    int allocFailCountdown = -1;
    VisibleArea visible;
    int32_t tgVersion = 60;
    int32_t opVersion = 4;
    std::vector<LogLine> log;
    std::function<void(const LogLine &)> logListener;
    std::map<Picture *, std::unique_ptr<OwnedPicture>> held;
    // Pixel buffers of pictures given back, kept for the next pictures so
    // that a render does not pay for fresh memory (page faults) every field.
    std::vector<std::vector<Pixel>> spareBuffers;
    size_t lastCallHeld = 0;
    size_t totalLeaked = 0;
};

State &state();

// A picture whose buffer holds bufferWidth x bufferHeight pixels of the
// work-picture colour.
Picture *newPicture(int16_t bufferWidth, int16_t bufferHeight);
// A picture that takes over `field`'s pixels as its buffer (no copy);
// `field.pixels` holds bufferWidth x bufferHeight pixels.
Picture *adoptField(FieldImage &field);
// An empty vector, with room for `pixels` pixels when a spare buffer has it.
std::vector<Pixel> spareBuffer(size_t pixels);
// Keeps a buffer no picture uses any more for later pictures.
void keepSpare(std::vector<Pixel> &&buffer);
// Takes a picture back; false when the runtime never handed it out.
bool releasePicture(Picture *picture);

} // namespace hostrt::detail
