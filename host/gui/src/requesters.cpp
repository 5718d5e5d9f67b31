// The small requesters: text and yes/no, palette and archives. Each is a
// panel of its own gadgets plus what it draws itself, and works by mouse,
// keys or script alike.
#include <algorithm>
#include <cstdlib>

#include "dialogs.h"
#include "hostgui/registry.h"

namespace hostgui {

namespace {

// ---------------------------------------------------------------- text

class TextDialog : public Dialog {
public:
    std::vector<std::string> lines;
    bool findText(const std::string &s, Rect, Rect &found) override { return buttonText(*this, s, found); }
    void draw(Canvas &c, Rect at) override
    {
        int y = at.y + 12 + fontH() + 8;
        for (const std::string &l : lines) {
            c.text(at.x + 16, y, l, inkOn(), fontH());
            y += fontH() + 4;
        }
    }
};

// ---------------------------------------------------------------- palette

class PaletteDialog : public Dialog {
public:
    uint32_t original = 0;
    uint32_t result = 0;
    // Y, U, V and the key byte: glow and shadow keep their strength there.
    TgHandle sliders[4] = {0, 0, 0, 0};
    // The sliders go with the requester's panel: keep the colour first.
    void accept() override
    {
        result = chosen();
        Dialog::accept();
    }
    uint32_t chosen() const
    {
        Pixel p = pixelFromWord(original);
        auto val = [&](int i) {
            const Gadget *g = gadget(sliders[i]);
            return uint8_t(g ? std::clamp(g->value, 0, 255) : 0);
        };
        p.y = val(0);
        p.u = val(1);
        p.v = val(2);
        p.alpha = val(3);
        return pixelWord(p);
    }
    bool findText(const std::string &s, Rect, Rect &found) override { return buttonText(*this, s, found); }
    void draw(Canvas &c, Rect at) override
    {
        int y = at.y + 24 + fontH() + 4 * (rowH() + 8);
        Rect oldBox{at.x + 80, y, 120, rowH() + 8}, newBox{at.x + 210, y, 120, rowH() + 8};
        c.fill(oldBox, colorWordToRgb(original));
        c.frame(oldBox, Rgba{0, 0, 0, 255});
        c.fill(newBox, colorWordToRgb(chosen()));
        c.frame(newBox, Rgba{0, 0, 0, 255});
        c.text(at.x + 16, y + 4, "Was / now", inkOn(), fontH());
    }
};

} // namespace

std::string hostPath(const std::string &folder)
{
    const char *home = std::getenv("QVHOME");
    if (!home || !*home) return folder;
    std::string h = home;
    if (folder.rfind(h, 0) == 0) return folder;
    if (!folder.empty() && folder[0] != '/') return h + "/" + folder;
    return h + folder;
}

int32_t runTextRequest(TextRequest &request)
{
    TextDialog d;
    bool question = request.kind == TEXT_YESNO;
    d.title = question ? "Question" : "Information";
    d.lines = wrapText(request.text ? request.text : "", 420);
    int w = 460, h = 12 + fontH() + 8 + int(d.lines.size()) * (fontH() + 4) + 16 + rowH() + 12;
    Rect at = centred(SurfaceId::Screen, w, h);
    d.panel = createDialogPanel(SurfaceId::Screen, at);
    int by = h - rowH() - 12;
    if (question) {
        d.defaultButton = addButton(d, Rect{w - 232, by, 104, rowH()}, "Yes", [&d] { d.accept(); });
        d.cancelButton = addButton(d, Rect{w - 116, by, 104, rowH()}, "No", [&d] { d.cancel(); });
    } else {
        d.defaultButton = addButton(d, Rect{w - 116, by, 104, rowH()}, "OK", [&d] { d.accept(); });
    }
    runDialog(d);
    request.answer = d.accepted ? 1 : 0;
    return 0;
}

int32_t runPaletteRequest(PaletteRequest &request)
{
    PaletteDialog d;
    d.title = "Colour";
    d.original = request.color;
    Pixel p = pixelFromWord(request.color);
    int w = 400, h = 24 + fontH() + 4 * (rowH() + 8) + rowH() + 8 + 16 + rowH() + 12;
    Rect at = centred(SurfaceId::Screen, w, h);
    d.panel = createDialogPanel(SurfaceId::Screen, at);
    const char *labels[4] = {"Y", "U", "V", "Key"};
    uint8_t values[4] = {p.y, p.u, p.v, p.alpha};
    for (int i = 0; i < 4; ++i)
        d.sliders[i] = addSlider(d, Rect{60, 16 + fontH() + i * (rowH() + 8), w - 76, rowH()}, labels[i], values[i]);
    int by = h - rowH() - 12;
    d.defaultButton = addButton(d, Rect{w - 232, by, 104, rowH()}, "OK", [&d] { d.accept(); });
    d.cancelButton = addButton(d, Rect{w - 116, by, 104, rowH()}, "Cancel", [&d] { d.cancel(); });
    runDialog(d);
    if (d.accepted) request.color = d.result;
    request.status = d.accepted ? 1 : 0;
    return 0;
}

int32_t runArchivesRequest(ArchiveRequest &request)
{
    TextDialog d;
    d.title = request.title ? request.title : "Archives";
    d.lines = {"Load, save or delete an archive."};
    int w = 460, h = 12 + fontH() + 8 + fontH() + 4 + 16 + rowH() + 12;
    Rect at = centred(SurfaceId::Screen, w, h);
    d.panel = createDialogPanel(SurfaceId::Screen, at);
    uint32_t answer = 0;
    int by = h - rowH() - 12;
    const char *names[3] = {"Load", "Save", "Delete"};
    for (int i = 0; i < 3; ++i)
        addButton(d, Rect{12 + i * 110, by, 100, rowH()}, names[i], [&d, &answer, i] {
            answer = ARCHIVE_LOAD + uint32_t(i);
            d.accept();
        });
    d.cancelButton = addButton(d, Rect{w - 112, by, 100, rowH()}, "Cancel", [&d] { d.cancel(); });
    runDialog(d);
    request.answer = d.accepted ? answer : 0;
    return 0;
}

} // namespace hostgui
