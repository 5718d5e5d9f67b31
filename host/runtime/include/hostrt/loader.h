// Opens an operator library and reads its tag list into a description.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "contract/contract.h"

namespace hostrt {

struct ParamInfo {
    unsigned index = 0;
    uint16_t kind = 0;
    uint16_t labelId = 0;
    uint32_t flags = 0;
    void *record = nullptr;       // the live record inside the library
    std::vector<uint32_t> choiceEntries;
};

struct OperatorInfo {
    std::string path;
    std::string name;             // file name without folder and ".so"
    uintptr_t attributes = 0;
    bool oneInput = false;
    uintptr_t interface = 0;
    std::string revision;
    OperatorActionFn action = nullptr;
    GetOperatorInfoFn getInfo = nullptr;
    std::vector<ParamInfo> params;
    SettingsDescriptor *settings = nullptr;
    std::vector<TagWord> tagOrder;  // the tags in list order
};

constexpr int MAX_TAG_PAIRS = 64;

// Reads a tag list already in memory. Returns an empty string on success or
// the fault found.
std::string readTagList(const TagWord *list, OperatorInfo &info);

class LoadedOperator {
public:
    LoadedOperator() = default;
    LoadedOperator(const LoadedOperator &) = delete;
    LoadedOperator &operator=(const LoadedOperator &) = delete;
    LoadedOperator(LoadedOperator &&other) noexcept;
    LoadedOperator &operator=(LoadedOperator &&other) noexcept;
    ~LoadedOperator();

    // Opens the library and reads its description. On failure returns false
    // and `error()` names the library and the fault.
    bool open(const std::string &path);
    const OperatorInfo &info() const { return info_; }
    const std::string &error() const { return error_; }
    // Calls GetOperatorInfo again and rereads the list.
    bool refresh();
    int32_t call(OperatorContext &ctx) const;

private:
    void *handle_ = nullptr;
    OperatorInfo info_;
    std::string error_;
};

const char *paramKindName(uint16_t kind);

} // namespace hostrt
