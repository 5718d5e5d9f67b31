// The session's GUI settings and the colours they give: the GUI colour
// table and the colour new panels and gadgets take.
#pragma once

#include <cstdint>

#include "hostgui/gui_settings.h"

namespace hostgui {

const GuiSettings &settings();
// Takes the settings: colour table, sizes, font. A change of front-end
// kind drops the current front end; the next wait opens the new kind.
void applySettings(const GuiSettings &s);

// The GUI colour `id`, or `otherwise` when the table has none.
uint32_t guiColor(int32_t id, uint32_t otherwise);

// The colour the next panel or gadget takes (tgSetColorYUV).
uint32_t currentColor();
void setCurrentColor(uint32_t color);

// Back to no settings taken (the next applySettings fills the table).
void resetSettings();

} // namespace hostgui
