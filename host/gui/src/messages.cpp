// The message queues' traffic: posting, the log of every message posted,
// and waiting for the shown screen's next message.
#include <cstdio>
#include <cstring>

#include "frontend.h"
#include "hostgui/messages.h"
#include "hostgui/registry.h"
#include "hostgui/surfaces.h"
#include "input.h"
#include "hostgui/toolkit.h"

namespace hostgui {

struct Messages {
    uint32_t sequence = 0;
    std::vector<std::vector<uint8_t>> posted;
};

namespace {

Messages &msgs() { return current().messages.get(); }

// Nothing to wait on, or a fault: an end message so the caller's loop ends.
int32_t answerClose(void *message)
{
    if (message) {
        EditorMessage m{};
        m.kind = MSG_CLOSE;
        std::memcpy(message, &m, sizeof m);
    }
    return -1;
}

Queue *shownQueue()
{
    const Screen *s = topScreen();
    return s ? queue(s->queue) : nullptr;
}

} // namespace

uint32_t nextMessageSequence() { return ++msgs().sequence; }

bool post(TgHandle handle, const void *message)
{
    Queue *q = queue(handle);
    if (!q || !message) return false;
    if (int(q->messages.size()) >= q->capacity) {
        std::fprintf(stderr, "host GUI: message queue full, event dropped\n");
        return false;
    }
    const uint8_t *b = static_cast<const uint8_t *>(message);
    q->messages.emplace_back(b, b + q->size);
    auto &posted = msgs().posted;
    if (posted.size() < 100000) posted.emplace_back(b, b + q->size);
    return true;
}

int32_t receiveMessage(void *message, int32_t timeout)
try {
    waitForMessage();
    waitBegins();
    if (!topScreen() || !shownQueue()) return answerClose(message);
    auto ready = [] {
        Queue *q = shownQueue();
        return !q || !q->messages.empty();
    };
    if (timeout < 0) {
        if (!pumpUntil(ready) && !ready()) postClose();
    } else {
        InputEvent e;
        while (!ready() && frontEnd().poll(e)) dispatch(e);
        present();
    }
    Queue *q = shownQueue();
    if (!q || q->messages.empty()) return -1;
    if (message) std::memcpy(message, q->messages.front().data(), q->messages.front().size());
    q->messages.pop_front();
    messageDelivered();
    return 0;
} catch (...) {
    return answerClose(message);
}

const std::vector<std::vector<uint8_t>> &postedMessages() { return msgs().posted; }

void resetMessages()
{
    msgs().sequence = 0;
    msgs().posted.clear();
}

} // namespace hostgui
