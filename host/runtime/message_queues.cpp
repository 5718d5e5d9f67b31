// Message queues of fixed-size messages, answering tarnmsgq's calls.
#include "contract/gui_calls.h"
#include "hostgui/gui.h"

extern "C" {

TgHandle msgQCreate(int32_t count, int32_t size, int32_t) try {
    return hostgui::createQueue(count, size);
} catch (...) {
    return 0;
}

int32_t msgQSend(TgHandle queue, const void *message) try {
    return hostgui::post(queue, message) ? 0 : -1;
} catch (...) {
    return -1;
}

void msgQDelete(TgHandle queue) { hostgui::deleteQueue(queue); }

} // extern "C"
