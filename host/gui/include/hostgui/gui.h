// The retained-mode toolkit behind the host's GUI calls, in parts that
// each own their state behind the functions their header declares:
//
//   types.h       value types: colours, rectangles, canvas, input events,
//                 the gadget record; slider geometry and key names
//   settings.h    the session's GUI settings and the colour table
//   registry.h    handles: screens, panels, gadgets, queues, resource sets
//   surfaces.h    the screen and monitor 2: overlays, colour bar, and the
//                 one order in which a surface is composed
//   input.h       pointer, hover, press, focus, keys, popup menu: events
//                 become gadget changes and messages
//   monitor_view.h monitor 2's views, zoom, and the window mapping
//   messages.h    the queues' traffic and waiting for a message
//   requesters.h  the modal requesters
//   frontend.h    the window or the headless script that supplies input
//   resources.h   string tables and icons compiled into the library
#pragma once

#include "hostgui/frontend.h"
#include "hostgui/input.h"
#include "hostgui/messages.h"
#include "hostgui/monitor_view.h"
#include "hostgui/registry.h"
#include "hostgui/requesters.h"
#include "hostgui/resources.h"
#include "hostgui/settings.h"
#include "hostgui/surfaces.h"
#include "hostgui/types.h"

namespace hostgui {

// Ends every requester and forgets every screen, panel, gadget, queue,
// resource set, overlay, message and the front end (settings stay).
void resetToolkit();

} // namespace hostgui
