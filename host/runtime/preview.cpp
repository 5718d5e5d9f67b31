// The host preview of the section and the area request on the monitor,
// answering vendrel's interactive calls.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "contract/gui_calls.h"
#include "contract/host_calls.h"
#include "hostgui/gui.h"
#include "hostrt/gui_session.h"
#include "parts.h"

using namespace hostrt;
using namespace hostrt::detail;

namespace hostrt::detail {

struct PreviewSource {
    OperatorActionFn action = nullptr;
    OperatorContext ctx{};
};

} // namespace hostrt::detail

void hostrt::gui::setPreviewOperator(OperatorActionFn action, const OperatorContext &ctx)
{
    parts().preview.get() = PreviewSource{action, ctx};
}

namespace {

// Shows one frame (two woven fields) centred on monitor 2's overlay.
void showFrame(const std::vector<FieldImage> &fields)
{
    if (fields.empty()) return;
    const FieldImage &top = fields[0];
    int w = top.bufferWidth, fh = top.bufferHeight;
    if (w <= 0 || fh <= 0) return;
    std::vector<Pixel> frame(size_t(w) * size_t(fh) * 2);
    for (int row = 0; row < fh * 2; ++row) {
        const FieldImage &f = fields[std::min<size_t>(size_t(row % 2), fields.size() - 1)];
        if (f.bufferWidth != w || f.bufferHeight != fh) continue;
        std::memcpy(&frame[size_t(row) * size_t(w)], &f.pixels[size_t(row / 2) * size_t(w)], size_t(w) * 4);
    }
    // Shown opaque; the key view shows the key bytes as they came.
    if (hostgui::monitorView() != hostgui::MonitorView::Key)
        for (Pixel &p : frame) p.alpha = 255;
    const auto monitor = hostgui::SurfaceId::Monitor;
    int mw = hostgui::surfaceWidth(monitor), mh = hostgui::surfaceHeight(monitor);
    hostgui::drawOverlay(monitor, reinterpret_cast<const uint8_t *>(frame.data()), w * 4, (mw - w) / 2,
                         (mh - fh * 2) / 2, w, fh * 2);
    hostgui::present();
}

// The operator and section to play: the one a program named, else the
// innermost operator call in progress (the editor that asks for the
// preview, with the section it was opened on).
bool previewTarget(OperatorActionFn &action, OperatorContext &ctx)
{
    const PreviewSource &named = parts().preview.get();
    if (named.action) {
        action = named.action;
        ctx = named.ctx;
        return true;
    }
    const OperatorCall *call = innermostCall();
    if (!call || !call->action) return false;
    action = call->action;
    ctx = call->ctx;
    return true;
}

} // namespace

extern "C" {

// Renders every field of the section with action 3 at full size and shows
// each frame on monitor 2 as it is done: in a window at the clip's frame
// rate, headless as fast as the renders go. The operator's own run (actions
// 1 and 2) brackets the renders, as for a render of the section.
int32_t opPreview(int32_t)
{
    OperatorActionFn action = nullptr;
    OperatorContext section{};
    if (!previewTarget(action, section)) return -1;
    // The preview's own handler collects the fields it shows; the program's
    // handler and taker are put back afterwards.
    std::vector<FieldImage> pair;
    PutHandler handler = [&pair](const Picture &p) {
        pair.push_back(fieldFromPicture(p));
        return 0;
    };
    PutTaker taker;
    swapPutHandlers(handler, taker);
    const auto framePeriod = std::chrono::microseconds(1000000 / std::max(1, hostgui::settings().framesPerSecond));
    auto nextFrame = std::chrono::steady_clock::now();

    OperatorContext ctx = section;
    ctx.flags &= ~CTX_PREVIEW;
    ctx.previewScaleNum = 1;
    ctx.previewScaleDen = 1;
    ctx.action = OPACT_INIT;
    action(&ctx);
    for (uint32_t field = 0; field < section.fieldCount; ++field) {
        ctx = section;
        ctx.flags &= ~CTX_PREVIEW;
        ctx.previewScaleNum = 1;
        ctx.previewScaleDen = 1;
        ctx.action = OPACT_RENDER;
        ctx.fieldNumber = int32_t(field);
        action(&ctx);
        if (field % 2 == 1 || field + 1 == section.fieldCount) {
            if (hostgui::showsWindow()) {
                nextFrame += framePeriod;
                const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                    nextFrame - std::chrono::steady_clock::now());
                if (wait.count() > 0) hostgui::frameDelay(int(wait.count()));
                else nextFrame = std::chrono::steady_clock::now();
            }
            showFrame(pair);
            pair.clear();
            // Escape stops the preview; closing the window stops it and ends
            // the editor afterwards.
            if (hostgui::stopRequested()) break;
        }
    }
    ctx = section;
    ctx.action = OPACT_RELEASE;
    action(&ctx);
    swapPutHandlers(handler, taker);
    return 0;
}

int32_t opAreaRequest(RectParam *rect, int32_t)
{
    if (!rect) return -1;
    return hostgui::runAreaRequest(*rect);
}

} // extern "C"
