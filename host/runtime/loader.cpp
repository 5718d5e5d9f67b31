#include <dlfcn.h>

#include <cstring>

#include "hostrt/loader.h"

namespace hostrt {

const char *paramKindName(uint16_t kind)
{
    switch (kind) {
    case PARAM_CHOICE: return "choice";
    case PARAM_COLOR: return "colour";
    case PARAM_SLIDER: return "slider";
    case PARAM_RECT: return "rectangle";
    case PARAM_BUTTON: return "button";
    default: return "unknown";
    }
}

static std::string hex(uintptr_t v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(v));
    return buf;
}

std::string readTagList(const TagWord *list, OperatorInfo &info)
{
    if (!list) return "GetOperatorInfo returned no tag list";
    info.params.clear();
    info.tagOrder.clear();
    info.action = nullptr;
    info.settings = nullptr;
    info.revision.clear();
    bool ended = false;
    std::vector<std::pair<unsigned, void *>> params;
    for (int pair = 0; pair < MAX_TAG_PAIRS; ++pair) {
        TagWord tag = list[2 * pair];
        if (tag == OPE_END) {
            ended = true;
            break;
        }
        TagWord value = list[2 * pair + 1];
        info.tagOrder.push_back(tag);
        if ((tag & ~TagWord(0xFF)) != 0x4F504500u) return "tag word " + hex(tag) + " is not a tag";
        if (tag == OPE_ATTRIBUTES) info.attributes = value;
        else if (tag == OPE_ONEINPUT) info.oneInput = value != 0;
        else if (tag == OPE_ACTION) info.action = reinterpret_cast<OperatorActionFn>(value);
        else if (tag == OPE_INTERFACE) info.interface = value;
        else if (tag == OPE_REVISION) {
            const char *text = reinterpret_cast<const char *>(value);
            if (text) info.revision.assign(text, strnlen(text, 256));
        } else if (tag == OPE_SETTINGS) {
            info.settings = reinterpret_cast<SettingsDescriptor *>(value);
        } else if (tag >= OPE_PARAM0 && tag < OPE_SETTINGS) {
            params.emplace_back(unsigned(tag - OPE_PARAM0), reinterpret_cast<void *>(value));
        }
    }
    if (!ended) return "no OPE_END within " + std::to_string(MAX_TAG_PAIRS) + " tag pairs";
    if (!info.action) return "the tag list has no OPE_ACTION";
    for (size_t i = 0; i < params.size(); ++i) {
        if (params[i].first != i)
            return "parameter tags are not dense (OPE_PARAM" + std::to_string(params[i].first) +
                   " at position " + std::to_string(i) + ")";
        if (!params[i].second) return "parameter " + std::to_string(i) + " has no record";
        const auto *header = static_cast<const ParamHeader *>(params[i].second);
        if (header->kind > PARAM_BUTTON)
            return "parameter " + std::to_string(i) + " has unknown kind " +
                   std::to_string(header->kind);
        ParamInfo p;
        p.index = unsigned(i);
        p.kind = header->kind;
        p.labelId = header->labelId;
        p.flags = header->flags;
        p.record = params[i].second;
        if (p.kind == PARAM_CHOICE) {
            const auto *choice = static_cast<const ChoiceParam *>(params[i].second);
            for (int e = 0; choice->entries && e < 64 && choice->entries[e] != 0; ++e)
                p.choiceEntries.push_back(choice->entries[e]);
        }
        info.params.push_back(std::move(p));
    }
    if (info.settings && (!info.settings->block || info.settings->size == 0))
        return "the settings descriptor has no block";
    return {};
}

LoadedOperator::LoadedOperator(LoadedOperator &&other) noexcept
    : handle_(other.handle_), info_(std::move(other.info_)), error_(std::move(other.error_))
{
    other.handle_ = nullptr;
}

LoadedOperator &LoadedOperator::operator=(LoadedOperator &&other) noexcept
{
    if (this != &other) {
        if (handle_) dlclose(handle_);
        handle_ = other.handle_;
        info_ = std::move(other.info_);
        error_ = std::move(other.error_);
        other.handle_ = nullptr;
    }
    return *this;
}

LoadedOperator::~LoadedOperator()
{
    if (handle_) dlclose(handle_);
}

static std::string baseName(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0) name.resize(name.size() - 3);
    return name;
}

bool LoadedOperator::open(const std::string &path)
{
    if (handle_) {
        dlclose(handle_);
        handle_ = nullptr;
    }
    info_ = OperatorInfo{};
    info_.path = path;
    info_.name = baseName(path);
    // RTLD_LOCAL keeps each operator's statics and symbols to itself.
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char *why = dlerror();
        error_ = path + ": cannot load: " + (why ? why : "unknown error");
        return false;
    }
    void *action = dlsym(handle_, "OperatorAction");
    void *getInfo = dlsym(handle_, "GetOperatorInfo");
    if (!action || !getInfo) {
        error_ = path + ": not an operator: it does not export " +
                 std::string(!action ? "OperatorAction" : "GetOperatorInfo");
        dlclose(handle_);
        handle_ = nullptr;
        return false;
    }
    info_.getInfo = reinterpret_cast<GetOperatorInfoFn>(getInfo);
    if (!refresh()) {
        dlclose(handle_);
        handle_ = nullptr;
        return false;
    }
    return true;
}

bool LoadedOperator::refresh()
{
    if (!info_.getInfo) {
        error_ = info_.path + ": not loaded";
        return false;
    }
    std::string fault = readTagList(info_.getInfo(), info_);
    if (!fault.empty()) {
        error_ = info_.path + ": bad tag list: " + fault;
        return false;
    }
    error_.clear();
    return true;
}

int32_t LoadedOperator::call(OperatorContext &ctx) const
{
    return info_.action ? info_.action(&ctx) : 0;
}

} // namespace hostrt
