// zvpreset: creates, shows and edits Zenvarth settings files (raw 224-byte
// copies of the settings record, the same files the editor's presets are)
// so that Zenvarth can be rendered with chosen settings without the editor.
//
//   zvpreset new FILE                       writes the defaults
//   zvpreset show FILE [--json]             prints every field by name
//   zvpreset set FILE [--force] NAME=VALUE… changes fields
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PresetFile.h"
#include "SettingsTable.h"

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
    "\n"
    "Creates, shows and edits Zenvarth settings files (224 bytes each).\n"
    "\n"
    "  new   writes a file holding the default settings (replacing FILE)\n"
    "  show  prints every field by name, or as one JSON object with --json\n"
    "  set   changes the named fields; a value outside the field's width is\n"
    "        refused, and one outside the range the settings panel offers is\n"
    "        refused unless --force is given. Nothing is written when any\n"
    "        assignment is refused.\n"
    "\n"
    "values: numbers in decimal or 0x hex; colours as 0xYYUUVVAA or y,u,v,a;\n"
    "        rectangles as x,y,w,h; moveTarget as x,y; patternName as text.\n";

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

void showPlain(const Record &record)
{
    for (const SettingsField &f : settingsFields()) {
        std::printf("%s=", f.name);
        switch (f.kind) {
        case FieldKind::Text:
            for (unsigned char c : patternText(record, f)) {
                if (c < 0x20 || c >= 0x7F || c == '\\') std::printf("\\x%02X", c);
                else std::putchar(c);
            }
            break;
        case FieldKind::Color:
            std::printf("%s", colorText(readUnsigned(record.data(), f)).c_str());
            break;
        case FieldKind::Unsigned:
        case FieldKind::Reserved:
            std::printf("%" PRIu32, readUnsigned(record.data(), f));
            break;
        case FieldKind::Rect: {
            SettingsRect r = readRect(record.data(), f);
            std::printf("%d,%d,%d,%d", r.x, r.y, r.width, r.height);
            break;
        }
        case FieldKind::Point: {
            SettingsRect r = readRect(record.data(), f);
            std::printf("%d,%d", r.x, r.y);
            break;
        }
        }
        std::putchar('\n');
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

void showJson(const Record &record)
{
    std::printf("{");
    const char *separator = "\n";
    for (const SettingsField &f : settingsFields()) {
        std::printf("%s  \"%s\": ", separator, f.name);
        separator = ",\n";
        switch (f.kind) {
        case FieldKind::Text:
            printJsonString(patternText(record, f));
            break;
        case FieldKind::Color: {
            Pixel p = pixelFromWord(readUnsigned(record.data(), f));
            std::printf("{\"y\": %u, \"u\": %u, \"v\": %u, \"alpha\": %u}", p.y, p.u, p.v, p.alpha);
            break;
        }
        case FieldKind::Unsigned:
        case FieldKind::Reserved:
            std::printf("%" PRIu32, readUnsigned(record.data(), f));
            break;
        case FieldKind::Rect: {
            SettingsRect r = readRect(record.data(), f);
            std::printf("{\"x\": %d, \"y\": %d, \"width\": %d, \"height\": %d}", r.x, r.y, r.width,
                        r.height);
            break;
        }
        case FieldKind::Point: {
            SettingsRect r = readRect(record.data(), f);
            std::printf("{\"x\": %d, \"y\": %d}", r.x, r.y);
            break;
        }
        }
    }
    std::printf("\n}\n");
}

// ---------------------------------------------------------------- parsing

// A whole decimal or 0x-hex number, optionally signed; false on anything else.
bool parseInteger(const std::string &text, int64_t &value)
{
    if (text.empty() || text.size() > 24) return false;
    const char *s = text.c_str();
    bool negative = false;
    if (*s == '-' || *s == '+') {
        negative = *s == '-';
        ++s;
    }
    int base = 10;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s += 2;
    }
    if (!*s) return false;
    uint64_t v = 0;
    for (; *s; ++s) {
        int digit;
        if (*s >= '0' && *s <= '9') digit = *s - '0';
        else if (base == 16 && *s >= 'a' && *s <= 'f') digit = *s - 'a' + 10;
        else if (base == 16 && *s >= 'A' && *s <= 'F') digit = *s - 'A' + 10;
        else return false;
        v = v * uint64_t(base) + uint64_t(digit);
        if (v > (uint64_t(1) << 40)) return false;
    }
    value = negative ? -int64_t(v) : int64_t(v);
    return true;
}

bool parseList(const std::string &text, size_t count, std::vector<int64_t> &values)
{
    values.clear();
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        int64_t v;
        if (!parseInteger(text.substr(start, comma - start), v)) return false;
        values.push_back(v);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return values.size() == count;
}

// Applies one NAME=VALUE to the record; returns an empty string or the
// reason it was refused.
std::string assign(Record &record, const std::string &assignment, bool force)
{
    size_t eq = assignment.find('=');
    if (eq == std::string::npos) return "'" + assignment + "' is not NAME=VALUE";
    std::string name = assignment.substr(0, eq);
    std::string value = assignment.substr(eq + 1);
    const SettingsField *field = findSettingsField(name.c_str());
    if (!field) return "unknown setting '" + name + "' (zvpreset show lists them)";
    const SettingsField &f = *field;
    char why[256];

    switch (f.kind) {
    case FieldKind::Reserved:
        return "'" + name + "' is reserved and never written";
    case FieldKind::Text:
        if (value.size() >= f.size) {
            std::snprintf(why, sizeof why, "%s: %zu bytes is too long (at most %u)", f.name,
                          value.size(), f.size - 1u);
            return why;
        }
        if (value.find('\0') != std::string::npos) return name + ": the text holds a NUL byte";
        std::memset(record.data() + f.offset, 0, f.size);
        std::memcpy(record.data() + f.offset, value.data(), value.size());
        return "";
    case FieldKind::Color: {
        std::vector<int64_t> parts;
        int64_t word;
        if (value.find(',') != std::string::npos) {
            if (!parseList(value, 4, parts))
                return name + ": '" + value + "' is not a colour (0xYYUUVVAA or y,u,v,a)";
            for (int64_t p : parts)
                if (p < 0 || p > 255) return name + ": each of y,u,v,a must be 0 to 255";
            word = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
        } else {
            if (!parseInteger(value, word))
                return name + ": '" + value + "' is not a colour (0xYYUUVVAA or y,u,v,a)";
            if (word < 0 || word > 0xFFFFFFFFll)
                return name + ": '" + value + "' does not fit the field's 4 bytes";
        }
        writeUnsigned(record.data(), f, uint32_t(word));
        return "";
    }
    case FieldKind::Unsigned: {
        int64_t v;
        if (!parseInteger(value, v)) return name + ": '" + value + "' is not a number";
        if (v < 0 || uint64_t(v) > fieldMaxValue(f)) {
            std::snprintf(why, sizeof why, "%s: %s is outside the field's width (0 to %" PRIu64 ")",
                          f.name, value.c_str(), fieldMaxValue(f));
            return why;
        }
        if (f.hasPanelRange && !force && (v < f.panelMin || v > f.panelMax)) {
            std::snprintf(why, sizeof why,
                          "%s: %s is outside the panel range %u to %u (--force stores it anyway)",
                          f.name, value.c_str(), f.panelMin, f.panelMax);
            return why;
        }
        writeUnsigned(record.data(), f, uint32_t(v));
        return "";
    }
    case FieldKind::Rect:
    case FieldKind::Point: {
        bool isRect = f.kind == FieldKind::Rect;
        std::vector<int64_t> parts;
        if (!parseList(value, isRect ? 4 : 2, parts))
            return name + ": '" + value + "' is not " + (isRect ? "x,y,w,h" : "x,y");
        for (int64_t p : parts)
            if (p < INT16_MIN || p > INT16_MAX)
                return name + ": each value must fit 16 bits (-32768 to 32767)";
        SettingsRect r{int16_t(parts[0]), int16_t(parts[1]), 0, 0};
        if (isRect) {
            r.width = int16_t(parts[2]);
            r.height = int16_t(parts[3]);
        }
        writeRect(record.data(), f, r);
        return "";
    }
    }
    return "unhandled field kind";
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
        std::string why = assign(record, a, force);
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
    return usageError("unknown command");
}
