// What the panel builders share with each other and with the event loop:
// the popup entry list, the row metric, keys and help texts, and the
// actions of the gadgets whose events change the panels themselves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "EditorState.h"

namespace zenvarth {

// ---------------------------------------------------------------- popup lists

// A popup's entries live only for the call that creates the popup.
constexpr size_t MAX_CHOICES = 20;
extern ListHeader *choiceList;
extern ChoiceEntry *choiceEntries[MAX_CHOICES];
// Where the list's records come from; tests replace it to make it fail.
extern void *(*choiceAllocator)(size_t bytes);

// Builds choiceList with `count` entries of one kind (CHOICE_TEXT or
// CHOICE_PICTURE), entry i labelled labels[i]. When memory runs out it logs
// once, keeps nothing and answers false; choiceList is then 0 and the popup
// is created without entries.
bool buildChoiceList(uint32_t kind, const void *const *labels, size_t count);
// Frees the header and every entry; all the pointers are 0 afterwards.
void freeChoiceList();

// ---------------------------------------------------------------- metric

// R: font height plus extra height, asked of the host for every gadget.
int32_t rowMetric();
// Top of row 1 to 4 inside a panel, and the height of every gadget.
uint16_t rowY(int32_t row);
uint16_t gadgetHeight();

// Panels stand on the backdrop in the overlay layout on monitor 2, and on
// the editor screen otherwise.
TgHandle panelParent();
TgHandle createPanel(TgHandle parent, const EditorRect &r, uint32_t flags);

// Texts and pictures of the editor's resource sets.
const char *editorText(uint32_t id);
const Picture *ownImage(uint32_t id);
const Picture *hostGuiImage(uint32_t id);

void setGadgetKey(TgHandle panel, TgHandle gadget, uint32_t key);
// The help text is attached through the gadget's own panel; a gadget whose
// panel is not built in this layout gets none.
void attachHelp(TgHandle panel, TgHandle gadget, uint32_t id);

// ---------------------------------------------------------------- loop actions

// Layout buttons: toggle panelAtTop or compactLayout, build every panel
// again, and put the pointer on the centre of the pressed button.
void togglePanelPlace();
void toggleCompactLayout();
// The pointer position after a rebuild: the centre of the layout button
// whose row top inside its panel is `rowTop`.
void moveToLayoutButton(int32_t rowTop);

// A fade slider's event: the fade takes the value (0 to H), and the other
// fade gives way when the two together would pass H.
void setFadeIn(int32_t value);
void setFadeOut(int32_t value);

// Check boxes: the field takes the value and the box's gadgets follow it.
void setWholePicture(int32_t value);
void setMaskEnabled(int32_t value);
void setMoveEnabled(int32_t value);

// The mode popup: the page's mode changes and the settings panel follows.
void chooseMode(int32_t value);

// What the event loop does after a gadget's event.
enum class GadgetOutcome {
    NoGadget,   // the handle is no gadget's: nothing happens
    Render,     // render the preview again
    NoRender,   // the gadget says no render (or rendered itself)
    Close,      // the editor closes
};

// Shows the text `stringId` as an information to dismiss.
void showInformation(uint32_t stringId);

// Carries out the event of a page, layout, frame, action or mode-panel
// gadget, as its row in the main table says.
GadgetOutcome runMainGadget(TgHandle element, int32_t value);

// Carries out the event of a settings-panel gadget of any page and mode,
// as its row in the page's table says.
GadgetOutcome runSettingsGadget(TgHandle element, int32_t value);

} // namespace zenvarth
