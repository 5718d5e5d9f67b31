// The file requester (load, save, delete) and the picture requester built
// on it: a folder listing to choose from, a name field, and the checks
// before a name is handed back.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "dialogs.h"
#include "hostgui/registry.h"
#include "hostgui/settings.h"

namespace hostgui {

namespace fs = std::filesystem;

namespace {

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
    d.action = action;
    d.scan();
    for (size_t i = 0; i < d.names.size(); ++i)
        if (d.names[i] == d.name) d.select(int(d.folders.size() + i));
    int w = 460, h = 16 + fontH() + 8 + d.visibleRows * rowH() + 4 + 8 + rowH() + 8 + fontH() + 8 + rowH() + 12;
    Rect at = centred(SurfaceId::Screen, w, h);
    d.panel = createDialogPanel(SurfaceId::Screen, at);
    int by = h - rowH() - 12;
    addButton(d, Rect{12, by, 104, rowH()}, "Up", [&d] { d.up(); });
    d.defaultButton = addButton(d, Rect{w - 232, by, 104, rowH()}, action, [&d] { d.tryAccept(); });
    d.cancelButton = addButton(d, Rect{w - 116, by, 104, rowH()}, "Cancel", [&d] { d.cancel(); });
    runDialog(d);
    return d.accepted;
}
} // namespace

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

bool runPictureRequest(std::string &path, int32_t types)
{
    (void)types;
    FileDialog d;
    d.purpose = FILE_LOAD;
    d.extensions = {".png", ".pgm"};   // what the transfer library reads
    fs::path current(path);
    if (!path.empty() && current.has_parent_path()) {
        d.folder = current.parent_path().string();
        d.name = current.filename().string();
    } else {
        d.folder = settings().pictureFolder.empty() ? std::string(".") : settings().pictureFolder;
        d.name = path;
    }
    d.maxPath = 4096;
    if (!runFileDialog(d, "Choose")) return false;
    path = d.chosenPath;
    return true;
}

} // namespace hostgui
