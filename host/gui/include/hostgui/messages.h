// The editor's message queues: posting fixed-size messages and waiting for
// the shown screen's next one.
#pragma once

#include <cstdint>
#include <vector>

#include "contract/gui_calls.h"

namespace hostgui {

// Appends a copy of `message` (the queue's message size) to the queue;
// false when there is no such queue or it is full.
bool post(TgHandle queue, const void *message);
// Takes the shown screen's next message into `message`. A negative
// timeout waits for input until one comes; input that ends answers a close
// message. Otherwise only the input already waiting is handled. -1 when
// there is no message (with a close message when nothing can be waited on).
int32_t receiveMessage(void *message, int32_t timeout);
// Every message posted since the last reset, in order.
const std::vector<std::vector<uint8_t>> &postedMessages();

void resetMessages();

} // namespace hostgui
