// Everything the module does with the runtime's process-wide state lives in
// this file: the loaded libraries, their live records, the session's inputs,
// output, log and held pictures. One lock covers all of it.
#include "op_host.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "SettingsText.h"
#include "hostrt/loader.h"
#include "hostrt/session.h"
#include "ophost/fields.h"
#include "ophost/operators.h"
#include "ophost/params.h"
#include "ophost/run.h"

#ifndef OPS_MLT_OPERATOR_DIR
#define OPS_MLT_OPERATOR_DIR ""
#endif

namespace opsmlt {

namespace {

std::mutex &hostLock()
{
    static std::mutex lock;
    return lock;
}

// The bytes of every record an operator keeps, in the library's storage or
// a copy of it.
struct RecordBytes {
    std::vector<std::vector<uint8_t>> params;
    std::vector<uint8_t> settings;
};

size_t recordSize(uint16_t kind)
{
    switch (kind) {
    case PARAM_CHOICE: return sizeof(ChoiceParam);
    case PARAM_COLOR: return sizeof(ColorParam);
    case PARAM_SLIDER: return sizeof(SliderParam);
    case PARAM_RECT: return sizeof(RectParam);
    default: return sizeof(ButtonParam);
    }
}

struct Library {
    hostrt::LoadedOperator op;
    RecordBytes loaded;   // as GetOperatorInfo left them
    OperatorDescription description;
};

void saveRecords(const hostrt::LoadedOperator &op, RecordBytes &bytes)
{
    bytes.params.resize(op.info().params.size());
    for (size_t i = 0; i < op.info().params.size(); ++i) {
        const hostrt::ParamInfo &p = op.info().params[i];
        const auto *from = static_cast<const uint8_t *>(p.record);
        bytes.params[i].assign(from, from + recordSize(p.kind));
    }
    const SettingsDescriptor *s = op.info().settings;
    if (s && s->block) {
        const auto *from = static_cast<const uint8_t *>(s->block);
        bytes.settings.assign(from, from + s->size);
    } else {
        bytes.settings.clear();
    }
}

void restoreRecords(const hostrt::LoadedOperator &op, const RecordBytes &bytes)
{
    for (size_t i = 0; i < op.info().params.size() && i < bytes.params.size(); ++i)
        std::memcpy(op.info().params[i].record, bytes.params[i].data(), bytes.params[i].size());
    const SettingsDescriptor *s = op.info().settings;
    if (s && s->block && bytes.settings.size() == s->size) std::memcpy(s->block, bytes.settings.data(), s->size);
}

bool isFile(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string moduleFolder()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&moduleFolder), &info) || !info.dli_fname) return ".";
    // The repository may reach the module through a link: its own folder counts.
    char *real = realpath(info.dli_fname, nullptr);
    std::string path = real ? real : info.dli_fname;
    std::free(real);
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// OPHOST_PLUGIN_PATH first, then the build's operators beside the module's
// folder, then where an install under one prefix put them (beside it), then
// where a system install put them.
std::string findLibrary(const std::string &name)
{
    if (std::getenv("OPHOST_PLUGIN_PATH")) {
        std::string path = ophost::operatorLibraryPath(name);
        if (!path.empty()) return path;
    }
    for (const std::string &folder :
         {moduleFolder() + "/../bin", moduleFolder() + "/../zenvarth_ops", std::string(OPS_MLT_OPERATOR_DIR)}) {
        if (folder.empty()) continue;
        std::string path = folder + "/" + name + ".so";
        if (isFile(path)) return path;
    }
    return {};
}

PropertyInfo paramProperty(const hostrt::ParamInfo &p)
{
    PropertyInfo info;
    info.name = ophost::hostLabelText(p.labelId);
    info.defaultValue = ophost::formatParamValue(p);
    switch (p.kind) {
    case PARAM_SLIDER: {
        const auto *s = static_cast<const SliderParam *>(p.record);
        info.kind = PropertyInfo::Slider;
        info.minimum = s->minimum;
        info.maximum = s->maximum;
        info.hasRange = true;
        break;
    }
    case PARAM_CHOICE:
        info.kind = PropertyInfo::Choice;
        for (uint32_t id : p.choiceEntries) info.choices.push_back(ophost::hostLabelText(id));
        info.minimum = 0;
        info.maximum = int64_t(p.choiceEntries.size()) - 1;
        info.hasRange = !p.choiceEntries.empty();
        break;
    case PARAM_COLOR:
        info.kind = PropertyInfo::Color;
        info.colorDefault = pixelWord(static_cast<const ColorParam *>(p.record)->color);
        break;
    case PARAM_RECT: info.kind = PropertyInfo::Rect; break;
    default: info.kind = PropertyInfo::Button; break;
    }
    return info;
}

PropertyInfo fieldProperty(const zenvarth::SettingsField &f)
{
    PropertyInfo info;
    info.name = f.name;
    info.defaultValue = zenvarth::fieldDefaultText(f);
    if (const zenvarth::FieldHelp *help = zenvarth::fieldHelp(f.name)) info.help = help->meaning;
    switch (f.kind) {
    case zenvarth::FieldKind::Text: info.kind = PropertyInfo::Text; break;
    case zenvarth::FieldKind::Color:
        info.kind = PropertyInfo::Color;
        // The default as the property takes it, without the RGB note.
        info.colorDefault = f.hasDefault ? f.defaultValue : 0;
        if (f.hasDefault) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "0x%08X", unsigned(f.defaultValue));
            info.defaultValue = buf;
        }
        break;
    case zenvarth::FieldKind::Rect: info.kind = PropertyInfo::Rect; break;
    case zenvarth::FieldKind::Point: info.kind = PropertyInfo::Point; break;
    default:
        info.kind = PropertyInfo::Number;
        info.minimum = f.hasPanelRange ? f.panelMin : 0;
        info.maximum = f.hasPanelRange ? f.panelMax : int64_t(zenvarth::fieldMaxValue(f));
        info.hasRange = true;
        break;
    }
    return info;
}

OperatorDescription describe(const hostrt::LoadedOperator &op)
{
    OperatorDescription d;
    d.name = op.info().name;
    d.oneInput = op.info().oneInput;
    d.settingsRecord = ophost::hasZenvarthRecord(op);
    for (const hostrt::ParamInfo &p : op.info().params) {
        if (p.kind == PARAM_BUTTON) continue;
        PropertyInfo info = paramProperty(p);
        if (info.name.empty()) continue;
        d.properties.push_back(std::move(info));
    }
    if (d.settingsRecord)
        for (const zenvarth::SettingsField &f : zenvarth::settingsFields())
            if (f.kind != zenvarth::FieldKind::Reserved) d.properties.push_back(fieldProperty(f));
    for (PropertyInfo &info : d.properties) info.loose = ophost::looseName(info.name);
    return d;
}

// Loaded libraries by the name asked for; the lock is held.
Library *library(const std::string &name, std::string &error)
{
    static std::map<std::string, std::unique_ptr<Library>> loaded;
    auto it = loaded.find(name);
    if (it != loaded.end()) return it->second.get();
    std::string path = findLibrary(name);
    if (path.empty()) {
        error = "operator library " + name + ".so not found (set OPHOST_PLUGIN_PATH to its folder)";
        return nullptr;
    }
    auto lib = std::make_unique<Library>();
    if (!lib->op.open(path)) {
        error = lib->op.error();
        return nullptr;
    }
    saveRecords(lib->op, lib->loaded);
    lib->description = describe(lib->op);
    return loaded.emplace(name, std::move(lib)).first->second.get();
}

// Answers the operator's requests for input fields from a frame's two
// fields; the field's number picks the frame's field by the field order.
bool giveField(const Fields *in, const FrameJob &job, int32_t n, hostrt::FieldImage &out)
{
    if (!in || n < 2 * job.position || n > 2 * job.position + 1) return false;
    const std::vector<Pixel> &src = in->field[ophost::fieldParity(n, job.bottomFirst)];
    out.bufferWidth = out.width = int16_t(job.width);
    out.bufferHeight = out.height = int16_t(job.height / 2);
    out.x = out.y = 0;
    out.pixels.assign(src.begin(), src.end());
    return true;
}

} // namespace

bool describeOperator(const std::string &name, OperatorDescription &out, std::string &error)
{
    std::lock_guard<std::mutex> guard(hostLock());
    Library *lib = library(name, error);
    if (!lib) return false;
    out = lib->description;
    return true;
}

FrameResult renderFrame(const FrameJob &job)
{
    FrameResult result;
    std::lock_guard<std::mutex> guard(hostLock());
    Library *lib = library(job.op, result.error);
    if (!lib) return result;
    hostrt::LoadedOperator &op = lib->op;
    const OperatorActionFn action = op.info().action;

    hostrt::setLogListener([&result](const hostrt::LogLine &line) { result.log.push_back(ophost::formatLogLine(line)); });
    // Whatever the library holds now goes back after the frame.
    RecordBytes live;
    saveRecords(op, live);
    restoreRecords(op, lib->loaded);
    bool usageFault = false;
    std::string fault = ophost::applyParameterOptions(op, job.settingsFile, job.assignments, usageFault);
    std::vector<std::string> notes;
    if (fault.empty()) fault = ophost::checkSetRectangles(op, job.assignments, job.width, job.height / 2, notes);
    for (const std::string &note : notes) result.log.push_back(note);
    if (!fault.empty()) {
        result.refused.push_back(fault);
        restoreRecords(op, live);
        hostrt::setLogListener(nullptr);
        return result;
    }

    const int fieldW = job.width, fieldH = job.height / 2;
    const size_t fieldPixels = size_t(fieldW) * size_t(fieldH);
    const uint32_t fieldCount = uint32_t(job.length) * 2;
    hostrt::setInput(0, [&job](int32_t n, hostrt::FieldImage &f) { return giveField(job.in0, job, n, f); });
    if (job.in1) hostrt::setInput(1, [&job](int32_t n, hostrt::FieldImage &f) { return giveField(job.in1, job, n, f); });
    else hostrt::setInput(1, nullptr);
    hostrt::setStandardSize(int16_t(fieldW), int16_t(fieldH));
    hostrt::setVisibleArea(hostrt::VisibleArea{0, 0, int16_t(job.width), int16_t(job.height)});
    Fields rendered;
    int32_t current = 0;
    int puts = 0;
    std::string putError;
    hostrt::setPutTaker([&](const Picture &picture, std::vector<Pixel> &buffer) -> int32_t {
        ++puts;
        if (picture.bufferWidth != fieldW || picture.bufferHeight != fieldH || !picture.pixels) {
            if (putError.empty())
                putError = op.info().name + " handed back a " + std::to_string(picture.bufferWidth) + "x" +
                           std::to_string(picture.bufferHeight) + " picture for a " + std::to_string(fieldW) + "x" +
                           std::to_string(fieldH) + " field";
            return 0;
        }
        std::vector<Pixel> &slot = rendered.field[ophost::fieldParity(current, job.bottomFirst)];
        if (picture.pixels == buffer.data() && buffer.size() == fieldPixels) std::swap(slot, buffer);
        else slot.assign(picture.pixels, picture.pixels + fieldPixels);
        return 0;
    });

    OperatorContext ctx = hostrt::makeContext(OPACT_INIT, 0, fieldCount);
    hostrt::callOperator(action, ctx);
    result.held += hostrt::lastCallHeld();
    for (int k = 0; k < 2 && result.error.empty(); ++k) {
        current = 2 * job.position + k;
        puts = 0;
        ctx = hostrt::makeContext(OPACT_RENDER, current, fieldCount);
        const int32_t status = hostrt::callOperator(action, ctx);
        result.held += hostrt::lastCallHeld();
        const std::string where = "field " + std::to_string(current) + " of " + std::to_string(fieldCount);
        if (status == -1) result.error = op.info().name + ": the render of " + where + " failed";
        else if (!putError.empty()) result.error = putError;
        else if (puts == 0) result.error = op.info().name + ": the render of " + where + " handed back no field";
    }
    ctx = hostrt::makeContext(OPACT_RELEASE, 0, fieldCount);
    hostrt::callOperator(action, ctx);
    result.held += hostrt::lastCallHeld();

    hostrt::setPutTaker(nullptr);
    hostrt::setInput(0, nullptr);
    hostrt::setInput(1, nullptr);
    hostrt::setLogListener(nullptr);
    restoreRecords(op, live);
    if (result.error.empty()) {
        for (int f = 0; f < 2; ++f) std::swap(job.out->field[f], rendered.field[f]);
        result.rendered = true;
    }
    return result;
}

} // namespace opsmlt
