// ophost info OP [--json]: the description read from the operator's tag list.
#include <cstdio>
#include <cstring>
#include <string>

#include "SettingsTable.h"
#include "command.h"
#include "ophost/options.h"
#include "media/color_text.h"
#include "ophost/operators.h"
#include "ophost/params.h"

namespace {

std::string tagName(TagWord tag)
{
    switch (tag) {
    case OPE_ATTRIBUTES: return "OPE_ATTRIBUTES";
    case OPE_ONEINPUT: return "OPE_ONEINPUT";
    case OPE_ACTION: return "OPE_ACTION";
    case OPE_SETTINGS: return "OPE_SETTINGS";
    case OPE_INTERFACE: return "OPE_INTERFACE";
    case OPE_REVISION: return "OPE_REVISION";
    default: break;
    }
    char buf[32];
    if (isParamTag(tag)) std::snprintf(buf, sizeof buf, "OPE_PARAM%u", unsigned(tag - OPE_PARAM0));
    else std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(tag));
    return buf;
}

std::string jsonString(const std::string &s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

// Kind-specific details: text form and JSON members.
void describeValue(const hostrt::ParamInfo &p, std::string &text, std::string &json)
{
    char buf[160];
    switch (p.kind) {
    case PARAM_CHOICE: {
        const auto *c = static_cast<const ChoiceParam *>(p.record);
        text = "value " + std::to_string(c->value) + "  entries";
        json = "\"value\": " + std::to_string(c->value) + ", \"entries\": [";
        for (size_t i = 0; i < p.choiceEntries.size(); ++i) {
            uint32_t id = p.choiceEntries[i];
            std::string label = ophost::hostLabelText(id);
            text += " " + std::to_string(i) + ":" + std::to_string(id) + (label.empty() ? "" : " \"" + label + "\"");
            json += (i ? ", " : "") + std::string("{\"labelId\": ") + std::to_string(id) +
                    ", \"labelText\": " + (label.empty() ? "null" : jsonString(label)) + "}";
        }
        json += "]";
        break;
    }
    case PARAM_COLOR: {
        Pixel px = static_cast<const ColorParam *>(p.record)->color;
        std::snprintf(buf, sizeof buf, "value 0x%08X (y %u, u %u, v %u, a %u)", pixelWord(px), px.y, px.u, px.v, px.alpha);
        text = buf;
        std::snprintf(buf, sizeof buf, "\"value\": \"0x%08X\", \"y\": %u, \"u\": %u, \"v\": %u, \"a\": %u", pixelWord(px),
                      px.y, px.u, px.v, px.alpha);
        json = buf;
        break;
    }
    case PARAM_SLIDER: {
        const auto *s = static_cast<const SliderParam *>(p.record);
        std::snprintf(buf, sizeof buf, "value %d  range %u..%u  (words %u, %u)", s->value, s->minimum, s->maximum, s->word8,
                      s->word12);
        text = buf;
        std::snprintf(buf, sizeof buf, "\"value\": %d, \"minimum\": %u, \"maximum\": %u, \"word8\": %u, \"word12\": %u",
                      s->value, s->minimum, s->maximum, s->word8, s->word12);
        json = buf;
        break;
    }
    case PARAM_RECT: {
        const auto *r = static_cast<const RectParam *>(p.record);
        std::snprintf(buf, sizeof buf, "value %d,%d,%d,%d (x,y,w,h)  size %dx%d..%dx%d", r->x, r->y, r->width, r->height,
                      r->minWidth, r->minHeight, r->maxWidth, r->maxHeight);
        text = buf;
        std::snprintf(buf, sizeof buf,
                      "\"x\": %d, \"y\": %d, \"width\": %d, \"height\": %d, \"minWidth\": %d, \"minHeight\": %d, "
                      "\"maxWidth\": %d, \"maxHeight\": %d",
                      r->x, r->y, r->width, r->height, r->minWidth, r->minHeight, r->maxWidth, r->maxHeight);
        json = buf;
        break;
    }
    default:
        text = "(no value)";
        json.clear();
        break;
    }
}

void printText(const hostrt::OperatorInfo &info)
{
    std::printf("%s\n", info.name.c_str());
    std::printf("  library     %s\n", info.path.c_str());
    std::printf("  revision    %s\n", info.revision.c_str());
    std::printf("  attributes  0x%lX\n", static_cast<unsigned long>(info.attributes));
    std::printf("  inputs      %s\n", info.oneInput ? "1 (input 0)" : "2 (inputs 0 and 1)");
    std::printf("  interface   %lu\n", static_cast<unsigned long>(info.interface));
    if (info.settings) std::printf("  settings    %u bytes\n", info.settings->size);
    else std::printf("  settings    none\n");
    std::printf("  tags       ");
    for (TagWord t : info.tagOrder) std::printf(" %s", tagName(t).c_str());
    std::printf("\n  parameters  %zu\n", info.params.size());
    for (const auto &p : info.params) {
        std::string label = ophost::hostLabelText(p.labelId);
        std::string text, json;
        describeValue(p, text, json);
        std::printf("    %u  %-9s  label %u%s  flags 0x%X  %s\n", p.index, hostrt::paramKindName(p.kind), p.labelId,
                    label.empty() ? "" : (" \"" + label + "\"").c_str(), p.flags, text.c_str());
    }
    bool settable = false;
    for (const auto &p : info.params) settable = settable || p.kind != PARAM_BUTTON;
    if (settable)
        std::printf("  set a parameter with render --set LABEL=VALUE or --set INDEX=VALUE\n");
}

// How a user sets Zenvarth's record: three ways, each named.
void printSettingsHowTo(const hostrt::LoadedOperator &op)
{
    if (!ophost::hasZenvarthRecord(op)) return;
    const ZenvarthSettings defaults = [] {
        ZenvarthSettings s = {};
        zenvarth::applyDefaultSettings(s);
        return s;
    }();
    std::printf("\nThe settings record (keyer, key colour, effects) is set\n"
                "  - field by field: ophost render %s --set FIELD=VALUE ... (after --settings;\n"
                "    colours also as #RRGGBB or rgb(R,G,B); --force for values outside the\n"
                "    editor's ranges; --sample-key auto takes keyColor from the footage)\n"
                "  - from a preset file: zvpreset new/set FILE, then --settings FILE\n"
                "  - interactively: ophost edit %s --in0 BG --in1 FG [--save-settings FILE]\n"
                "zvpreset fields lists every field. Defaults: keyerType=%u keyColor=0x%08X (%s) effectType=%u\n",
                op.info().name.c_str(), op.info().name.c_str(), defaults.keyerType, pixelWord(defaults.keyColor),
                media::formatRgbColor(defaults.keyColor).c_str(), defaults.effectType);
}

void printJson(const hostrt::OperatorInfo &info)
{
    std::printf("{\n  \"name\": %s,\n  \"library\": %s,\n  \"revision\": %s,\n", jsonString(info.name).c_str(),
                jsonString(info.path).c_str(), jsonString(info.revision).c_str());
    std::printf("  \"attributes\": %lu,\n  \"inputs\": %d,\n  \"interface\": %lu,\n",
                static_cast<unsigned long>(info.attributes), info.oneInput ? 1 : 2,
                static_cast<unsigned long>(info.interface));
    if (info.settings) std::printf("  \"settingsSize\": %u,\n", info.settings->size);
    else std::printf("  \"settingsSize\": null,\n");
    std::printf("  \"tags\": [");
    for (size_t i = 0; i < info.tagOrder.size(); ++i) std::printf("%s\"%s\"", i ? ", " : "", tagName(info.tagOrder[i]).c_str());
    std::printf("],\n  \"parameters\": [");
    for (size_t i = 0; i < info.params.size(); ++i) {
        const auto &p = info.params[i];
        std::string label = ophost::hostLabelText(p.labelId);
        std::string text, json;
        describeValue(p, text, json);
        std::printf("%s\n    {\"index\": %u, \"kind\": \"%s\", \"labelId\": %u, \"labelText\": %s, \"flags\": %u%s%s}",
                    i ? "," : "", p.index, hostrt::paramKindName(p.kind), p.labelId,
                    label.empty() ? "null" : jsonString(label).c_str(), p.flags, json.empty() ? "" : ", ",
                    json.c_str());
    }
    std::printf("%s]\n}\n", info.params.empty() ? "" : "\n  ");
}

int runInfo(int argc, char **argv)
{
    bool json = false;
    std::string name;
    const ophost::OptionTable table = {ophost::flag("--json", json, "the same as one JSON object")};
    std::vector<std::string> operands;
    const ophost::CommandHelp help = {"usage: ophost info OP [--json]\n\n"
                                      "Describes operator OP (a name, or a path to its library) from its tag list:\n"
                                      "attributes, inputs, interface, revision, the settings record size, and every\n"
                                      "parameter with its index, kind, label id and the host's text for it, flags,\n"
                                      "current value and range. render --set takes a parameter by its label or\n"
                                      "its index; for Zenvarth it also takes every settings field (zvpreset\n"
                                      "fields lists them).\n\n"};
    if (auto stop = ophost::parseCommand("info", argc, argv, table, help, {&operands, 1})) return *stop;
    if (!operands.empty()) name = operands[0];
    if (name.empty()) {
        std::fprintf(stderr, "ophost info: no operator given (usage: ophost info OP [--json])\n");
        return ophost::EXIT_USAGE;
    }
    hostrt::LoadedOperator op;
    std::string error;
    if (auto stop = ophost::openOperator("info", name, op)) return *stop;
    if (json) {
        printJson(op.info());
    } else {
        printText(op.info());
        printSettingsHowTo(op);
    }
    return ophost::EXIT_OK;
}

} // namespace

const ophost::Command ophost::INFO_COMMAND = {"info", "describe an operator: inputs, parameters, settings", runInfo};
