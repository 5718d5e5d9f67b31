// vendrel: fields for the operators, and the host's version. No exception
// leaves a host call (here or in the other host libraries): the operator
// gets the call's failure answer instead.
#include <cstring>

#include "contract/host_calls.h"
#include "state.h"

using namespace hostrt;
using namespace hostrt::detail;

extern "C" {

Picture *opGetField(int32_t input, int32_t fieldNumber)
try {
    State &s = state();
    if (input != 0 && input != 1) return nullptr;
    if (!s.inputs[input]) return nullptr;
    // The provider fills a vector kept from earlier pictures, and the
    // picture takes it over: the field's pixels are written once.
    FieldImage field;
    auto area = [](int16_t w, int16_t h) { return size_t(w > 0 ? w : 0) * size_t(h > 0 ? h : 0); };
    size_t likely = area(s.lastFieldWidth, s.lastFieldHeight);
    if (likely == 0) likely = s.standardSet ? area(s.standardWidth, s.standardHeight) : area(s.clipWidth, s.clipHeight);
    field.pixels = spareBuffer(likely);
    bool got = s.inputs[input](fieldNumber, field);
    size_t expected = size_t(field.bufferWidth > 0 ? field.bufferWidth : 0) *
                      size_t(field.bufferHeight > 0 ? field.bufferHeight : 0);
    if (!got || field.pixels.size() != expected) {
        keepSpare(std::move(field.pixels));
        return nullptr;
    }
    Picture *p = adoptField(field);
    s.lastFieldWidth = field.bufferWidth;
    s.lastFieldHeight = field.bufferHeight;
    return p;
} catch (...) { return nullptr; }

int32_t opPutField(Picture *picture)
try {
    State &s = state();
    auto it = picture ? s.held.find(picture) : s.held.end();
    if (it == s.held.end()) return -1;
    int32_t result = s.putResult;
    if (s.putTaker) result = s.putTaker(*picture, it->second->buffer);
    else if (s.putHandler) result = s.putHandler(*picture);
    else s.putFields.push_back(fieldFromPicture(*picture));
    releasePicture(picture);
    return result;
} catch (...) {
    hostrt::detail::releasePicture(picture);
    return -1;
}

int32_t opVersion(int32_t) { return state().opVersion; }

} // extern "C"
