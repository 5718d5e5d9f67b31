#include "ophost/params.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "SettingsText.h"
#include "hostrt/session.h"
#include "media/color_text.h"
#include "ophost/operators.h"

namespace ophost {

bool parseInt32(const std::string &text, int32_t &value)
{
    if (text.empty() || text.size() > 24) return false;
    size_t digits = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    int base = 10;
    if (text.size() > digits + 2 && text[digits] == '0' && (text[digits + 1] == 'x' || text[digits + 1] == 'X')) {
        base = 16;
        digits += 2;
    }
    if (digits >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[digits]))) return false;
    errno = 0;
    char *end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, base);
    if (errno != 0 || *end != '\0') return false;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = int32_t(v);
    return true;
}

static std::vector<std::string> splitCommas(const std::string &text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return parts;
}

std::string checkSetRectangles(const hostrt::LoadedOperator &op, const std::vector<std::string> &assignments,
                               int width, int fieldHeight, std::vector<std::string> &warnings)
{
    std::set<unsigned> given;
    for (const std::string &assignment : assignments) {
        SettingTarget target;
        if (resolveSettingName(op, assignment.substr(0, assignment.find('=')), target).empty() &&
            target.kind == SettingTarget::Parameter)
            given.insert(target.index);
    }
    for (const hostrt::ParamInfo &param : op.info().params) {
        if (param.kind != PARAM_RECT || !given.count(param.index)) continue;
        const auto *r = static_cast<const RectParam *>(param.record);
        // Partly off is the operator's to clip.
        if (!(int(r->x) + r->width <= 0 || int(r->y) + r->height <= 0 || r->x >= width || r->y >= fieldHeight))
            continue;
        const std::string what = "parameter " + std::to_string(param.index) + " (" +
                                 hostrt::paramKindName(param.kind) + "): " + formatParamValue(param) +
                                 " lies wholly off the " + std::to_string(width) + "x" +
                                 std::to_string(fieldHeight) + " field (x in pixels, y in field lines)";
        // A sample area (flags 0) off the picture has no colour to average;
        // a mask, source or destination off it is defined (nothing to move,
        // or everything outside a mask), but rarely meant.
        if (param.flags == 0) return what + "; there is nothing to sample there";
        warnings.push_back(what);
    }
    return {};
}

// #RRGGBB, #RRGGBBAA or rgb(R,G,B), converted as PNG pictures are.
static std::string setColorFromRgb(ColorParam &param, const std::string &which, const std::string &text)
{
    Pixel p{};
    std::string why = media::parseRgbColor(text, p);
    if (!why.empty()) return which + ": " + why;
    param.color = p;
    return {};
}

std::string formatParamValue(const hostrt::ParamInfo &param)
{
    char buf[64];
    switch (param.kind) {
    case PARAM_CHOICE:
        return std::to_string(static_cast<const ChoiceParam *>(param.record)->value);
    case PARAM_COLOR:
        std::snprintf(buf, sizeof buf, "0x%08X", pixelWord(static_cast<const ColorParam *>(param.record)->color));
        return buf;
    case PARAM_SLIDER:
        return std::to_string(static_cast<const SliderParam *>(param.record)->value);
    case PARAM_RECT: {
        const auto *r = static_cast<const RectParam *>(param.record);
        std::snprintf(buf, sizeof buf, "%d,%d,%d,%d", r->x, r->y, r->width, r->height);
        return buf;
    }
    default:
        return {};
    }
}

std::string setParamValue(const hostrt::ParamInfo &param, const std::string &text, bool force, std::string *note)
{
    const std::string which = "parameter " + std::to_string(param.index) + " (" + hostrt::paramKindName(param.kind) + ")";
    switch (param.kind) {
    case PARAM_SLIDER: {
        auto *s = static_cast<SliderParam *>(param.record);
        int32_t v = 0;
        if (!parseInt32(text, v)) return which + ": '" + text + "' is not a 32-bit integer";
        // The host keeps sliders in range unless forced; the operators do not check.
        if (!force && (int64_t(v) < int64_t(s->minimum) || int64_t(v) > int64_t(s->maximum)))
            return which + ": " + text + " is outside " + std::to_string(s->minimum) + ".." +
                   std::to_string(s->maximum) + " (--force takes it)";
        s->value = v;
        return {};
    }
    case PARAM_CHOICE: {
        auto *c = static_cast<ChoiceParam *>(param.record);
        int32_t v = 0;
        if (!parseInt32(text, v)) return which + ": '" + text + "' is not a 32-bit integer";
        if (v < 0) return which + ": " + text + " is not an entry";
        if (!force && !param.choiceEntries.empty() && size_t(v) >= param.choiceEntries.size())
            return which + ": " + text + " is not an entry (0.." + std::to_string(int(param.choiceEntries.size()) - 1) +
                   "; --force takes it)";
        c->value = uint32_t(v);
        return {};
    }
    case PARAM_COLOR: {
        auto *c = static_cast<ColorParam *>(param.record);
        if (media::looksLikeRgbColor(text)) return setColorFromRgb(*c, which, text);
        if (text.find(',') != std::string::npos) {
            auto parts = splitCommas(text);
            if (parts.size() != 4) return which + ": '" + text + "' is not y,u,v,a";
            int32_t v[4];
            for (int i = 0; i < 4; ++i)
                if (!parseInt32(parts[size_t(i)], v[i]) || v[i] < 0 || v[i] > 255)
                    return which + ": '" + parts[size_t(i)] + "' in '" + text + "' is not 0..255";
            c->color = Pixel{uint8_t(v[3]), uint8_t(v[2]), uint8_t(v[1]), uint8_t(v[0])};
            return {};
        }
        if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
            return which + ": '" + text + "' is not 0xYYUUVVAA, y,u,v,a, #RRGGBB, #RRGGBBAA or rgb(R,G,B)";
        errno = 0;
        char *end = nullptr;
        unsigned long long w = std::strtoull(text.c_str() + 2, &end, 16);
        if (errno != 0 || *end != '\0' || end == text.c_str() + 2 || w > 0xFFFFFFFFull)
            return which + ": '" + text + "' is not 0xYYUUVVAA or y,u,v,a";
        c->color = pixelFromWord(uint32_t(w));
        return {};
    }
    case PARAM_RECT: {
        auto *r = static_cast<RectParam *>(param.record);
        auto parts = splitCommas(text);
        if (parts.size() != 2 && parts.size() != 4) return which + ": '" + text + "' is not x,y or x,y,w,h";
        int32_t v[4] = {0, 0, r->width, r->height};
        for (size_t i = 0; i < parts.size(); ++i)
            if (!parseInt32(parts[i], v[i]) || v[i] < INT16_MIN || v[i] > INT16_MAX)
                return which + ": '" + parts[i] + "' in '" + text + "' is not a 16-bit integer";
        // A rectangle whose size cannot change (a destination takes its
        // source's) is only moved; one that can is kept within what the
        // operator offers (info shows it) unless forced.
        const bool fixedSize = r->minWidth == r->maxWidth && r->minHeight == r->maxHeight;
        if (fixedSize) {
            if (parts.size() == 4 && (v[2] != r->width || v[3] != r->height) && note)
                *note = which + ": size " + std::to_string(v[2]) + "x" + std::to_string(v[3]) +
                        " not taken; the size follows the operator (" + std::to_string(r->width) + "x" +
                        std::to_string(r->height) + " now)";
            v[2] = r->width;
            v[3] = r->height;
        } else if (!force &&
                   (v[2] < r->minWidth || v[2] > r->maxWidth || v[3] < r->minHeight || v[3] > r->maxHeight)) {
            return which + ": size " + std::to_string(v[2]) + "x" + std::to_string(v[3]) + " is outside " +
                   std::to_string(r->minWidth) + "x" + std::to_string(r->minHeight) + ".." +
                   std::to_string(r->maxWidth) + "x" + std::to_string(r->maxHeight) + " (--force takes it)";
        }
        r->x = int16_t(v[0]);
        r->y = int16_t(v[1]);
        r->width = int16_t(v[2]);
        r->height = int16_t(v[3]);
        return {};
    }
    case PARAM_BUTTON:
        return which + ": a button cannot be set";
    default:
        return which + ": unknown kind";
    }
}

std::string looseName(const std::string &name)
{
    std::string loose;
    for (unsigned char c : name)
        if (std::isalnum(c)) loose += char(std::tolower(c));
    return loose;
}

bool hasZenvarthRecord(const hostrt::LoadedOperator &op)
{
    const SettingsDescriptor *settings = op.info().settings;
    return settings && settings->block && settings->size == sizeof(ZenvarthSettings) &&
           looseName(op.info().name) == "zenvarth";
}

namespace {

struct Candidate {
    std::string shown;    // as the refusal lists it
    SettingTarget target;
};

// Every name `op` answers to: its parameters' labels, and for Zenvarth the
// settings-record fields.
std::vector<Candidate> settingCandidates(const hostrt::LoadedOperator &op)
{
    std::vector<Candidate> all;
    for (const hostrt::ParamInfo &p : op.info().params) {
        std::string label = hostLabelText(p.labelId);
        if (label.empty()) continue;
        SettingTarget t;
        t.kind = SettingTarget::Parameter;
        t.index = p.index;
        t.name = label;
        all.push_back({std::to_string(p.index) + " \"" + label + "\"", t});
    }
    if (hasZenvarthRecord(op)) {
        for (const zenvarth::SettingsField &f : zenvarth::settingsFields()) {
            if (f.kind == zenvarth::FieldKind::Reserved) continue;
            SettingTarget t;
            t.kind = SettingTarget::Field;
            t.field = &f;
            t.name = f.name;
            all.push_back({f.name, t});
        }
    }
    return all;
}

std::string listCandidates(const std::vector<const Candidate *> &list)
{
    std::string text;
    for (size_t i = 0; i < list.size(); ++i) text += (i ? ", " : "") + list[i]->shown;
    return text;
}

} // namespace

std::string resolveSettingName(const hostrt::LoadedOperator &op, const std::string &key, SettingTarget &target)
{
    const auto &params = op.info().params;
    if (!key.empty() && key.find_first_not_of("0123456789") == std::string::npos) {
        int32_t index = -1;
        if (!parseInt32(key, index) || index < 0 || size_t(index) >= params.size())
            return op.info().name + " has no parameter " + key + " (it has " + std::to_string(params.size()) + ")";
        target = SettingTarget{};
        target.kind = SettingTarget::Parameter;
        target.index = unsigned(index);
        target.name = hostLabelText(params[size_t(index)].labelId);
        return {};
    }
    const std::string loose = looseName(key);
    const std::vector<Candidate> all = settingCandidates(op);
    std::vector<const Candidate *> exact, prefix;
    for (const Candidate &c : all) {
        std::string name = looseName(c.target.name);
        if (name == loose) exact.push_back(&c);
        else if (!loose.empty() && name.compare(0, loose.size(), loose) == 0) prefix.push_back(&c);
    }
    const std::vector<const Candidate *> &found = exact.empty() ? prefix : exact;
    if (found.size() == 1) {
        target = found[0]->target;
        return {};
    }
    if (found.size() > 1) return "'" + key + "' is ambiguous in " + op.info().name + ": " + listCandidates(found);
    std::vector<const Candidate *> every;
    for (const Candidate &c : all) every.push_back(&c);
    std::string known = every.empty() ? "none; give the index" : listCandidates(every);
    return op.info().name + " has no parameter '" + key + "' (it has: " + known + ")";
}

std::string applySetting(hostrt::LoadedOperator &op, const std::string &assignment, bool force,
                         std::vector<std::string> *notes)
{
    size_t eq = assignment.find('=');
    if (eq == std::string::npos) return "--set '" + assignment + "': expected NAME=VALUE or N=VALUE";
    std::string key = assignment.substr(0, eq);
    SettingTarget target;
    std::string fault = resolveSettingName(op, key, target);
    if (!fault.empty()) return "--set '" + assignment + "': " + fault;
    const std::string value = assignment.substr(eq + 1);
    if (target.kind == SettingTarget::Field) {
        // Straight into the record, as --settings does: no action follows.
        fault = zenvarth::assignSettingsField(static_cast<uint8_t *>(op.info().settings->block), *target.field, value,
                                             force);
        return fault.empty() ? std::string() : "--set: " + fault;
    }
    std::string note;
    fault = setParamValue(op.info().params[target.index], value, force, &note);
    if (!fault.empty()) return "--set: " + fault;
    if (!note.empty() && notes) notes->push_back("--set " + note);
    // As after a user's edit: the operator hears which parameter changed.
    OperatorContext ctx = hostrt::makeContext(OPACT_PARAMETER);
    ctx.paramIndex = uint16_t(target.index);
    hostrt::callOperator(op.info().action, ctx);
    return {};
}

std::string applySetting(hostrt::LoadedOperator &op, const std::string &assignment)
{
    return applySetting(op, assignment, false);
}

std::string loadSettingsFile(hostrt::LoadedOperator &op, const std::string &path)
{
    const SettingsDescriptor *settings = op.info().settings;
    if (!settings) return "--settings: " + op.info().name + " has no settings record";
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return path + ": cannot open: " + std::strerror(errno);
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        return path + ": is a folder, not a settings file of " + std::to_string(settings->size) + " bytes";
    }
    std::vector<uint8_t> bytes(size_t(settings->size) + 1);
    size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
    const int readErrno = errno;
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return path + ": cannot read: " + std::strerror(readErrno);
    if (n != settings->size)
        return path + ": " + (n > settings->size ? "more than" : std::to_string(n) + " bytes, not") + " the " +
               std::to_string(settings->size) + " bytes of " + op.info().name + "'s settings record";
    std::memcpy(settings->block, bytes.data(), settings->size);
    return {};
}

} // namespace ophost
