// Inside the toolkit: how panels and gadgets look (drawn by compose).
#pragma once

#include "hostgui/registry.h"

namespace hostgui {

Rgba textColorOn(Rgba face);
Rgba mix(Rgba a, Rgba b, int k);

// A panel at `at` on the canvas, its gadgets and its child panels.
void drawPanel(Canvas &c, const Panel &p, Rect at);
// An open popup menu's entries.
void drawMenu(Canvas &c, const Gadget &g, Rect menu, int itemHeight, int hover);

} // namespace hostgui
