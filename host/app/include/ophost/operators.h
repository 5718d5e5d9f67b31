// Finding and loading operator libraries by name.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hostrt/loader.h"

namespace ophost {

// The folders searched for operators, in order: each folder of
// OPHOST_PLUGIN_PATH (colon-separated), then the folder of the running
// program (where the build puts the operators).
std::vector<std::string> pluginFolders();
std::string programFolder();

struct FoundOperator {
    std::string name;   // "Tolmic"
    std::string path;   // ".../Tolmic.so"
};

// Every NAME.so in the plugin folders (first one wins), sorted by name.
std::vector<FoundOperator> findOperators();

// The library for `name`: a path (contains '/' or ends in ".so") is taken as
// it is; otherwise NAME.so in the plugin folders, else the operator whose
// name differs only in case. Empty when not found.
std::string operatorLibraryPath(const std::string &name);
std::string caseInsensitiveOperatorPath(const std::string &name);

// The operator found whose name is nearest to `name` (a typing slip away),
// or empty; and the refusal of an unknown name that suggests it.
std::string nearestOperatorName(const std::string &name);
std::string unknownOperatorMessage(const std::string &name);

// Loads an operator by name or path. On failure `error` says why (unknown
// operator, or the loader's fault).
bool loadOperator(const std::string &name, hostrt::LoadedOperator &op, std::string &error);
// loadOperator for a command, its fault printed as "ophost COMMAND: ...":
// gives the usage status for an unknown name, the failure status for a
// library that does not load, and nothing once `op` is loaded.
std::optional<int> openOperator(const std::string &command, const std::string &name, hostrt::LoadedOperator &op);

// The host's text for a string-resource id; empty when unknown. The host's
// string tables plug in with setHostLabelSource.
std::string hostLabelText(uint32_t id);
void setHostLabelSource(std::function<std::string(uint32_t)> source);

} // namespace ophost
