// The operator calls the runtime has in progress (callOperator), so that a
// host service called from inside one (the host preview) knows which
// operator and which section it serves.
#pragma once

#include <vector>

#include "contract/contract.h"

namespace hostrt::detail {

struct OperatorCall {
    OperatorActionFn action = nullptr;
    OperatorContext ctx{};
};

// Innermost call last.
std::vector<OperatorCall> &callsInProgress();

} // namespace hostrt::detail
