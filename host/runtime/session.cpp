// Sessions: the default one, the current one, and the calls into an
// operator made on the current session.
#include "parts.h"

namespace hostrt {

namespace detail {

struct CallStack {
    // Innermost last: the host preview plays the section of the editor
    // that asked for it.
    std::vector<OperatorCall> calls;
};

} // namespace detail

namespace {

// The one pointer through which every host call finds its session: null
// while the default session is current.
Session *current = nullptr;

// The session a process has from its first use on (the host program and
// the tests use it). Made on first use, so that no other static's
// initialisation can reach it unmade.
Session &defaultSession()
{
    static Session session;
    return session;
}

} // namespace

Session::Session() : parts_(std::make_unique<detail::SessionParts>()) {}
Session::~Session() = default;

Session &currentSession() { return current ? *current : defaultSession(); }

UseSession::UseSession(Session &session) : previous_(current) { current = &session; }
UseSession::~UseSession() { current = previous_; }

namespace detail {

SessionParts &parts() { return currentSession().parts(); }

const OperatorCall *innermostCall()
{
    const auto &calls = parts().calls.get().calls;
    return calls.empty() ? nullptr : &calls.back();
}

} // namespace detail

FieldImage makeField(int width, int height, Pixel fill)
{
    FieldImage f;
    f.bufferWidth = f.width = int16_t(width);
    f.bufferHeight = f.height = int16_t(height);
    f.pixels.assign(size_t(width) * size_t(height), fill);
    return f;
}

FieldImage fieldFromPicture(const Picture &picture)
{
    FieldImage f;
    f.bufferWidth = picture.bufferWidth;
    f.bufferHeight = picture.bufferHeight;
    f.x = picture.x;
    f.y = picture.y;
    f.width = picture.width;
    f.height = picture.height;
    size_t n = size_t(picture.bufferWidth > 0 ? picture.bufferWidth : 0) *
               size_t(picture.bufferHeight > 0 ? picture.bufferHeight : 0);
    if (picture.pixels) f.pixels.assign(picture.pixels, picture.pixels + n);
    return f;
}

OperatorContext makeContext(uint16_t action, int32_t fieldNumber, uint32_t fieldCount)
{
    OperatorContext ctx{};
    ctx.action = action;
    ctx.fieldNumber = fieldNumber;
    ctx.fieldCount = fieldCount;
    ctx.previewScaleNum = 1;
    ctx.previewScaleDen = 1;
    ctx.verticalPermille = 1000;
    return ctx;
}

int32_t callOperator(OperatorActionFn action, OperatorContext &ctx)
{
    auto &calls = detail::parts().calls.get().calls;
    calls.push_back(detail::OperatorCall{action, ctx});
    int32_t result = action(&ctx);
    detail::parts().calls.get().calls.pop_back();
    detail::endCall();
    return result;
}

void resetSession()
{
    detail::resetFields();
    detail::resetScreenAnswers();
    detail::resetLog();
    detail::resetPictures();
}

} // namespace hostrt

// The toolkit the GUI calls act on: the current session's.
hostgui::Toolkit &hostgui::current() { return hostrt::detail::parts().toolkit; }
