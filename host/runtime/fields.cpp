// The fields a session gives an operator and takes back, answering
// vendrel's calls: opGetField, opPutField and the host's version. No
// exception leaves a host call (here or in the other host libraries): the
// operator gets the call's failure answer instead.
#include "hostgui/monitor_view.h"
#include "contract/host_calls.h"
#include "parts.h"

namespace hostrt::detail {

struct Fields {
    FieldProvider inputs[2];
    PutHandler putHandler;
    PutTaker putTaker;   // used instead of putHandler while set
    std::vector<FieldImage> putFields;
    int32_t putResult = 0;
    int16_t standardWidth = 0, standardHeight = 0;
    bool standardSet = false;
    // The size of the fields of the inputs' clips, when a session gave them.
    int16_t clipWidth = 0, clipHeight = 0;
    int16_t lastFieldWidth = 0, lastFieldHeight = 0;
    int32_t opVersion = 4;
};

namespace {

Fields &fields() { return parts().fields.get(); }

size_t area(int16_t w, int16_t h) { return size_t(w > 0 ? w : 0) * size_t(h > 0 ? h : 0); }

} // namespace

void standardSize(int16_t &width, int16_t &height)
{
    const Fields &s = fields();
    width = s.lastFieldWidth;
    height = s.lastFieldHeight;
    if (s.standardSet) {
        width = s.standardWidth;
        height = s.standardHeight;
    } else if (s.clipWidth > 0 && s.clipHeight > 0) {
        width = s.clipWidth;
        height = s.clipHeight;
    }
}

void resetFields() { fields() = Fields{}; }

void swapPutHandlers(PutHandler &handler, PutTaker &taker)
{
    std::swap(fields().putHandler, handler);
    std::swap(fields().putTaker, taker);
}

} // namespace hostrt::detail

namespace hostrt {

using detail::fields;

void setInput(int input, FieldProvider provider)
{
    if (input == 0 || input == 1) fields().inputs[input] = std::move(provider);
}

void setInputFields(int input, std::vector<FieldImage> fields)
{
    // The standard picture size is the clip's field size unless a program
    // sets another.
    if (!fields.empty()) {
        detail::fields().clipWidth = fields.front().bufferWidth;
        detail::fields().clipHeight = fields.front().bufferHeight;
    }
    auto shared = std::make_shared<std::vector<FieldImage>>(std::move(fields));
    setInput(input, [shared](int32_t n, FieldImage &out) {
        if (n < 0 || size_t(n) >= shared->size()) return false;
        out = (*shared)[size_t(n)];
        return true;
    });
}

void clearInputs()
{
    fields().inputs[0] = nullptr;
    fields().inputs[1] = nullptr;
}

void setPutHandler(PutHandler handler) { fields().putHandler = std::move(handler); }
void setPutTaker(PutTaker taker) { fields().putTaker = std::move(taker); }
const std::vector<FieldImage> &putFields() { return fields().putFields; }
void clearPutFields() { fields().putFields.clear(); }
void setPutResult(int32_t result) { fields().putResult = result; }

void setStandardSize(int16_t bufferWidth, int16_t bufferHeight)
{
    fields().standardWidth = bufferWidth;
    fields().standardHeight = bufferHeight;
    fields().standardSet = true;
}

void setOpVersion(int32_t version) { fields().opVersion = version; }

} // namespace hostrt

using namespace hostrt;
using namespace hostrt::detail;

extern "C" {

Picture *opGetField(int32_t input, int32_t fieldNumber)
try {
    Fields &s = fields();
    if (input != 0 && input != 1) return nullptr;
    if (!s.inputs[input]) return nullptr;
    // The provider fills a vector kept from earlier pictures, and the
    // picture takes it over: the field's pixels are written once.
    FieldImage field;
    size_t likely = area(s.lastFieldWidth, s.lastFieldHeight);
    if (likely == 0) likely = s.standardSet ? area(s.standardWidth, s.standardHeight) : area(s.clipWidth, s.clipHeight);
    field.pixels = spareBuffer(likely);
    bool got = s.inputs[input](fieldNumber, field);
    if (!got || field.pixels.size() != area(field.bufferWidth, field.bufferHeight)) {
        keepSpare(std::move(field.pixels));
        return nullptr;
    }
    // Monitor 2's input views show the fields as fetched.
    hostgui::keepInputField(input, fieldNumber, field.bufferWidth, field.bufferHeight, field.pixels);
    Picture *p = adoptField(field);
    s.lastFieldWidth = field.bufferWidth;
    s.lastFieldHeight = field.bufferHeight;
    return p;
} catch (...) { return nullptr; }

int32_t opPutField(Picture *picture)
try {
    Fields &s = fields();
    std::vector<Pixel> *buffer = heldBuffer(picture);
    if (!buffer) return -1;
    int32_t result = s.putResult;
    if (s.putTaker) result = s.putTaker(*picture, *buffer);
    else if (s.putHandler) result = s.putHandler(*picture);
    else s.putFields.push_back(fieldFromPicture(*picture));
    releasePicture(picture);
    return result;
} catch (...) {
    releasePicture(picture);
    return -1;
}

int32_t opVersion(int32_t) { return fields().opVersion; }

} // extern "C"
