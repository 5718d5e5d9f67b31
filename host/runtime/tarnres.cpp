// tarnres: string and image resource sets by name, from host/resources.
#include "contract/gui_calls.h"
#include "hostgui/gui.h"

using hostgui::Gui;

extern "C" {

TgHandle resLoadStrings(const char *setName)
try {
    if (!setName) return 0;
    hostgui::StringSet set;
    set.name = setName;
    if (!hostgui::loadStringTable(set.name, set.table)) return 0;
    Gui &gui = Gui::get();
    TgHandle h = gui.newHandle();
    gui.stringSets[h] = std::move(set);
    return h;
} catch (...) { return 0; }

const char *resGetString(TgHandle set, uint32_t id)
{
    Gui &gui = Gui::get();
    auto it = gui.stringSets.find(set);
    if (it == gui.stringSets.end()) return nullptr;
    auto text = it->second.table.find(id);
    return text == it->second.table.end() ? nullptr : text->second.c_str();
}

void resFreeStrings(TgHandle set) { Gui::get().stringSets.erase(set); }

TgHandle resLoadImages(const char *setName)
try {
    if (!setName) return 0;
    Gui &gui = Gui::get();
    TgHandle h = gui.newHandle();
    hostgui::ImageSet &set = gui.imageSets[h];
    set.name = setName;
    if (!hostgui::loadIconSet(set.name, set.icons)) {
        gui.imageSets.erase(h);
        return 0;
    }
    return h;
} catch (...) { return 0; }

const Picture *resGetImage(TgHandle set, uint32_t id)
{
    Gui &gui = Gui::get();
    auto it = gui.imageSets.find(set);
    if (it == gui.imageSets.end()) return nullptr;
    auto icon = it->second.icons.find(id);
    if (icon == it->second.icons.end()) return nullptr;
    icon->second.picture.pixels = icon->second.pixels.data();
    return &icon->second.picture;
}

void resFreeImages(TgHandle set)
{
    Gui &gui = Gui::get();
    if (set != gui.guiResource) gui.imageSets.erase(set);
}

} // extern "C"
