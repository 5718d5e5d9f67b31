// The headless front end: input events read from a script, one command a
// line, with helpers that find a gadget by the text it shows.
#include <cctype>
#include <cstdio>
#include <deque>
#include <sstream>

#include "dialogs.h"
#include "frontend.h"
#include "hostgui/monitor_view.h"
#include "hostgui/registry.h"
#include "hostgui/surfaces.h"
#include "input.h"

namespace hostgui {

namespace {

std::vector<std::string> tokenize(const std::string &line, bool &ok)
{
    std::vector<std::string> out;
    ok = true;
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(uint8_t(line[i]))) {
            ++i;
            continue;
        }
        std::string tok;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size()) ++i;
                tok += line[i++];
            }
            if (i >= line.size()) ok = false;
            ++i;
        } else {
            while (i < line.size() && !std::isspace(uint8_t(line[i]))) tok += line[i++];
        }
        out.push_back(tok);
    }
    return out;
}

bool toInt(const std::string &s, int &v)
{
    if (s.empty()) return false;
    char *end = nullptr;
    long x = std::strtol(s.c_str(), &end, 0);
    if (*end || x < -1000000 || x > 1000000) return false;
    v = int(x);
    return true;
}

// ---------------------------------------------------------------- finding what shows a text

bool findText(const std::string &text, SurfaceId &surface, Rect &found)
{
    const PopupMenu &menu = popupMenu();
    if (menu.gadget) {
        if (const Gadget *g = gadget(menu.gadget)) {
            for (size_t i = 0; i < g->entries.size(); ++i)
                if (!g->entries[i].isPicture && g->entries[i].text == text) {
                    surface = panelSurface(g->panel);
                    found = Rect{menu.rect.x + 2, menu.rect.y + 2 + int(i) * menu.itemHeight, menu.rect.w - 4,
                                 menu.itemHeight};
                    return true;
                }
        }
    }
    if (Dialog *d = topDialog()) {
        if (d->findText(text, panelRectOnSurface(d->panel), found)) {
            surface = d->surface;
            return true;
        }
    }
    // Exact shown text first, then labels, then help texts of image buttons.
    for (int pass = 0; pass < 3; ++pass)
        for (const auto &[h, g] : gadgets()) {
            if (!gadgetVisible(g)) continue;
            bool hit = pass == 0 ? (g.kind != GADGET_SLIDER && shownText(g) == text)
                     : pass == 1 ? g.text == text
                                 : g.help == text;
            if (!hit) continue;
            surface = panelSurface(g.panel);
            found = gadgetRectOnSurface(g);
            return true;
        }
    return false;
}

bool sliderPoint(const std::string &label, int32_t value, SurfaceId &surface, int &fromX, int &toX, int &y)
{
    for (const auto &[h, g] : gadgets()) {
        if (g.kind != GADGET_SLIDER || !gadgetVisible(g) || g.text != label) continue;
        Rect r = gadgetRectOnSurface(g);
        Rect t = sliderTrack(r);
        surface = panelSurface(g.panel);
        fromX = sliderXFor(g, t, g.value);
        toX = sliderXFor(g, t, value);
        y = r.cy();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- the front end

class ScriptFrontEnd : public FrontEnd {
public:
    ScriptFrontEnd(const std::string &text, const std::string &name) : name_(name)
    {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) lines_.push_back(line);
    }

    bool wait(InputEvent &event) override
    {
        for (;;) {
            if (!pending_.empty()) {
                Item item = pending_.front();
                pending_.pop_front();
                if (item.deferred.empty()) {
                    event = item.event;
                    return true;
                }
                if (!run(item.deferred, item.line)) return fail();
                continue;
            }
            if (stopped_ || next_ >= lines_.size()) return false;
            size_t lineNo = ++next_;
            std::string line = lines_[lineNo - 1];
            size_t start = line.find_first_not_of(" \t\r");
            if (start == std::string::npos || line[start] == '#') continue;
            bool ok;
            std::vector<std::string> words = tokenize(line, ok);
            if (!ok) {
                error(lineNo, "unclosed quote");
                return fail();
            }
            if (!run(words, lineNo)) return fail();
        }
    }

    bool poll(InputEvent &event) override
    {
        // A script has no pending input between waits: its lines are the
        // events the host waits for.
        (void)event;
        return false;
    }

    void present() override {}

    bool answer(std::vector<std::string> &words, std::string &fault)
    {
        fault.clear();
        pending_.clear();   // events after the close are for no one
        while (!stopped_ && next_ < lines_.size()) {
            const size_t lineNo = ++next_;
            const std::string &line = lines_[lineNo - 1];
            const size_t start = line.find_first_not_of(" \t\r");
            if (start == std::string::npos || line[start] == '#') continue;
            bool ok;
            std::vector<std::string> w = tokenize(line, ok);
            if (!ok || w[0] != "answer") {
                error(lineNo, "the host asks a question here: answer it first");
                fault = name_ + ":" + std::to_string(lineNo) + ": not an answer";
                fail();
                return false;
            }
            words.assign(w.begin() + 1, w.end());
            return true;
        }
        return false;
    }

private:
    struct Item {
        InputEvent event;
        std::vector<std::string> deferred;
        size_t line = 0;
    };

    std::string name_;
    std::vector<std::string> lines_;
    size_t next_ = 0;
    bool stopped_ = false;
    std::deque<Item> pending_;

    bool fail()
    {
        stopped_ = true;
        pending_.clear();
        return false;
    }

    void error(size_t line, const std::string &what)
    {
        std::string msg = name_ + ":" + std::to_string(line) + ": " + what;
        std::fprintf(stderr, "%s\n", msg.c_str());
        addScriptError(msg);
    }

    void push(InputEvent::Type type, SurfaceId s, int x, int y)
    {
        Item it;
        it.event.type = type;
        it.event.surface = s;
        it.event.x = x;
        it.event.y = y;
        pending_.push_back(it);
    }

    void click(SurfaceId s, int x, int y)
    {
        push(InputEvent::MouseMove, s, x, y);
        push(InputEvent::MouseDown, s, x, y);
        push(InputEvent::MouseUp, s, x, y);
    }

    void drag(SurfaceId s, int x0, int y0, int x1, int y1)
    {
        push(InputEvent::MouseMove, s, x0, y0);
        push(InputEvent::MouseDown, s, x0, y0);
        for (int i = 1; i <= 4; ++i) push(InputEvent::MouseMove, s, x0 + (x1 - x0) * i / 4, y0 + (y1 - y0) * i / 4);
        push(InputEvent::MouseUp, s, x1, y1);
    }

    bool run(std::vector<std::string> w, size_t line)
    {
        SurfaceId s = SurfaceId::Screen;
        if (!w.empty() && w[0] == "monitor") {
            s = SurfaceId::Monitor;
            w.erase(w.begin());
        }
        if (w.empty()) {
            error(line, "missing command");
            return false;
        }
        const std::string &cmd = w[0];
        auto ints = [&](size_t n, int *v) {
            if (w.size() != n + 1) return false;
            for (size_t i = 0; i < n; ++i)
                if (!toInt(w[i + 1], v[i])) return false;
            return true;
        };
        int v[4];
        if (cmd == "click" || cmd == "down" || cmd == "up" || cmd == "move") {
            if (!ints(2, v)) return usage(line, cmd + " X Y");
            if (cmd == "click") click(s, v[0], v[1]);
            else push(cmd == "down" ? InputEvent::MouseDown : cmd == "up" ? InputEvent::MouseUp : InputEvent::MouseMove, s,
                      v[0], v[1]);
        } else if (cmd == "drag") {
            if (!ints(4, v)) return usage(line, "drag X1 Y1 X2 Y2");
            drag(s, v[0], v[1], v[2], v[3]);
        } else if (cmd == "wheel") {
            if (!ints(1, v)) return usage(line, "wheel N");
            Item it;
            it.event.type = InputEvent::Wheel;
            it.event.surface = s;
            it.event.x = hoverPoint().x;
            it.event.y = hoverPoint().y;
            it.event.amount = v[0];
            pending_.push_back(it);
        } else if (cmd == "key") {
            if (w.size() != 2) return usage(line, "key NAME");
            bool ok;
            uint32_t k = parseKeyName(w[1], ok);
            if (!ok) {
                error(line, "unknown key '" + w[1] + "'");
                return false;
            }
            Item it;
            it.event.type = InputEvent::Key;
            it.event.key = k;
            pending_.push_back(it);
        } else if (cmd == "type") {
            Item it;
            it.event.type = InputEvent::Text;
            for (size_t i = 1; i < w.size(); ++i) it.event.text += (i > 1 ? " " : "") + w[i];
            pending_.push_back(it);
        } else if (cmd == "close") {
            Item it;
            it.event.type = InputEvent::Close;
            pending_.push_back(it);
        } else if (cmd == "area") {
            if (!ints(4, v)) return usage(line, "area X Y W H");
            Item it;
            it.event.type = InputEvent::AreaSet;
            it.event.area = Rect{v[0], v[1], v[2], v[3]};
            pending_.push_back(it);
        } else if (cmd == "click-text" || cmd == "hover-text") {
            if (w.size() != 2) return usage(line, cmd + " \"TEXT\"");
            SurfaceId at;
            Rect r;
            if (!findText(w[1], at, r)) {
                error(line, "nothing shows the text \"" + w[1] + "\"");
                return false;
            }
            if (cmd == "click-text") click(at, r.cx(), r.cy());
            else push(InputEvent::MouseMove, at, r.cx(), r.cy());
        } else if (cmd == "click-handle") {
            int h;
            if (w.size() != 2 || !toInt(w[1], h)) return usage(line, "click-handle HANDLE");
            const Gadget *g = gadget(TgHandle(h));
            if (!g || !gadgetVisible(*g)) {
                error(line, "no gadget " + w[1] + " is shown");
                return false;
            }
            Rect r = gadgetRectOnSurface(*g);
            click(panelSurface(g->panel), r.cx(), r.cy());
        } else if (cmd == "set-slider") {
            int value;
            if (w.size() != 3 || !toInt(w[2], value)) return usage(line, "set-slider \"LABEL\" VALUE");
            SurfaceId at;
            int fromX, toX, y;
            if (!sliderPoint(w[1], value, at, fromX, toX, y)) {
                error(line, "no slider labelled \"" + w[1] + "\"");
                return false;
            }
            drag(at, fromX, y, toX, y);
        } else if (cmd == "pick") {
            if (w.size() != 3) return usage(line, "pick \"POPUP\" \"ENTRY\"");
            SurfaceId at;
            Rect r;
            if (!findText(w[1], at, r)) {
                error(line, "nothing shows the text \"" + w[1] + "\"");
                return false;
            }
            click(at, r.cx(), r.cy());
            // The entry is found once the menu is open.
            Item it;
            it.deferred = {"click-text", w[2]};
            it.line = line;
            pending_.push_back(it);
        } else if (cmd == "save") {
            if (w.size() != 3 || (w[1] != "screen" && w[1] != "monitor")) return usage(line, "save screen|monitor FILE");
            std::string err;
            if (!saveScreenshot(w[1] == "screen" ? SurfaceId::Screen : SurfaceId::Monitor, w[2], err)) {
                error(line, err);
                return false;
            }
        } else if (cmd == "check") {
            if (w.size() != 2) return usage(line, "check NAME");
            if (!runCheck(w[1])) {
                error(line, "no check handler for '" + w[1] + "'");
                return false;
            }
        } else if (cmd == "answer") {
            error(line, "answer: no question is asked here");
            return false;
        } else if (cmd == "view") {
            MonitorView view;
            if (w.size() != 2 || !parseMonitorView(w[1], view))
                return usage(line, "view composite|key|foreground|background");
            setMonitorView(view);
        } else if (cmd == "print") {
            std::string text;
            for (size_t i = 1; i < w.size(); ++i) text += (i > 1 ? " " : "") + w[i];
            std::printf("%s\n", text.c_str());
            std::fflush(stdout);
        } else {
            error(line, "unknown command '" + cmd + "'");
            return false;
        }
        return true;
    }

    bool usage(size_t line, const std::string &form)
    {
        error(line, "usage: " + form);
        return false;
    }
};

} // namespace

uint32_t parseKeyName(const std::string &name, bool &ok)
{
    ok = true;
    uint32_t quals = 0;
    std::string rest = name;
    for (;;) {
        size_t plus = rest.find('+');
        if (plus == std::string::npos || plus + 1 >= rest.size()) break;
        std::string q = rest.substr(0, plus);
        for (char &c : q) c = char(std::tolower(uint8_t(c)));
        if (q == "shift") quals |= KEY_SHIFT;
        else if (q == "alt") quals |= KEY_ALT;
        else if (q == "ctrl") quals |= KEY_CTRL;
        else break;
        rest = rest.substr(plus + 1);
    }
    static const std::pair<const char *, uint32_t> named[] = {
        {"escape", KEY_ESCAPE}, {"delete", KEY_DELETE}, {"backspace", KEY_BACKSPACE}, {"return", KEY_RETURN},
        {"enter", KEY_RETURN},  {"tab", KEY_TAB},       {"home", KEY_HOME},           {"end", KEY_END},
        {"pageup", KEY_PAGEUP}, {"pagedown", KEY_PAGEDOWN}, {"up", KEY_UP},           {"down", KEY_DOWN},
        {"left", KEY_LEFT},     {"right", KEY_RIGHT},   {"space", ' '}};
    if (rest.size() == 1) {
        uint8_t c = uint8_t(rest[0]);
        if (std::isupper(c)) {
            quals |= KEY_SHIFT;
            c = uint8_t(std::tolower(c));
        }
        return quals | c;
    }
    std::string lower = rest;
    for (char &c : lower) c = char(std::tolower(uint8_t(c)));
    for (auto &n : named)
        if (lower == n.first) return quals | n.second;
    if (lower.size() >= 2 && lower[0] == 'f') {
        int n = std::atoi(lower.c_str() + 1);
        if (n >= 1 && n <= 12) return quals | (KEY_F1 + uint32_t(n - 1));
    }
    ok = false;
    return 0;
}

bool scriptAnswer(std::vector<std::string> &words, std::string &fault)
{
    fault.clear();
    auto *script = dynamic_cast<ScriptFrontEnd *>(&frontEnd());
    return script && script->answer(words, fault);
}

std::unique_ptr<FrontEnd> makeScriptFrontEnd(const std::string &script, const std::string &name)
{
    return std::make_unique<ScriptFrontEnd>(script, name);
}

} // namespace hostgui
