// String and image resource sets by name, answering tarnres's calls: from
// the resource folders (host/resources and each operator's resources).
#include "contract/gui_calls.h"
#include "hostgui/gui.h"

extern "C" {

TgHandle resLoadStrings(const char *setName)
try {
    if (!setName) return 0;
    hostgui::StringTable table;
    if (!hostgui::loadStringTable(setName, table)) return 0;
    return hostgui::addStringSet(setName, std::move(table));
} catch (...) { return 0; }

const char *resGetString(TgHandle set, uint32_t id)
{
    const hostgui::StringTable *table = hostgui::stringSet(set);
    if (!table) return nullptr;
    auto text = table->find(id);
    return text == table->end() ? nullptr : text->second.c_str();
}

void resFreeStrings(TgHandle set) { hostgui::freeStringSet(set); }

TgHandle resLoadImages(const char *setName)
try {
    if (!setName) return 0;
    return hostgui::loadImageSet(setName);
} catch (...) { return 0; }

const Picture *resGetImage(TgHandle set, uint32_t id) { return hostgui::imageOf(set, id); }

void resFreeImages(TgHandle set) { hostgui::freeImageSet(set); }

} // extern "C"
