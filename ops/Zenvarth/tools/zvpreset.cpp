// zvpreset: creates, shows and edits Zenvarth settings files (raw 224-byte
// copies of the settings record, the same files the editor's presets are)
// so that Zenvarth can be rendered with chosen settings without the editor.
//
//   zvpreset new FILE                       writes the defaults
//   zvpreset show FILE [--json]             prints every field by name
//   zvpreset set FILE [--force] NAME=VALUE… changes fields
//   zvpreset fields [--json]                what every field means
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PresetFile.h"
#include "SettingsTable.h"
#include "SettingsText.h"
#include "media/color_text.h"

using namespace zenvarth;

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

constexpr size_t RECORD_SIZE = sizeof(ZenvarthSettings);
using Record = std::vector<uint8_t>;

const char USAGE[] =
    "usage: zvpreset new FILE\n"
    "       zvpreset show FILE [--json]\n"
    "       zvpreset set FILE [--force] NAME=VALUE...\n"
    "       zvpreset fields [--json]\n"
    "\n"
    "Creates, shows and edits Zenvarth settings files (224 bytes each).\n"
    "\n"
    "  new   writes a file holding the default settings (replacing FILE)\n"
    "  show  prints every field by name, or as one JSON object with --json\n"
    "  set   changes the named fields; a value outside the field's width is\n"
    "        refused, and one outside the range the settings panel offers is\n"
    "        refused unless --force is given. Nothing is written when any\n"
    "        assignment is refused.\n"
    "  fields  lists every field: name, type, range, default, meaning and the\n"
    "        keyer modes or effects that use it (--json: one JSON array)\n"
    "\n"
    "values: numbers in decimal or 0x hex; colours as 0xYYUUVVAA or y,u,v,a\n"
    "        (Y, U, V bytes) or as #RRGGBB, #RRGGBBAA or rgb(R,G,B) (converted\n"
    "        by the BT.601 limited-range rule, as ophost converts PNG pictures);\n"
    "        rectangles as x,y,w,h (y and h in field lines); moveTarget as x,y;\n"
    "        patternName as text. ophost render Zenvarth --set NAME=VALUE takes\n"
    "        the same names and values.\n";

// ---------------------------------------------------------------- files

// Settings files are read and written by the same code as the editor's
// presets: only a regular file of exactly 224 bytes is read, and a write
// goes through a temporary file renamed over the old one, refusing targets
// that are not regular files it may write.
bool readRecord(const char *path, Record &record)
{
    char reason[PRESET_REASON_SIZE];
    record.assign(RECORD_SIZE, 0);
    if (readPresetFile(path, record.data(), reason, sizeof reason)) return true;
    std::fprintf(stderr, "zvpreset: %s\n", reason);
    return false;
}

bool writeRecord(const char *path, const Record &record)
{
    char reason[PRESET_REASON_SIZE];
    if (writePresetFile(path, record.data(), reason, sizeof reason)) return true;
    std::fprintf(stderr, "zvpreset: %s\n", reason);
    return false;
}

// ---------------------------------------------------------------- showing

std::string patternText(const Record &record, const SettingsField &f)
{
    const char *text = reinterpret_cast<const char *>(record.data() + f.offset);
    return std::string(text, strnlen(text, f.size));
}

std::string colorText(uint32_t word)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08" PRIX32, word);
    return buf;
}

// Colours in both forms: the stored word and the RGB a user would write.
void printColorPlain(uint32_t word)
{
    std::printf("%s (%s)", colorText(word).c_str(), media::formatRgbColor(pixelFromWord(word)).c_str());
}

void printColorJson(uint32_t word)
{
    Pixel p = pixelFromWord(word);
    std::printf("{\"y\": %u, \"u\": %u, \"v\": %u, \"alpha\": %u, \"rgb\": \"%s\"}", p.y, p.u, p.v, p.alpha,
                media::formatRgbColor(p).c_str());
}

// How one form (plain lines or JSON) prints each kind of field.
struct ShowForm {
    void (*text)(const std::string &text);
    void (*color)(uint32_t word);
    void (*rect)(SettingsRect r);
    void (*point)(SettingsRect r);
};

void printField(const Record &record, const SettingsField &f, const ShowForm &form)
{
    switch (f.kind) {
    case FieldKind::Text: form.text(patternText(record, f)); break;
    case FieldKind::Color: form.color(readUnsigned(record.data(), f)); break;
    case FieldKind::Unsigned:
    case FieldKind::Reserved: std::printf("%" PRIu32, readUnsigned(record.data(), f)); break;
    case FieldKind::Rect: form.rect(readRect(record.data(), f)); break;
    case FieldKind::Point: form.point(readRect(record.data(), f)); break;
    }
}

void printTextPlain(const std::string &text)
{
    for (unsigned char c : text) {
        if (c < 0x20 || c >= 0x7F || c == '\\') std::printf("\\x%02X", c);
        else std::putchar(c);
    }
}

// Bytes of the name are shown as Latin-1 characters.
void printJsonString(const std::string &text)
{
    std::putchar('"');
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') std::printf("\\%c", c);
        else if (c < 0x20 || c >= 0x7F) std::printf("\\u%04X", c);
        else std::putchar(c);
    }
    std::putchar('"');
}

const ShowForm PLAIN = {
    printTextPlain,
    printColorPlain,
    [](SettingsRect r) { std::printf("%d,%d,%d,%d", r.x, r.y, r.width, r.height); },
    [](SettingsRect r) { std::printf("%d,%d", r.x, r.y); },
};

const ShowForm JSON = {
    printJsonString,
    printColorJson,
    [](SettingsRect r) {
        std::printf("{\"x\": %d, \"y\": %d, \"width\": %d, \"height\": %d}", r.x, r.y, r.width, r.height);
    },
    [](SettingsRect r) { std::printf("{\"x\": %d, \"y\": %d}", r.x, r.y); },
};

void showPlain(const Record &record)
{
    for (const SettingsField &f : settingsFields()) {
        std::printf("%s=", f.name);
        printField(record, f, PLAIN);
        std::putchar('\n');
    }
}

void showJson(const Record &record)
{
    std::printf("{");
    const char *separator = "\n";
    for (const SettingsField &f : settingsFields()) {
        std::printf("%s  \"%s\": ", separator, f.name);
        separator = ",\n";
        printField(record, f, JSON);
    }
    std::printf("\n}\n");
}

// ---------------------------------------------------------------- commands

bool wantsHelp(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

int usageError(const char *message)
{
    std::fprintf(stderr, "zvpreset: %s\n\n%s", message, USAGE);
    return EXIT_USAGE;
}

int commandNew(int argc, char **argv)
{
    if (argc != 3) return usageError("new takes one FILE");
    ZenvarthSettings defaults = {};
    applyDefaultSettings(defaults);
    const auto *bytes = reinterpret_cast<const uint8_t *>(&defaults);
    return writeRecord(argv[2], Record(bytes, bytes + RECORD_SIZE)) ? EXIT_OK : EXIT_FAILED;
}

int commandShow(int argc, char **argv)
{
    const char *path = nullptr;
    bool json = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) json = true;
        else if (argv[i][0] == '-' && argv[i][1]) return usageError("show: unknown option");
        else if (path) return usageError("show takes one FILE");
        else path = argv[i];
    }
    if (!path) return usageError("show needs a FILE");
    Record record;
    if (!readRecord(path, record)) return EXIT_FAILED;
    if (json) showJson(record);
    else showPlain(record);
    return EXIT_OK;
}

int commandSet(int argc, char **argv)
{
    const char *path = nullptr;
    bool force = false;
    std::vector<std::string> assignments;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--force") == 0) force = true;
        else if (!path) path = argv[i];
        else assignments.push_back(argv[i]);
    }
    if (!path || assignments.empty()) return usageError("set needs a FILE and NAME=VALUE");
    Record record;
    if (!readRecord(path, record)) return EXIT_FAILED;
    bool refused = false;
    for (const std::string &a : assignments) {
        std::string why = assignSettingsText(record.data(), a, force);
        if (!why.empty()) {
            std::fprintf(stderr, "zvpreset: %s: %s\n", path, why.c_str());
            refused = true;
        }
    }
    if (refused) {
        std::fprintf(stderr, "zvpreset: %s left unchanged\n", path);
        return EXIT_FAILED;
    }
    return writeRecord(path, record) ? EXIT_OK : EXIT_FAILED;
}

// ---------------------------------------------------------------- fields

void listFieldsPlain()
{
    std::printf("%-21s %-8s %-18s %-22s %s\n", "NAME", "TYPE", "RANGE", "DEFAULT", "MEANING [USED BY]");
    for (const SettingsField &f : settingsFields()) {
        const FieldHelp *help = fieldHelp(f.name);
        std::printf("%-21s %-8s %-18s %-22s %s", f.name, fieldTypeText(f).c_str(), fieldRangeText(f).c_str(),
                    fieldDefaultText(f).c_str(), help ? help->meaning : "");
        if (help && help->usedBy[0]) std::printf(" [%s]", help->usedBy);
        std::putchar('\n');
    }
    std::printf("\nkeyerType:\n");
    for (const ModeHelp &m : keyerModeHelp())
        std::printf("  %2d  %-36s keys on %s; steered by %s\n", m.value, m.name, m.keysOn, m.fields);
    std::printf("effectType:\n");
    for (const ModeHelp &m : effectHelp()) std::printf("  %2d  %-36s %s; steered by %s\n", m.value, m.name, m.keysOn, m.fields);
}

void listFieldsJson()
{
    std::printf("[");
    const char *separator = "\n";
    for (const SettingsField &f : settingsFields()) {
        const FieldHelp *help = fieldHelp(f.name);
        std::printf("%s  {\"name\": ", separator);
        separator = ",\n";
        printJsonString(f.name);
        std::printf(", \"offset\": %u, \"size\": %u, \"type\": ", f.offset, f.size);
        printJsonString(fieldTypeText(f));
        std::printf(", \"range\": ");
        printJsonString(fieldRangeText(f));
        if (f.kind == FieldKind::Unsigned)
            std::printf(", \"minimum\": %u, \"maximum\": %" PRIu64, f.hasPanelRange ? f.panelMin : 0u,
                        f.hasPanelRange ? uint64_t(f.panelMax) : fieldMaxValue(f));
        std::printf(", \"default\": ");
        printJsonString(fieldDefaultText(f));
        std::printf(", \"meaning\": ");
        printJsonString(help ? help->meaning : "");
        std::printf(", \"usedBy\": ");
        printJsonString(help ? help->usedBy : "");
        std::printf("}");
    }
    std::printf("\n]\n");
}

int commandFields(int argc, char **argv)
{
    bool json = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) json = true;
        else return usageError("fields takes only --json");
    }
    if (json) listFieldsJson();
    else listFieldsPlain();
    return EXIT_OK;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) return usageError("no command given");
    if (wantsHelp(argc, argv)) {
        std::fputs(USAGE, stdout);
        return EXIT_OK;
    }
    const char *command = argv[1];
    if (std::strcmp(command, "new") == 0) return commandNew(argc, argv);
    if (std::strcmp(command, "show") == 0) return commandShow(argc, argv);
    if (std::strcmp(command, "set") == 0) return commandSet(argc, argv);
    if (std::strcmp(command, "fields") == 0) return commandFields(argc, argv);
    return usageError("unknown command");
}
