// The editor screen and the modal requesters, answering tarnreq's calls.
#include "contract/gui_calls.h"
#include "hostgui/gui.h"

namespace {

// A modal requester run for an operator: -1 for no request or a fault.
template <typename Request>
int32_t runRequest(Request *request, int32_t (*run)(Request &))
try {
    return request ? run(*request) : -1;
} catch (...) { return -1; }

} // namespace

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

int32_t treqTextRequest(TextRequest *request) { return runRequest(request, hostgui::runTextRequest); }
int32_t treqPaletteRequest(PaletteRequest *request) { return runRequest(request, hostgui::runPaletteRequest); }
int32_t treqFileRequest(FileRequest *request) { return runRequest(request, hostgui::runFileRequest); }
int32_t treqArchivesRequest(ArchiveRequest *request) { return runRequest(request, hostgui::runArchivesRequest); }

} // extern "C"
