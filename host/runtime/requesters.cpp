// The editor screen and the modal requesters, answering tarnreq's calls.
#include "contract/gui_calls.h"
#include "hostgui/gui.h"

extern "C" {

int32_t treqCreateRequest(EditorRequest *request)
try {
    if (!request || request->width == 0 || request->height == 0) return -1;
    request->screen = hostgui::createScreen(request->width, request->height, request->title ? request->title : "",
                                       request->messageQueue, request->flags);
    return 0;
} catch (...) { return -1; }

int32_t treqDeleteRequest(EditorRequest *request)
try {
    if (!request) return -1;
    const hostgui::Screen *screen = hostgui::screen(request->screen);
    if (!screen) return -1;
    // The screen's message queue goes with it: an editor makes a new one at
    // every opening and never deletes it itself.
    const TgHandle queue = screen->queue;
    hostgui::deleteScreen(request->screen);
    if (queue) hostgui::deleteQueue(queue);
    return 0;
} catch (...) { return -1; }

int32_t treqTextRequest(TextRequest *request)
try {
    if (!request) return -1;
    return hostgui::runTextRequest(*request);
} catch (...) { return -1; }

int32_t treqPaletteRequest(PaletteRequest *request)
try {
    if (!request) return -1;
    return hostgui::runPaletteRequest(*request);
} catch (...) { return -1; }

int32_t treqFileRequest(FileRequest *request)
try {
    if (!request) return -1;
    return hostgui::runFileRequest(*request);
} catch (...) { return -1; }

int32_t treqArchivesRequest(ArchiveRequest *request)
try {
    if (!request) return -1;
    return hostgui::runArchivesRequest(*request);
} catch (...) { return -1; }

} // extern "C"
