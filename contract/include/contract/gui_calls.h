// The host's GUI, requester, resource, message-queue, list, picture-
// requester and pixel-aspect calls, with the records they exchange. The
// records keep the field order, widths and signedness of the host's tables;
// fields that hold a pointer are pointer-sized, so on a 32-bit build every
// offset is the table's own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contract/contract.h"

// Screens, panels, gadgets, message queues, resource sets and picture
// requests are 32-bit host handles; 0 is "none". A handle is unique while
// the thing it names exists.
using TgHandle = uint32_t;

// ---------------------------------------------------------------- records

// The editor's screen, passed to treqCreateRequest / treqDeleteRequest.
struct EditorRequest {
    TgHandle screen;          // written by the host; parent of the panels
    uint32_t word4;           // 0
    uint16_t width;
    uint16_t height;
    TgHandle messageQueue;    // from msgQCreate
    uint32_t flags;           // 0x1021C0 embedded layout, 0x102041 otherwise
    const char *title;
    uint32_t word24, word28, word32;
};

// One message of the editor's queue (44 bytes on every build).
struct EditorMessage {
    uint16_t kind;            // MSG_GADGET or MSG_CLOSE
    uint16_t flags;
    TgHandle screen;
    TgHandle panel;
    TgHandle element;         // the gadget the event comes from
    uint32_t elementKind;     // GADGET_* of that gadget
    int32_t value;            // the new value; popups, boxes: low byte
    int16_t pointerX, pointerY;
    uint32_t qualifiers;      // KEY_* qualifier bits held
    uint32_t key;             // the shortcut that caused it, else 0
    uint32_t sequence;        // counts messages posted in this session
    uint32_t reserved;
};
static_assert(sizeof(EditorMessage) == 44);

constexpr uint16_t MSG_GADGET = 4;
constexpr uint16_t MSG_CLOSE = 7;
constexpr int32_t MSG_SIZE = 44;

// Extra attributes read by a gadget creation call.
using SliderFormatter = int32_t (*)(int32_t value, char *text, int32_t size);

struct GadgetExtension {
    uint32_t word0;
    uint32_t word4;
    const char *label;        // check box text
    uint32_t word12;
    SliderFormatter formatter;  // slider value as text
    uint16_t number;
    uint32_t wordA;
    uint32_t wordB;
};

// tarnlst: a list header and the node every list entry starts with.
struct ListNode {
    ListNode *next;
    ListNode *prev;
    uint32_t nodeWord;
};

struct ListHeader {
    ListNode *head;
    ListNode *tail;
    uint32_t count;
    uint32_t headerWord;
};

// One popup entry: a text (kind 513) or a picture (kind 514). Allocate
// sizeof(ChoiceEntry) and sizeof(ListHeader): 44 and 16 bytes on a 32-bit
// build, where kind and label lie at offsets 12 and 16; the pointer-sized
// links make both larger on 64-bit.
struct ChoiceEntry {
    ListNode node;
    uint32_t kind;
    const void *label;        // const char * or const Picture *
    uint8_t rest[24];
};

constexpr uint32_t CHOICE_TEXT = 513;
constexpr uint32_t CHOICE_PICTURE = 514;

// Text requester: kind 1 information (answer ignored), 3 yes/no.
struct TextRequest {
    uint32_t word0;
    const char *text;
    uint32_t word2, word3, word4;
    uint32_t kind;
    uint32_t word6;
    uint32_t answer;          // written by the host: 1 = yes / OK
};

constexpr uint32_t TEXT_INFO = 1;
constexpr uint32_t TEXT_YESNO = 3;

// Palette requester: `color` is the current colour in and the chosen one
// out; status 1 when a colour was chosen.
struct PaletteRequest {
    uint32_t word0;           // 0
    uint32_t word4;           // 1
    uint32_t color;           // Pixel word
    uint16_t word12;          // 0x6400
    uint16_t word14;          // 0
    uint32_t status;
};

// File requester.
struct FileRequest {
    uint32_t word0;
    const char *directory;
    uint32_t word8;
    uint32_t purpose;         // FILE_LOAD, FILE_SAVE, FILE_DELETE
    char *path;               // receives the chosen path
    uint16_t pathSize;
    uint16_t word22;
    char *hostBuffer;         // for the host's own use
    uint16_t hostBufferSize;
    uint16_t word30;
    uint32_t status;          // 1 = a file was chosen
};

constexpr uint32_t FILE_LOAD = 1;
constexpr uint32_t FILE_SAVE = 2;
constexpr uint32_t FILE_DELETE = 3;

// Archives requester: the answer says what to do with an archive.
struct ArchiveRequest {
    const char *title;
    uint32_t answer;          // ARCHIVE_LOAD / _SAVE / _DELETE, 0 cancelled
};

constexpr uint32_t ARCHIVE_LOAD = 4;
constexpr uint32_t ARCHIVE_SAVE = 5;
constexpr uint32_t ARCHIVE_DELETE = 6;

// ---------------------------------------------------------------- constants

// Gadget kinds as events report them.
constexpr uint32_t GADGET_IMAGE_BUTTON = 1;
constexpr uint32_t GADGET_TEXT_BUTTON = 2;
constexpr uint32_t GADGET_SLIDER = 3;
constexpr uint32_t GADGET_POPUP = 4;
constexpr uint32_t GADGET_CHECKBOX = 5;
constexpr uint32_t GADGET_PALETTE = 6;
constexpr uint32_t GADGET_BOXTEXT = 7;

// tgChangeElement tags.
constexpr uint32_t TAG_COLOR = 5;
constexpr uint32_t TAG_VALUE = 40;
constexpr uint32_t TAG_KEY = 57;
constexpr uint32_t TAG_HELP_SET = 80;
constexpr uint32_t TAG_HELP_ID = 82;

// Keys: a character code or a special key, or-ed with qualifiers.
constexpr uint32_t KEY_ALT = 0x100000;
constexpr uint32_t KEY_SHIFT = 0x200000;
constexpr uint32_t KEY_CTRL = 0x400000;
constexpr uint32_t KEY_QUALIFIERS = KEY_ALT | KEY_SHIFT | KEY_CTRL;
constexpr uint32_t KEY_ESCAPE = 0xE001;
constexpr uint32_t KEY_DELETE = 0xE002;
constexpr uint32_t KEY_BACKSPACE = 0xE003;
constexpr uint32_t KEY_RETURN = 0xE004;
constexpr uint32_t KEY_TAB = 0xE005;
constexpr uint32_t KEY_HOME = 0xE007;
constexpr uint32_t KEY_END = 0xE008;
constexpr uint32_t KEY_PAGEUP = 0xE009;
constexpr uint32_t KEY_PAGEDOWN = 0xE00A;
constexpr uint32_t KEY_UP = 0xE00B;
constexpr uint32_t KEY_DOWN = 0xE00C;
constexpr uint32_t KEY_LEFT = 0xE00D;
constexpr uint32_t KEY_RIGHT = 0xE00E;
constexpr uint32_t KEY_F1 = 0xE010;   // F1 to F12: 0xE010 to 0xE01B

// Gadget states and flags.
constexpr uint32_t IMAGE_PRESSED = 1;      // image-button state: pressed look
constexpr uint32_t GADGET_DISABLED = 2;    // text-button and popup flags

// Panel flags.
constexpr uint32_t PANEL_NORMAL = 0x40;
constexpr uint32_t PANEL_BACKDROP = 0x100;
constexpr uint32_t PANEL_FRAME = 0x400;    // border only, open inside

extern "C" {

// ---------------------------------------------------------------- tarngui

uint16_t tgGetScreenWidth(void);
uint16_t tgGetScreenHeight(void);
uint16_t tgGetScreenWidthMonitor(int32_t monitor);
uint16_t tgGetScreenHeightMonitor(int32_t monitor);
void tgGetVisibleArea(int16_t *left, int16_t *top, int16_t *right, int16_t *bottom);
int32_t tgGetDefaultMonitor(void);
int32_t tgGetConnectedMonitors(void);
int16_t tgGetFontHeightMonitor(int32_t monitor);
int16_t tgGetAddHeight(void);
int32_t tgGetGuiMode(void);
uint32_t tgGetGuiColorYUV(int32_t id);
uint32_t tgGetNewGuiColorYUV(int32_t id);
void tgSetColorYUV(uint32_t color);

TgHandle tgCreatePanel(TgHandle parent, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                       uint32_t flags, uint32_t zero1, uint32_t zero2);
void tgRemovePanel(TgHandle panel);

TgHandle tgAddImageButton(TgHandle panel, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                          const Picture *picture, uint32_t state, const GadgetExtension *ext);
TgHandle tgAddTextButton(TgHandle panel, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                         const char *text, uint32_t flags, uint32_t zero);
TgHandle tgAddSlider(TgHandle panel, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                     int32_t minimum, int32_t maximum, int32_t value, const char *label,
                     const char *unit, uint32_t flags, const GadgetExtension *ext);
TgHandle tgAddPopup(TgHandle panel, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                    const ListHeader *list, uint32_t selected, const char *title, uint32_t flags,
                    uint32_t zero);
TgHandle tgAddCheckBox(TgHandle panel, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                       uint32_t state, uint32_t zero, const GadgetExtension *ext);
TgHandle tgAddPaletteButton(TgHandle panel, uint16_t x, uint16_t y, uint16_t width,
                            uint16_t height, const char *label, uint32_t color, uint32_t zero1,
                            uint32_t zero2);
TgHandle tgBoxText(TgHandle panel, const char *text, uint16_t x, uint16_t y, uint16_t width,
                   uint16_t height, uint32_t flags);

GadgetExtension *tgAllocGadExt(void);
void tgFreeGadExt(GadgetExtension *ext);
// A slider value formatter: the value as frames and as time.
int32_t tgSliderCallbackFramesTime(int32_t value, char *text, int32_t size);

// Returns 0 when the element exists and the tag is known, else -1.
int32_t tgChangeElement(TgHandle panel, TgHandle element, uint32_t tag, uintptr_t value,
                        uint32_t flag);
void tgEnableElement(TgHandle panel, TgHandle element);
void tgDisableElement(TgHandle panel, TgHandle element);

// Waits (timeout -1) or polls (0) for the next message of the current
// screen's queue; returns 0 with the message copied, else -1.
int32_t tgMsgQReceive(void *message, int32_t timeout);

void tgBusyPointer(void);
void tgStandardPointer(void);
void tgMovePointer(int16_t x, int16_t y);
void tgSetPointerAttrs(int32_t mode, int32_t a, int32_t b, int32_t c);
void tgColorBarOn(void);
void tgColorBarOff(void);

void tgmxYUVAtoOvl(const void *pixels, int32_t zero, int32_t bytesPerRow, int16_t x, int16_t y,
                   uint16_t width, uint16_t height);
void tgmxYUVAtoOvlMonitor(const void *pixels, int32_t zero, int32_t bytesPerRow, int16_t x,
                          int16_t y, uint16_t width, uint16_t height, int32_t monitor);

TgHandle tgGetGuiResource(void);

// ---------------------------------------------------------------- tarnreq

// Each returns 0 when the requester ran (a cancel included), else -1.
int32_t treqCreateRequest(EditorRequest *request);
int32_t treqDeleteRequest(EditorRequest *request);
int32_t treqTextRequest(TextRequest *request);
int32_t treqPaletteRequest(PaletteRequest *request);
int32_t treqFileRequest(FileRequest *request);
int32_t treqArchivesRequest(ArchiveRequest *request);

// ---------------------------------------------------------------- tarnres

TgHandle resLoadStrings(const char *setName);
const char *resGetString(TgHandle set, uint32_t id);
void resFreeStrings(TgHandle set);
TgHandle resLoadImages(const char *setName);
const Picture *resGetImage(TgHandle set, uint32_t id);
void resFreeImages(TgHandle set);

// ---------------------------------------------------------------- tarnmsgq

TgHandle msgQCreate(int32_t count, int32_t size, int32_t flags);
// Posts a message (size bytes of the queue); 0 on success, -1 when full.
int32_t msgQSend(TgHandle queue, const void *message);
void msgQDelete(TgHandle queue);

// ---------------------------------------------------------------- tarnlst

void lstInitList(ListHeader *list);
void lstAppendNode(ListHeader *list, ListNode *node);

// ---------------------------------------------------------------- ferrylib

// The picture requester: choose a picture file.
TgHandle txAllocRequest(int32_t zero);
void txSetPrefs(TgHandle request, const char *name);
void txSetTypes(TgHandle request, int32_t types);
int32_t txRequest(TgHandle request, int32_t zero);
int32_t txGetStatus(TgHandle request);
void txGetPrefs(TgHandle request, char *name, int32_t size);
void txFreeRequest(TgHandle request);

// ---------------------------------------------------------------- glidex

uint16_t gxGetPixelAspect(int32_t zero, int32_t monitor);

} // extern "C"
