// Inside the runtime: the parts of a session. Each part defines its state in
// its own source file and reaches it through the current session; the
// others use only the functions declared here.
#pragma once

#include <vector>

#include "hostgui/toolkit.h"
#include "hostrt/session.h"

namespace hostrt::detail {

struct Pictures;         // pictures.cpp: the pictures handed out, spare buffers
struct Fields;           // fields.cpp: inputs, outputs, picture sizes
struct HostLog;          // host_log.cpp: the notary lines
struct ScreenAnswers;    // screen_and_gadgets.cpp: visible area, GUI version
struct CallStack;        // session.cpp: the operator calls in progress
struct PatternFiles;     // pattern_pictures.cpp: pattern files that failed
struct PictureRequests;  // picture_requester.cpp: open picture requests
struct PreviewSource;    // preview.cpp: the operator a program names to preview

struct SessionParts {
    hostgui::Toolkit toolkit;
    hostgui::Part<Pictures> pictures;
    hostgui::Part<Fields> fields;
    hostgui::Part<HostLog> log;
    hostgui::Part<ScreenAnswers> screen;
    hostgui::Part<CallStack> calls;
    hostgui::Part<PatternFiles> patternFiles;
    hostgui::Part<PictureRequests> pictureRequests;
    hostgui::Part<PreviewSource> preview;
};

// The current session's parts.
SessionParts &parts();

// ---- pictures

// A picture whose buffer holds bufferWidth x bufferHeight pixels of the
// work-picture colour.
Picture *newPicture(int16_t bufferWidth, int16_t bufferHeight);
// A picture of w x h whose buffer is `buffer` (pixels null when empty).
Picture *holdBuffer(std::vector<Pixel> buffer, int16_t w, int16_t h);
// A picture that takes over `field`'s pixels as its buffer (no copy);
// `field.pixels` holds bufferWidth x bufferHeight pixels.
Picture *adoptField(FieldImage &field);
// The buffer of a picture handed out and not yet taken back, else null.
std::vector<Pixel> *heldBuffer(Picture *picture);
// An empty vector, with room for `pixels` pixels when a spare buffer has it.
std::vector<Pixel> spareBuffer(size_t pixels);
// Keeps a buffer no picture uses any more for later pictures.
void keepSpare(std::vector<Pixel> &&buffer);
// Takes a picture back; false when the runtime never handed it out.
bool releasePicture(Picture *picture);
// After an operator call: counts the pictures still held and takes them back.
void endCall();
// Back to no pictures held and none leaked (spare buffers stay).
void resetPictures();
// Back to what a new session has.
void resetFields();
void resetLog();
void resetScreenAnswers();

// ---- fields

// The buffer size of opAllocImage(-1, -1): set by the program, else the
// clips' field size, else the last field handed out.
void standardSize(int16_t &width, int16_t &height);
// Exchanges the session's put handler and taker with these (the preview
// collects the fields it shows, then puts the program's back).
void swapPutHandlers(PutHandler &handler, PutTaker &taker);

// ---- the operator calls in progress

struct OperatorCall {
    OperatorActionFn action = nullptr;
    OperatorContext ctx{};
};
// The innermost operator call in progress, null outside any.
const OperatorCall *innermostCall();

} // namespace hostrt::detail
