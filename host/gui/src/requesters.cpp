// The modal requesters: text and yes/no, palette, file, archives, picture
// and area. Each is a panel of its own gadgets plus what it draws itself,
// and works by mouse, keys or script alike.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "hostgui/gui.h"

namespace hostgui {

namespace fs = std::filesystem;

namespace {

int fontH() { return Gui::get().settings.fontHeight; }
int rowH() { return Gui::get().settings.fontHeight + Gui::get().settings.addHeight + 4; }
Rgba inkOn() { return Rgba{240, 240, 240, 255}; }

std::vector<std::string> wrapText(const std::string &text, int width)
{
    std::vector<std::string> lines;
    std::string line, word;
    auto flushWord = [&] {
        if (word.empty()) return;
        std::string tryLine = line.empty() ? word : line + " " + word;
        if (!line.empty() && textWidth(tryLine, fontH()) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = tryLine;
        }
        word.clear();
    };
    for (char c : text) {
        if (c == '\n') {
            flushWord();
            lines.push_back(line);
            line.clear();
        } else if (c == ' ') {
            flushWord();
        } else {
            word += c;
        }
    }
    flushWord();
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}

Rect centred(SurfaceId s, int w, int h)
{
    Gui &gui = Gui::get();
    int sw = gui.surfaceWidth(s), sh = gui.surfaceHeight(s);
    return Rect{std::max(0, (sw - w) / 2), std::max(0, (sh - h) / 2), w, h};
}

TgHandle addButton(Dialog &d, Rect r, const std::string &text, std::function<void()> action)
{
    Gui &gui = Gui::get();
    uint32_t saved = gui.currentColor;
    gui.currentColor = gui.colorTable[1001];
    Gadget *g = gui.addGadget(d.panel, GADGET_TEXT_BUTTON, r);
    gui.currentColor = saved;
    g->text = text;
    g->onEvent = [action](Gadget &, int32_t) { action(); };
    return g->handle;
}

TgHandle addSlider(Dialog &d, Rect r, const std::string &label, int32_t value)
{
    Gui &gui = Gui::get();
    uint32_t saved = gui.currentColor;
    gui.currentColor = gui.colorTable[1001];
    Gadget *g = gui.addGadget(d.panel, GADGET_SLIDER, r);
    gui.currentColor = saved;
    g->text = label;
    g->minimum = 0;
    g->maximum = 255;
    g->value = value;
    g->onEvent = [](Gadget &, int32_t) {};
    return g->handle;
}

bool buttonText(Dialog &d, const std::string &text, Rect &found)
{
    Gui &gui = Gui::get();
    auto it = gui.panels.find(d.panel);
    if (it == gui.panels.end()) return false;
    for (TgHandle h : it->second.gadgets) {
        Gadget *g = gui.gadget(h);
        if (g && (g->text == text || gui.shownText(*g) == text)) {
            found = gui.gadgetRectOnSurface(*g);
            return true;
        }
    }
    return false;
}

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
        Gui &gui = Gui::get();
        Pixel p = pixelFromWord(original);
        auto val = [&](int i) {
            const Gadget *g = gui.gadget(sliders[i]);
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

// ---------------------------------------------------------------- files

class FileDialog : public Dialog {
public:
    std::string folder;
    std::string action;                    // the accept button's text
    uint32_t purpose = FILE_LOAD;
    std::vector<std::string> folders;      // listed first, shown as "name/"
    std::vector<std::string> names;
    std::vector<std::string> extensions;   // empty: every file
    int selected = -1;
    int scroll = 0;
    int visibleRows = 8;
    std::string name;
    std::string message;
    size_t maxPath = 256;
    std::string chosenPath;

    Rect listRect(Rect at) const { return Rect{at.x + 12, at.y + 16 + fontH() + 8, at.w - 24, visibleRows * rowH() + 4}; }
    Rect nameRect(Rect at) const
    {
        Rect l = listRect(at);
        return Rect{at.x + 80, l.y + l.h + 8, at.w - 92, rowH()};
    }

    int entryCount() const { return int(folders.size() + names.size()); }
    bool isFolder(int i) const { return i >= 0 && i < int(folders.size()); }
    std::string entryText(int i) const
    {
        return isFolder(i) ? folders[size_t(i)] + "/" : names[size_t(i) - folders.size()];
    }

    void scan()
    {
        folders.clear();
        names.clear();
        title = action + " a file in " + folder;
        std::error_code ec;
        for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
            std::error_code e2;
            std::string n = it->path().filename().string();
            if (it->is_directory(e2)) {
                if (n[0] != '.') folders.push_back(n);
                continue;
            }
            if (!it->is_regular_file(e2)) continue;
            if (!extensions.empty()) {
                std::string lower = n;
                for (char &ch : lower) ch = char(std::tolower(uint8_t(ch)));
                bool ok = false;
                for (const std::string &x : extensions)
                    if (lower.size() > x.size() && lower.compare(lower.size() - x.size(), x.size(), x) == 0) ok = true;
                if (!ok) continue;
            }
            names.push_back(n);
        }
        std::sort(folders.begin(), folders.end());
        std::sort(names.begin(), names.end());
    }

    // Lists another folder; the name typed or chosen so far is kept.
    void enter(const fs::path &to)
    {
        folder = to.lexically_normal().string();
        if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        scan();
        selected = -1;
        scroll = 0;
        message.clear();
    }

    void up()
    {
        std::error_code ec;
        fs::path current = fs::absolute(folder, ec).lexically_normal();
        if (ec) current = fs::path(folder).lexically_normal();
        if (!current.has_filename() && current.has_parent_path()) current = current.parent_path();
        enter(current.has_parent_path() ? current.parent_path() : current);
    }

    void select(int i)
    {
        if (i < 0 || i >= entryCount()) return;
        selected = i;
        if (!isFolder(i)) name = names[size_t(i) - folders.size()];
        if (selected < scroll) scroll = selected;
        if (selected >= scroll + visibleRows) scroll = selected - visibleRows + 1;
        message.clear();
    }

    void tryAccept()
    {
        if (isFolder(selected)) {
            enter(fs::path(folder) / folders[size_t(selected)]);
            return;
        }
        if (name.empty()) {
            message = "Choose a file first.";
            return;
        }
        if (name.find('/') != std::string::npos || name == "." || name == "..") {
            message = "A file name cannot contain '/'.";
            return;
        }
        if (purpose != FILE_SAVE && std::find(names.begin(), names.end(), name) == names.end()) {
            message = "There is no file \"" + name + "\" here.";
            return;
        }
        std::string path = (fs::path(folder) / name).string();
        if (path.size() + 1 > maxPath) {
            message = "The path is too long for the caller's buffer.";
            return;
        }
        chosenPath = path;
        accept();
    }

    bool mouse(const InputEvent &e, Rect at) override
    {
        Rect l = listRect(at);
        if (e.type == InputEvent::Wheel && l.contains(e.x, e.y)) {
            scroll = std::clamp(scroll - e.amount, 0, std::max(0, entryCount() - visibleRows));
            return true;
        }
        if (e.type == InputEvent::MouseDown && l.contains(e.x, e.y)) {
            select(scroll + (e.y - l.y - 2) / rowH());
            return true;
        }
        return false;
    }

    bool key(uint32_t k) override
    {
        uint32_t base = k & ~KEY_QUALIFIERS;
        if (base == KEY_UP) select(selected < 0 ? 0 : selected - 1);
        else if (base == KEY_DOWN) select(selected + 1);
        else if (base == KEY_BACKSPACE && purpose == FILE_SAVE) {
            if (!name.empty()) name.pop_back();
        } else if (base == KEY_RETURN) tryAccept();
        else return base < 0x80 && purpose == FILE_SAVE;   // printable keys go to the name field
        return true;
    }

    bool text(const std::string &s) override
    {
        if (purpose != FILE_SAVE) return false;
        for (char ch : s)
            if (uint8_t(ch) >= 32 && name.size() < 200) name += ch;
        message.clear();
        return true;
    }

    bool findText(const std::string &s, Rect at, Rect &found) override
    {
        if (buttonText(*this, s, found)) return true;
        Rect l = listRect(at);
        for (int i = scroll; i < entryCount() && i < scroll + visibleRows; ++i)
            if (entryText(i) == s) {
                found = Rect{l.x + 2, l.y + 2 + (i - scroll) * rowH(), l.w - 4, rowH()};
                return true;
            }
        return false;
    }

    void draw(Canvas &c, Rect at) override
    {
        Rect l = listRect(at);
        c.bevel(l, Rgba{40, 42, 48, 255}, false);
        for (int i = scroll; i < entryCount() && i < scroll + visibleRows; ++i) {
            Rect item{l.x + 2, l.y + 2 + (i - scroll) * rowH(), l.w - 4, rowH()};
            if (i == selected) c.fill(item, Rgba{52, 128, 210, 255});
            c.text(item.x + 6, item.y + (item.h - fontH()) / 2, entryText(i), inkOn(), fontH());
        }
        if (entryCount() == 0) c.text(l.x + 8, l.y + 6, "(no files)", Rgba{160, 160, 160, 255}, fontH());
        Rect n = nameRect(at);
        c.text(at.x + 12, n.y + (n.h - fontH()) / 2, "Name", inkOn(), fontH());
        c.bevel(n, purpose == FILE_SAVE ? Rgba{230, 230, 230, 255} : Rgba{150, 150, 150, 255}, false);
        c.text(n.x + 6, n.y + (n.h - fontH()) / 2, name + (purpose == FILE_SAVE ? "|" : ""), Rgba{16, 16, 16, 255},
               fontH());
        if (!message.empty())
            c.text(at.x + 12, n.y + n.h + 6, message, Rgba{255, 190, 120, 255}, fontH());
    }
};

bool runFileDialog(FileDialog &d, const std::string &action)
{
    Gui &gui = Gui::get();
    d.action = action;
    d.scan();
    for (size_t i = 0; i < d.names.size(); ++i)
        if (d.names[i] == d.name) d.select(int(d.folders.size() + i));
    int w = 460, h = 16 + fontH() + 8 + d.visibleRows * rowH() + 4 + 8 + rowH() + 8 + fontH() + 8 + rowH() + 12;
    Rect at = centred(SurfaceId::Screen, w, h);
    d.panel = gui.createDialogPanel(SurfaceId::Screen, at);
    int by = h - rowH() - 12;
    addButton(d, Rect{12, by, 104, rowH()}, "Up", [&d] { d.up(); });
    d.defaultButton = addButton(d, Rect{w - 232, by, 104, rowH()}, action, [&d] { d.tryAccept(); });
    d.cancelButton = addButton(d, Rect{w - 116, by, 104, rowH()}, "Cancel", [&d] { d.cancel(); });
    gui.runDialog(d, at);
    return d.accepted;
}

// ---------------------------------------------------------------- area

class AreaDialog : public Dialog {
public:
    RectParam rect{};
    // Set once the user has moved or resized the rectangle; until then OK
    // hands back the rectangle exactly as it came, even one larger than the
    // picture, which the limits below would otherwise have cut.
    bool changed = false;
    Rect dragStart;
    int grabX = 0, grabY = 0;
    enum { None, Move, Resize, Draw } mode = None;
    static constexpr int rowScale = 2;   // picture rows are fields: each shows on two lines

    bool resizable() const { return !(rect.minWidth == rect.maxWidth && rect.minHeight == rect.maxHeight); }

    void limit()
    {
        int minW = std::max<int>(1, rect.minWidth), minH = std::max<int>(1, rect.minHeight);
        int maxW = std::max<int>(minW, rect.maxWidth), maxH = std::max<int>(minH, rect.maxHeight);
        rect.width = int16_t(std::clamp<int>(rect.width, minW, maxW));
        rect.height = int16_t(std::clamp<int>(rect.height, minH, maxH));
        Gui &gui = Gui::get();
        int sw = gui.surfaceWidth(surface), sh = gui.surfaceHeight(surface) / rowScale;
        rect.x = int16_t(std::max(0, std::min<int>(rect.x, sw - rect.width)));
        rect.y = int16_t(std::max(0, std::min<int>(rect.y, sh - rect.height)));
    }

    Rect shown() const { return Rect{rect.x, rect.y * rowScale, rect.width, rect.height * rowScale}; }

    bool differs(const RectParam &other) const
    {
        return rect.x != other.x || rect.y != other.y || rect.width != other.width || rect.height != other.height;
    }

    void area(Rect r) override
    {
        changed = true;
        if (resizable()) {
            rect.width = int16_t(r.w);
            rect.height = int16_t(r.h);
        }
        rect.x = int16_t(r.x);
        rect.y = int16_t(r.y);
        limit();
    }

    bool mouse(const InputEvent &e, Rect) override
    {
        if (e.surface != surface) return false;
        Rect s = shown();
        int px = e.x, py = e.y / rowScale;
        const RectParam before = rect;
        if (e.type == InputEvent::MouseDown) {
            bool corner = std::abs(e.x - (s.x + s.w)) <= 8 && std::abs(e.y - (s.y + s.h)) <= 8;
            if (corner && resizable()) mode = Resize;
            else if (s.contains(e.x, e.y) || !resizable()) mode = Move;
            else {
                mode = Draw;
                rect.x = int16_t(px);
                rect.y = int16_t(py);
            }
            grabX = px - rect.x;
            grabY = py - rect.y;
            if (mode == Move && !s.contains(e.x, e.y)) grabX = rect.width / 2, grabY = rect.height / 2;
            dragStart = Rect{rect.x, rect.y, rect.width, rect.height};
        }
        if ((e.type == InputEvent::MouseMove || e.type == InputEvent::MouseDown || e.type == InputEvent::MouseUp) &&
            mode != None) {
            if (mode == Move) {
                rect.x = int16_t(px - grabX);
                rect.y = int16_t(py - grabY);
            } else if (mode == Resize) {
                rect.width = int16_t(px - rect.x);
                rect.height = int16_t(py - rect.y);
            } else {
                rect.x = int16_t(std::min(px, dragStart.x));
                rect.y = int16_t(std::min(py, dragStart.y));
                rect.width = int16_t(std::abs(px - dragStart.x));
                rect.height = int16_t(std::abs(py - dragStart.y));
            }
            limit();
            changed = changed || differs(before);
            if (e.type == InputEvent::MouseUp) mode = None;
            return true;
        }
        return false;
    }

    bool key(uint32_t k) override
    {
        uint32_t base = k & ~KEY_QUALIFIERS;
        bool size = (k & KEY_SHIFT) && resizable();
        int dx = base == KEY_LEFT ? -1 : base == KEY_RIGHT ? 1 : 0;
        int dy = base == KEY_UP ? -1 : base == KEY_DOWN ? 1 : 0;
        if (!dx && !dy) return false;
        const RectParam before = rect;
        if (size) {
            rect.width = int16_t(rect.width + dx);
            rect.height = int16_t(rect.height + dy);
        } else {
            rect.x = int16_t(rect.x + dx);
            rect.y = int16_t(rect.y + dy);
        }
        limit();
        changed = changed || differs(before);
        return true;
    }

    bool findText(const std::string &s, Rect, Rect &found) override { return buttonText(*this, s, found); }

    void draw(Canvas &c, Rect at) override
    {
        Rect s = shown();
        Rect saved = c.clip;
        for (int i = 0; i < s.w; ++i) {
            Rgba col = (i / 4) % 2 ? Rgba{0, 0, 0, 255} : Rgba{255, 230, 0, 255};
            c.fill(Rect{s.x + i, s.y, 1, 2}, col);
            c.fill(Rect{s.x + i, s.y + s.h - 2, 1, 2}, col);
        }
        for (int i = 0; i < s.h; ++i) {
            Rgba col = (i / 4) % 2 ? Rgba{0, 0, 0, 255} : Rgba{255, 230, 0, 255};
            c.fill(Rect{s.x, s.y + i, 2, 1}, col);
            c.fill(Rect{s.x + s.w - 2, s.y + i, 2, 1}, col);
        }
        if (resizable()) c.fill(Rect{s.x + s.w - 4, s.y + s.h - 4, 8, 8}, Rgba{255, 230, 0, 255});
        c.clip = saved;
        char buf[96];
        std::snprintf(buf, sizeof buf, "x %d  y %d  %d x %d", rect.x, rect.y, rect.width, rect.height);
        c.text(at.x + 12, at.y + (at.h - fontH()) / 2, buf, inkOn(), fontH());
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
    Gui &gui = Gui::get();
    TextDialog d;
    bool question = request.kind == TEXT_YESNO;
    d.title = question ? "Question" : "Information";
    d.lines = wrapText(request.text ? request.text : "", 420);
    int w = 460, h = 12 + fontH() + 8 + int(d.lines.size()) * (fontH() + 4) + 16 + rowH() + 12;
    Rect at = centred(SurfaceId::Screen, w, h);
    d.panel = gui.createDialogPanel(SurfaceId::Screen, at);
    int by = h - rowH() - 12;
    if (question) {
        d.defaultButton = addButton(d, Rect{w - 232, by, 104, rowH()}, "Yes", [&d] { d.accept(); });
        d.cancelButton = addButton(d, Rect{w - 116, by, 104, rowH()}, "No", [&d] { d.cancel(); });
    } else {
        d.defaultButton = addButton(d, Rect{w - 116, by, 104, rowH()}, "OK", [&d] { d.accept(); });
    }
    gui.runDialog(d, at);
    request.answer = d.accepted ? 1 : 0;
    return 0;
}

int32_t runPaletteRequest(PaletteRequest &request)
{
    Gui &gui = Gui::get();
    PaletteDialog d;
    d.title = "Colour";
    d.original = request.color;
    Pixel p = pixelFromWord(request.color);
    int w = 400, h = 24 + fontH() + 4 * (rowH() + 8) + rowH() + 8 + 16 + rowH() + 12;
    Rect at = centred(SurfaceId::Screen, w, h);
    d.panel = gui.createDialogPanel(SurfaceId::Screen, at);
    const char *labels[4] = {"Y", "U", "V", "Key"};
    uint8_t values[4] = {p.y, p.u, p.v, p.alpha};
    for (int i = 0; i < 4; ++i)
        d.sliders[i] = addSlider(d, Rect{60, 16 + fontH() + i * (rowH() + 8), w - 76, rowH()}, labels[i], values[i]);
    int by = h - rowH() - 12;
    d.defaultButton = addButton(d, Rect{w - 232, by, 104, rowH()}, "OK", [&d] { d.accept(); });
    d.cancelButton = addButton(d, Rect{w - 116, by, 104, rowH()}, "Cancel", [&d] { d.cancel(); });
    gui.runDialog(d, at);
    if (d.accepted) request.color = d.result;
    request.status = d.accepted ? 1 : 0;
    return 0;
}

int32_t runFileRequest(FileRequest &request)
{
    if (!request.path || request.pathSize == 0) return -1;
    FileDialog d;
    d.purpose = request.purpose;
    d.folder = hostPath(request.directory ? request.directory : ".");
    d.maxPath = request.pathSize;
    const char *action = request.purpose == FILE_SAVE ? "Save" : request.purpose == FILE_DELETE ? "Delete" : "Load";
    // The host's buffer remembers the last name chosen.
    if (request.hostBuffer && request.hostBufferSize)
        d.name.assign(request.hostBuffer, strnlen(request.hostBuffer, request.hostBufferSize));
    request.status = 0;
    if (!runFileDialog(d, action)) return 0;
    std::memcpy(request.path, d.chosenPath.c_str(), d.chosenPath.size() + 1);
    if (request.hostBuffer && request.hostBufferSize) {
        size_t n = std::min<size_t>(d.name.size(), size_t(request.hostBufferSize) - 1);
        std::memcpy(request.hostBuffer, d.name.data(), n);
        request.hostBuffer[n] = 0;
    }
    request.status = 1;
    return 0;
}

int32_t runArchivesRequest(ArchiveRequest &request)
{
    Gui &gui = Gui::get();
    TextDialog d;
    d.title = request.title ? request.title : "Archives";
    d.lines = {"Load, save or delete an archive."};
    int w = 460, h = 12 + fontH() + 8 + fontH() + 4 + 16 + rowH() + 12;
    Rect at = centred(SurfaceId::Screen, w, h);
    d.panel = gui.createDialogPanel(SurfaceId::Screen, at);
    uint32_t answer = 0;
    int by = h - rowH() - 12;
    const char *names[3] = {"Load", "Save", "Delete"};
    for (int i = 0; i < 3; ++i)
        addButton(d, Rect{12 + i * 110, by, 100, rowH()}, names[i], [&d, &answer, i] {
            answer = ARCHIVE_LOAD + uint32_t(i);
            d.accept();
        });
    d.cancelButton = addButton(d, Rect{w - 112, by, 100, rowH()}, "Cancel", [&d] { d.cancel(); });
    gui.runDialog(d, at);
    request.answer = d.accepted ? answer : 0;
    return 0;
}

bool runPictureRequest(std::string &path, int32_t types)
{
    (void)types;
    Gui &gui = Gui::get();
    FileDialog d;
    d.purpose = FILE_LOAD;
    d.extensions = {".png", ".pgm"};   // what the transfer library reads
    fs::path current(path);
    if (!path.empty() && current.has_parent_path()) {
        d.folder = current.parent_path().string();
        d.name = current.filename().string();
    } else {
        d.folder = gui.settings.pictureFolder.empty() ? std::string(".") : gui.settings.pictureFolder;
        d.name = path;
    }
    d.maxPath = 4096;
    if (!runFileDialog(d, "Choose")) return false;
    path = d.chosenPath;
    return true;
}

int32_t runAreaRequest(RectParam &rect)
{
    Gui &gui = Gui::get();
    AreaDialog d;
    d.rect = rect;
    // The picture lies on monitor 2, which the editor's screen itself is
    // when the GUI shows on the video monitor.
    d.surface = gui.settings.defaultMonitor == 1 || gui.screenStack.empty() ? SurfaceId::Monitor : SurfaceId::Screen;
    d.limit();
    int w = 420, h = rowH() + 16;
    int sw = gui.surfaceWidth(d.surface), sh = gui.surfaceHeight(d.surface);
    Rect at{std::max(0, (sw - w) / 2), std::max(0, sh - h - 8), w, h};
    d.panel = gui.createDialogPanel(d.surface, at);
    d.defaultButton = addButton(d, Rect{w - 200, 8, 90, rowH()}, "OK", [&d] { d.accept(); });
    d.cancelButton = addButton(d, Rect{w - 102, 8, 90, rowH()}, "Cancel", [&d] { d.cancel(); });
    gui.runDialog(d, at);
    if (!d.accepted) return 1;
    if (!d.changed) return 0;
    rect.x = d.rect.x;
    rect.y = d.rect.y;
    rect.width = d.rect.width;
    rect.height = d.rect.height;
    return 0;
}

} // namespace hostgui
