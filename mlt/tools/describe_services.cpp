// Writes what MLT and Kdenlive read about the module's services, from the
// operators themselves: MLT's .yml service descriptions (melt -query) and
// Kdenlive's effect and composition descriptions.
//   describe_services OUT    writes OUT/zvops/*.yml and OUT/kdenlive/{effects,transitions}/*.xml
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "SettingsText.h"
#include "op_host.h"
#include "rgba.h"

namespace {

struct Service {
    const char *id;
    const char *op;
    bool transition;
    const char *title;
    const char *description;
};

const Service services[] = {
    {"zenvarth", "Zenvarth", true, "Zenvarth keyer",
     "Keys the B track over the A track: twelve keyer modes, edge choke, spill removal, effects, a matte view and "
     "presets."},
    {"quorvel", "Quorvel", true, "Quorvel", "Blends the B track with the A track over the composition's length."},
    {"tolmic", "Tolmic", false, "Tolmic", "Tolmic colour operator."},
    {"vashrel", "Vashrel", false, "Vashrel", "Vashrel colour operator."},
    {"plindor", "Plindor", false, "Plindor", "Plindor picture operator."},
    {"dremwick", "Dremwick", false, "Dremwick", "Dremwick picture operator."},
};

std::string yamlText(const std::string &s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string xmlText(const std::string &s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A colour property's default as its NAME.rgba twin takes it.
std::string rgbaText(const opsmlt::PropertyInfo &p)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08x", unsigned(opsmlt::rgbaDefault(p)));
    return buf;
}

const char *yamlType(const opsmlt::PropertyInfo &p)
{
    switch (p.kind) {
    case opsmlt::PropertyInfo::Slider:
    case opsmlt::PropertyInfo::Choice:
    case opsmlt::PropertyInfo::Number: return "integer";
    case opsmlt::PropertyInfo::Color: return "color";
    default: return "string";
    }
}

// Entry names of a choice: Zenvarth's keyer modes and effects by their
// names, others by the operator's own labels.
// Only the values within the property's range are offered.
std::vector<std::pair<int64_t, std::string>> entryNames(const opsmlt::PropertyInfo &p)
{
    std::vector<std::pair<int64_t, std::string>> names;
    auto add = [&](std::span<const zenvarth::ModeHelp> modes) {
        for (const auto &m : modes)
            if (m.value >= p.minimum && m.value <= p.maximum) names.emplace_back(m.value, m.name);
    };
    if (p.name == "keyerType") add(zenvarth::keyerModeHelp());
    else if (p.name == "effectType") add(zenvarth::effectHelp());
    else
        for (size_t i = 0; i < p.choices.size(); ++i) names.emplace_back(int64_t(i), p.choices[i]);
    return names;
}

void writeYaml(const std::string &path, const Service &s, const opsmlt::OperatorDescription &d)
{
    std::ofstream out(path);
    out << "schema_version: 7.0\ntype: " << (s.transition ? "transition" : "filter") << "\nidentifier: " << s.id
        << "\ntitle: " << yamlText(s.title) << "\nversion: 1\nlanguage: en\ntags:\n  - Video\ndescription: "
        << yamlText(s.description) << "\nparameters:\n";
    if (d.settingsRecord)
        out << "  - identifier: settings\n    argument: yes\n    title: Preset file\n    type: string\n"
               "    description: A settings record saved by ophost edit; the properties set beside it apply after it\n"
               "    mutable: yes\n";
    for (const opsmlt::PropertyInfo &p : d.properties) {
        out << "  - identifier: " << yamlText(p.name) << "\n    title: " << yamlText(p.name) << "\n    type: "
            << yamlType(p) << "\n    mutable: yes\n";
        if (p.kind == opsmlt::PropertyInfo::Slider || p.kind == opsmlt::PropertyInfo::Number ||
            p.kind == opsmlt::PropertyInfo::Color)
            out << "    animation: yes\n";
        if (p.hasRange) out << "    minimum: " << p.minimum << "\n    maximum: " << p.maximum << "\n";
        if (!p.defaultValue.empty()) out << "    default: " << yamlText(p.defaultValue) << "\n";
        std::string help = p.help;
        if (p.kind == opsmlt::PropertyInfo::Color) help += (help.empty() ? "" : " ") + std::string("(#RRGGBB or 0xYYUUVVAA)");
        if (p.kind == opsmlt::PropertyInfo::Rect) help += (help.empty() ? "" : " ") + std::string("(x,y,w,h)");
        const auto names = entryNames(p);
        if (!names.empty()) {
            out << "    values:\n";
            for (const auto &n : names) out << "      - " << yamlText(std::to_string(n.first) + " " + n.second) << "\n";
        }
        if (!help.empty()) out << "    description: " << yamlText(help) << "\n";
        if (p.kind == opsmlt::PropertyInfo::Color)
            out << "  - identifier: " << yamlText(p.name + opsmlt::RGBA_SUFFIX) << "\n    title: " << yamlText(p.name)
                << "\n    type: color\n    mutable: yes\n    animation: yes\n    default: " << yamlText(rgbaText(p))
                << "\n    description: " << yamlText(p.name + " as 0xRRGGBBAA (what colour pickers write); set to "
                                                   "its default it leaves " + p.name + " as it stands")
                << "\n";
    }
}

void writeKdenlive(const std::string &path, const Service &s, const opsmlt::OperatorDescription &d)
{
    std::ofstream out(path);
    const char *root = s.transition ? "transition" : "effect";
    out << "<?xml version=\"1.0\"?>\n<!DOCTYPE kpartgui>\n<" << root << " tag=\"" << s.id << "\" id=\"" << s.id
        << "\">\n    <name>" << xmlText(s.title) << "</name>\n    <description>" << xmlText(s.description)
        << "</description>\n    <author>zenvarth_ops</author>\n";
    if (d.settingsRecord)
        out << "    <parameter type=\"url\" name=\"settings\" filter=\"*\">\n"
               "        <name>Preset file</name>\n    </parameter>\n";
    for (const opsmlt::PropertyInfo &p : d.properties) {
        const auto names = entryNames(p);
        const std::string name = xmlText(p.name);
        if (!names.empty() && p.hasRange) {
            std::string list, display;
            for (size_t i = 0; i < names.size(); ++i) {
                list += (i ? ";" : "") + std::to_string(names[i].first);
                display += (i ? "," : "") + xmlText(names[i].second);
            }
            out << "    <parameter type=\"list\" name=\"" << name << "\" default=\"" << xmlText(p.defaultValue)
                << "\" paramlist=\"" << list << "\">\n        <paramlistdisplay>" << display << "</paramlistdisplay>\n";
        } else if ((p.kind == opsmlt::PropertyInfo::Slider || p.kind == opsmlt::PropertyInfo::Number) && p.hasRange) {
            out << "    <parameter type=\"constant\" name=\"" << name << "\" default=\"" << xmlText(p.defaultValue)
                << "\" min=\"" << p.minimum << "\" max=\"" << p.maximum << "\">\n";
        } else if (p.kind == opsmlt::PropertyInfo::Color) {
            // The pickers write 0xRRGGBBAA: they set the RGB twin of the property.
            out << "    <parameter type=\"color\" name=\"" << name << opsmlt::RGBA_SUFFIX << "\" default=\""
                << rgbaText(p) << "\" alpha=\"1\">\n";
        } else {
            continue;   // rectangles, points and the pattern name are set as properties
        }
        out << "        <name>" << name << "</name>\n";
        if (!p.help.empty()) out << "        <description>" << xmlText(p.help) << "</description>\n";
        out << "    </parameter>\n";
    }
    out << "</" << root << ">\n";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: describe_services OUT\n");
        return 2;
    }
    const std::string base = argv[1];
    for (const char *dir : {"", "/zvops", "/kdenlive", "/kdenlive/effects", "/kdenlive/transitions"})
        mkdir((base + dir).c_str(), 0755);
    for (const Service &s : services) {
        opsmlt::OperatorDescription d;
        std::string error;
        if (!opsmlt::describeOperator(s.op, d, error)) {
            std::fprintf(stderr, "describe_services: %s\n", error.c_str());
            return 1;
        }
        if (d.oneInput == s.transition) {
            std::fprintf(stderr, "describe_services: %s reads %s\n", s.op, d.oneInput ? "one input" : "two inputs");
            return 1;
        }
        writeYaml(base + "/zvops/" + (s.transition ? "transition_" : "filter_") + s.id + ".yml", s, d);
        writeKdenlive(base + "/kdenlive/" + (s.transition ? "transitions/" : "effects/") + s.id + ".xml", s, d);
    }
    return 0;
}
