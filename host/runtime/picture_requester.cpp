// The picture requester, answering ferrylib's request calls: choose a
// picture file by name.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "contract/gui_calls.h"
#include "hostgui/gui.h"
#include "parts.h"

namespace hostrt::detail {

struct PictureRequests {
    struct Request {
        std::string name;
        int32_t types = 0;
        int32_t status = 0;
    };
    std::map<TgHandle, Request> open;
};

} // namespace hostrt::detail

namespace {

using PictureRequest = hostrt::detail::PictureRequests::Request;

std::map<TgHandle, PictureRequest> &requests() { return hostrt::detail::parts().pictureRequests.get().open; }

PictureRequest *find(TgHandle h)
{
    auto it = requests().find(h);
    return it == requests().end() ? nullptr : &it->second;
}

} // namespace

extern "C" {

TgHandle txAllocRequest(int32_t)
try {
    TgHandle h = hostgui::newHandle();
    requests()[h] = PictureRequest{};
    return h;
} catch (...) { return 0; }

void txSetPrefs(TgHandle request, const char *name)
try {
    if (PictureRequest *r = find(request)) r->name = name ? std::string(name) : std::string();
} catch (...) {}

void txSetTypes(TgHandle request, int32_t types)
{
    if (PictureRequest *r = find(request)) r->types = types;
}

int32_t txRequest(TgHandle request, int32_t)
try {
    PictureRequest *r = find(request);
    if (!r) return -1;
    std::string path = r->name;
    r->status = hostgui::runPictureRequest(path, r->types) ? 1 : 0;
    if (r->status == 1) r->name = path;
    return 0;
} catch (...) { return -1; }

int32_t txGetStatus(TgHandle request)
{
    PictureRequest *r = find(request);
    return r ? r->status : 0;
}

void txGetPrefs(TgHandle request, char *name, int32_t size)
{
    PictureRequest *r = find(request);
    if (!r || !name || size <= 0) return;
    // A cut path would name another file: hand back none instead.
    if (r->name.size() + 1 > size_t(size)) {
        std::fprintf(stderr, "picture requester: the path %s is longer than the caller's %d bytes\n",
                     r->name.c_str(), int(size));
        name[0] = 0;
        return;
    }
    std::memcpy(name, r->name.c_str(), r->name.size() + 1);
}

void txFreeRequest(TgHandle request) { requests().erase(request); }

} // extern "C"
