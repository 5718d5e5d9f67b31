// What the editor's request gadgets do: the host preview, the pattern, the
// colours, the key-colour pick, the rectangles drawn on the picture and the
// return to the defaults. The event loop calls one of these per gadget.
#pragma once

#include <cstdint>

#include "EditorState.h"

namespace zenvarth {

// Plays the whole section in the host's preview, then takes the editor's
// pictures, context and section again.
void runHostPreview();

// Lets the user choose the wipe pattern's picture, then loads the pattern.
void choosePattern();

// Offers `color` in the host's palette requester; when a colour is chosen
// the field takes it, `gadget` shows it, and the answer is true.
bool requestColor(Pixel &color, TgHandle gadget);

// Lets the user place `area` on the picture; the field takes whatever the
// request hands back.
void requestAreaOf(SettingsRect &area);

// Places the sample area, then takes its mean colour on field 0 as the key
// colour; the frame shown is fetched again afterwards.
void pickKeyColor();

// Places the move area; the move target is pulled back so that the moved
// region ends inside the picture.
void requestMoveArea();

// Places the move target: a rectangle of the move area's fixed size.
void requestMoveTarget();

// Asks before restoring the defaults; true when they were restored (the
// preview is then to be rendered).
bool resetToDefaults();

} // namespace zenvarth
