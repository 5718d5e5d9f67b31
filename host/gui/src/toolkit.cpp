// Resetting the whole toolkit, part by part.
#include "dialogs.h"
#include "frontend.h"
#include "hostgui/gui.h"
#include "input.h"

namespace hostgui {

void resetToolkit()
{
    resetDialogs();
    resetRegistry();
    resetSettings();
    resetInput();
    resetMessages();
    resetSurfaces();
    resetMonitorView();
    resetFrontEnd();
}

} // namespace hostgui
