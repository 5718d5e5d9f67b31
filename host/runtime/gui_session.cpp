// The GUI side of the session API: settings, scripts, and reading back
// what the toolkit shows.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "contract/safe_file.h"

#include "hostgui/gui.h"
#include "hostrt/gui_session.h"

namespace hostrt::gui {

namespace {

// A script line, in bytes without its newline.
constexpr size_t MAX_SCRIPT_LINE = 4096;

} // namespace

void setSectionStart(int firstFrame) { hostgui::setSectionStart(firstFrame); }

void setGuiSettings(const GuiSettings &settings) { hostgui::applySettings(settings); }
const GuiSettings &guiSettings() { return hostgui::settings(); }

void setScript(const std::string &text, const std::string &name)
{
    hostgui::useScript(text, name);
}

bool scriptAnswer(std::vector<std::string> &words, std::string &fault)
{
    return hostgui::scriptAnswer(words, fault);
}

bool loadScriptFile(const std::string &path, std::string &error)
{
    // Not blocking: a pipe or a device is refused, never waited on or read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = path + ": cannot open the script: " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error = path + ": cannot read the script: " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + ": " + safefile::kindFault(st.st_mode) + ", not a script file";
        ::close(fd);
        return false;
    }
    std::string text;
    char buffer[65536];
    size_t lineStart = 0, lineNumber = 1;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = path + ": cannot read the script: " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        const size_t from = text.size();
        text.append(buffer, size_t(n));
        for (size_t i = from; i <= text.size(); ++i) {
            const bool end = i == text.size();
            if (i - lineStart > MAX_SCRIPT_LINE) {
                error = path + ": line " + std::to_string(lineNumber) + " is longer than " +
                        std::to_string(MAX_SCRIPT_LINE) + " bytes, the most a script line may hold";
                ::close(fd);
                return false;
            }
            if (end) break;
            if (text[i] == '\n') {
                lineStart = i + 1;
                ++lineNumber;
            }
        }
    }
    ::close(fd);
    setScript(text, path);
    return true;
}

const std::vector<std::string> &scriptErrors() { return hostgui::scriptErrors(); }

void setCheckHandler(std::function<void(const std::string &name)> handler)
{
    hostgui::setCheckHandler(std::move(handler));
}

using hostgui::framebufferOf;
using hostgui::savePng;

Framebuffer capture(SurfaceId surface)
{
    hostgui::Canvas c;
    hostgui::compose(surface, c);
    return framebufferOf(c);
}

bool saveScreenshot(SurfaceId surface, const std::string &path, std::string &error)
{
    return hostgui::saveScreenshot(surface, path, error);
}

bool closedCapture(SurfaceId surface, Framebuffer &out)
{
    const auto &view = hostgui::closedView();
    if (!view.valid) return false;
    out = framebufferOf(view.shown[int(surface)]);
    return true;
}

bool closedOverlay(SurfaceId surface, std::vector<Pixel> &pixels, int &width, int &height)
{
    const auto &view = hostgui::closedView();
    if (!view.valid) return false;
    pixels = view.overlay[int(surface)];
    width = view.width[int(surface)];
    height = view.height[int(surface)];
    return true;
}

bool saveClosedScreenshot(SurfaceId surface, const std::string &path, std::string &error)
{
    Framebuffer fb;
    if (!closedCapture(surface, fb)) {
        error = "no screen was shown";
        return false;
    }
    return savePng(std::move(fb), path, error);
}

Pixel overlayPixel(SurfaceId surface, int x, int y)
{
    return hostgui::overlayPixel(surface, x, y);
}

GadgetInfo gadgetInfo(uint32_t handle)
{
    GadgetInfo info;
    const hostgui::Gadget *g = hostgui::gadget(handle);
    if (!g) return info;
    info.exists = true;
    info.kind = g->kind;
    info.panel = g->panel;
    info.enabled = g->enabled;
    info.value = g->value;
    info.minimum = g->minimum;
    info.maximum = g->maximum;
    info.color = g->color;
    info.key = g->key;
    info.state = g->state;
    info.text = g->text;
    info.unit = g->unit;
    info.help = g->help;
    info.shown = hostgui::shownText(*g);
    hostgui::Rect r = hostgui::gadgetRectOnSurface(*g);
    info.x = r.x;
    info.y = r.y;
    info.width = r.w;
    info.height = r.h;
    for (const auto &e : g->entries) info.entries.push_back(e.isPicture ? "<picture>" : e.text);
    return info;
}

bool panelExists(uint32_t handle) { return hostgui::panel(handle) != nullptr; }
size_t gadgetCount() { return hostgui::gadgets().size(); }
std::string helpShown() { return hostgui::helpShown(); }
PointerState pointerState() { return hostgui::pointerState(); }
bool colorBarShown() { return hostgui::colorBar(); }
bool shownInWindow() { return hostgui::showsWindow(); }
std::vector<std::vector<uint8_t>> postedMessages() { return hostgui::postedMessages(); }
std::string hostLabel(uint32_t labelId) { return hostgui::hostLabel(labelId); }

void resetGui()
{
    hostgui::resetToolkit();
    hostgui::applySettings(GuiSettings{});
    setPreviewOperator(nullptr, OperatorContext{});
}

} // namespace hostrt::gui
