// tarnreq: the editor screen and the modal requesters.
#include "contract/gui_calls.h"
#include "hostgui/gui.h"

using hostgui::Gui;

extern "C" {

int32_t treqCreateRequest(EditorRequest *request)
{
    if (!request || request->width == 0 || request->height == 0) return -1;
    Gui &gui = Gui::get();
    request->screen = gui.createScreen(request->width, request->height, request->title ? request->title : "",
                                       request->messageQueue, request->flags);
    return 0;
}

int32_t treqDeleteRequest(EditorRequest *request)
{
    if (!request) return -1;
    Gui &gui = Gui::get();
    if (!gui.screens.count(request->screen)) return -1;
    gui.deleteScreen(request->screen);
    return 0;
}

int32_t treqTextRequest(TextRequest *request)
{
    if (!request) return -1;
    return hostgui::runTextRequest(*request);
}

int32_t treqPaletteRequest(PaletteRequest *request)
{
    if (!request) return -1;
    return hostgui::runPaletteRequest(*request);
}

int32_t treqFileRequest(FileRequest *request)
{
    if (!request) return -1;
    return hostgui::runFileRequest(*request);
}

int32_t treqArchivesRequest(ArchiveRequest *request)
{
    if (!request) return -1;
    return hostgui::runArchivesRequest(*request);
}

} // extern "C"
