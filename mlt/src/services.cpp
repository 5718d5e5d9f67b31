// The operators as MLT services: two-input operators as transitions (A track
// input 0, B track input 1), one-input operators as filters. Each frame is
// asked for as packed 4:2:2, split into its two fields, rendered through the
// runtime (op_host) and joined back.
#include <framework/mlt.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "frames.h"
#include "op_host.h"
#include "ophost/params.h"
#include "rgba.h"

namespace opsmlt {

namespace {

// What a service instance keeps between frames (stored on its properties).
struct Instance {
    std::string op;
    OperatorDescription description;
    std::set<std::string> loose;   // property names the operator answers to
    std::string lastRefusal;
    long frames = 0, passed = 0;
    size_t held = 0;
    mlt_service service = nullptr;
};

void closeInstance(void *data)
{
    auto *instance = static_cast<Instance *>(data);
    if (instance->held)
        mlt_log_error(instance->service, "%s still held %zu picture(s) after its calls\n",
                      instance->description.name.c_str(), instance->held);
    mlt_log_info(instance->service, "%s: %ld frame(s) rendered, %ld passed through, %zu picture(s) held\n",
                 instance->description.name.c_str(), instance->frames, instance->passed, instance->held);
    delete instance;
}

Instance *instanceOf(mlt_properties properties) { return static_cast<Instance *>(mlt_properties_get_data(properties, "_opsmlt", nullptr)); }

// The value of property `name` at `position` of `length`, as ophost's --set
// takes it: keyframed numbers and colours evaluated, others as written.
std::string valueAt(mlt_properties properties, const char *name, const PropertyInfo &info, int position, int length)
{
    const char *raw = mlt_properties_get(properties, name);
    std::string text = raw ? raw : "";
    if (text.find('=') == std::string::npos) return text;
    switch (info.kind) {
    case PropertyInfo::Slider:
    case PropertyInfo::Choice:
    case PropertyInfo::Number:
        return std::to_string(mlt_properties_anim_get_int(properties, name, position, length));
    case PropertyInfo::Color:
        if (text.find('#') != std::string::npos) {
            mlt_color c = mlt_properties_anim_get_color(properties, name, position, length);
            char buf[16];
            std::snprintf(buf, sizeof buf, "#%02X%02X%02X%02X", c.r, c.g, c.b, c.a);
            return buf;
        }
        [[fallthrough]];
    default: {
        const char *v = mlt_properties_anim_get(properties, name, position, length);
        return v ? v : "";
    }
    }
}

// The colour NAME.rgba gives at `position`, as 0xRRGGBBAA; false with
// `why` when its value is not one or keyframes of one.
bool rgbaAt(mlt_properties properties, const char *name, int position, int length, uint32_t &rgba, std::string &why)
{
    const char *raw = mlt_properties_get(properties, name);
    const std::string text = raw ? raw : "";
    why = checkRgbaValue(text);
    if (!why.empty()) {
        why = std::string(name) + ": " + why;
        return false;
    }
    if (text.find('=') == std::string::npos) return parseRgba(text, rgba, why);
    const mlt_color c = mlt_properties_anim_get_color(properties, name, position, length);
    rgba = uint32_t(c.r) << 24 | uint32_t(c.g) << 16 | uint32_t(c.b) << 8 | c.a;
    return true;
}

// The job's settings file and assignments from the service's properties:
// the plain ones in order, then the NAME.rgba colours. Empty or the fault.
std::string collectAssignments(mlt_properties properties, const Instance &instance, int position, int length,
                               FrameJob &job)
{
    const char *settings = mlt_properties_get(properties, "settings");
    if (instance.description.settingsRecord && settings && *settings) job.settingsFile = settings;
    std::vector<std::string> rgbaAssignments;
    const int count = mlt_properties_count(properties);
    for (int i = 0; i < count; ++i) {
        const char *name = mlt_properties_get_name(properties, i);
        if (!name || name[0] == '_') continue;
        const std::string base = rgbaBase(name);
        const std::string loose = ophost::looseName(base.empty() ? name : base);
        if (!instance.loose.count(loose)) continue;
        for (const PropertyInfo &info : instance.description.properties) {
            if (info.loose != loose) continue;
            if (base.empty()) {
                job.assignments.push_back(std::string(name) + "=" + valueAt(properties, name, info, position, length));
            } else if (info.kind == PropertyInfo::Color) {
                uint32_t rgba = 0;
                std::string why;
                if (!rgbaAt(properties, name, position, length, rgba, why)) return why;
                std::string assignment = rgbaAssignment(info, rgba);
                if (!assignment.empty()) rgbaAssignments.push_back(std::move(assignment));
            } else {
                return std::string(name) + ": " + info.name + " is not a colour";
            }
            break;
        }
    }
    for (std::string &a : rgbaAssignments) job.assignments.push_back(std::move(a));
    return {};
}

// Renders one frame; false when it is to pass through unchanged.
bool render(mlt_service service, Instance &instance, mlt_frame frame, int position, int length, const Fields &in0,
            const Fields *in1, int width, int height, Fields &out)
{
    mlt_properties properties = MLT_SERVICE_PROPERTIES(service);
    mlt_properties frameProperties = MLT_FRAME_PROPERTIES(frame);
    FrameJob job;
    job.op = instance.op;
    job.width = width;
    job.height = height;
    job.bottomFirst = !mlt_properties_get_int(frameProperties, "progressive") &&
                      mlt_properties_exists(frameProperties, "top_field_first") &&
                      !mlt_properties_get_int(frameProperties, "top_field_first");
    job.position = position;
    job.length = length;
    job.in0 = &in0;
    job.in1 = in1;
    job.out = &out;
    mlt_service_lock(service);
    const std::string fault = collectAssignments(properties, instance, position, length, job);
    mlt_service_unlock(service);

    FrameResult result;
    if (fault.empty()) result = renderFrame(job);
    else result.refused.push_back(fault);
    const char *name = instance.description.name.c_str();
    for (const std::string &line : result.log) mlt_log_info(service, "%s: %s\n", name, line.c_str());
    instance.held += result.held;
    if (result.held) mlt_log_error(service, "%s still held %zu picture(s) after its calls\n", name, result.held);
    std::string refusal;
    for (const std::string &r : result.refused) refusal += (refusal.empty() ? "" : "; ") + r;
    if (refusal.empty()) refusal = result.error;
    if (result.rendered) {
        ++instance.frames;
        instance.lastRefusal.clear();
        return true;
    }
    ++instance.passed;
    if (refusal != instance.lastRefusal) {
        mlt_log_error(service, "%s: refused: %s\n", name, refusal.c_str());
        instance.lastRefusal = refusal;
    }
    mlt_log_warning(service, "%s: frame %d passed through unchanged\n", name, position);
    return false;
}

bool shapeFits(mlt_service service, const Instance &instance, int width, int height)
{
    if (width > 0 && height > 0 && width % 2 == 0 && height % 2 == 0 && width <= 32767 && height / 2 <= 32767) return true;
    mlt_log_warning(service, "%s: a %dx%d frame passes through unchanged (width and height must be even)\n",
                    instance.description.name.c_str(), width, height);
    return false;
}

void setKey(mlt_frame frame, const Instance &instance, const Fields &out, int width, int height)
{
    if (!instance.description.settingsRecord) return;
    const int size = width * height;
    auto *alpha = static_cast<uint8_t *>(mlt_pool_alloc(size));
    if (!alpha) return;
    keyFromFields(out, width, height, alpha);
    mlt_frame_set_alpha(frame, alpha, size, mlt_pool_release);
}

// ---- filters

int filterGetImage(mlt_frame frame, uint8_t **image, mlt_image_format *format, int *width, int *height, int)
{
    auto filter = static_cast<mlt_filter>(mlt_frame_pop_service(frame));
    *format = mlt_image_yuv422;
    int error = mlt_frame_get_image(frame, image, format, width, height, 1);
    if (error || *format != mlt_image_yuv422) return error;
    Instance &instance = *instanceOf(MLT_FILTER_PROPERTIES(filter));
    mlt_service service = MLT_FILTER_SERVICE(filter);
    if (!shapeFits(service, instance, *width, *height)) return 0;
    const int position = int(mlt_filter_get_position(filter, frame));
    const int length = int(mlt_filter_get_length2(filter, frame));
    Fields in, out;
    fieldsFromYuyv(*image, *width, *height, in);
    if (!render(service, instance, frame, position, length > 0 ? length : position + 1, in, nullptr, *width, *height,
                out))
        return 0;
    fieldsToYuyv(out, *width, *height, *image);
    setKey(frame, instance, out, *width, *height);
    return 0;
}

mlt_frame filterProcess(mlt_filter filter, mlt_frame frame)
{
    mlt_frame_push_service(frame, filter);
    mlt_frame_push_get_image(frame, filterGetImage);
    return frame;
}

// ---- transitions

int transitionGetImage(mlt_frame aFrame, uint8_t **image, mlt_image_format *format, int *width, int *height, int)
{
    // One stack, last in first out: the B frame above the transition.
    mlt_frame bFrame = mlt_frame_pop_frame(aFrame);
    auto transition = static_cast<mlt_transition>(mlt_frame_pop_service(aFrame));
    *format = mlt_image_yuv422;
    int error = mlt_frame_get_image(aFrame, image, format, width, height, 1);
    if (error || *format != mlt_image_yuv422) return error;
    Instance &instance = *instanceOf(MLT_TRANSITION_PROPERTIES(transition));
    mlt_service service = MLT_TRANSITION_SERVICE(transition);
    if (!shapeFits(service, instance, *width, *height)) return 0;
    uint8_t *bImage = nullptr;
    mlt_image_format bFormat = mlt_image_yuv422;
    int bWidth = *width, bHeight = *height;
    if (mlt_frame_get_image(bFrame, &bImage, &bFormat, &bWidth, &bHeight, 0) || bFormat != mlt_image_yuv422 ||
        bWidth != *width || bHeight != *height) {
        mlt_log_warning(service, "%s: the B track's frame is not a %dx%d 4:2:2 picture; the A track passes through\n",
                        instance.description.name.c_str(), *width, *height);
        return 0;
    }
    const int position = int(mlt_transition_get_position(transition, aFrame));
    const int length = int(mlt_transition_get_length(transition));
    Fields in0, in1, out;
    fieldsFromYuyv(*image, *width, *height, in0);
    fieldsFromYuyv(bImage, *width, *height, in1);
    if (!render(service, instance, aFrame, position, length > 0 ? length : position + 1, in0, &in1, *width, *height,
                out))
        return 0;
    fieldsToYuyv(out, *width, *height, *image);
    setKey(aFrame, instance, out, *width, *height);
    return 0;
}

mlt_frame transitionProcess(mlt_transition transition, mlt_frame aFrame, mlt_frame bFrame)
{
    mlt_frame_push_service(aFrame, transition);
    mlt_frame_push_frame(aFrame, bFrame);
    mlt_frame_push_get_image(aFrame, transitionGetImage);
    return aFrame;
}

// The operator library behind each service id.
const char *operatorFor(const char *id)
{
    static const char *const names[][2] = {{"zenvarth", "Zenvarth"}, {"quorvel", "Quorvel"}, {"tolmic", "Tolmic"},
                                           {"vashrel", "Vashrel"},   {"plindor", "Plindor"}, {"dremwick", "Dremwick"}};
    for (const auto &n : names)
        if (id && std::strcmp(id, n[0]) == 0) return n[1];
    return nullptr;
}

Instance *newInstance(mlt_service service, mlt_properties properties, const char *id, const char *arg)
{
    const char *op = operatorFor(id);
    if (!op) return nullptr;
    auto *instance = new Instance;
    instance->op = op;
    instance->service = service;
    std::string error;
    if (!describeOperator(op, instance->description, error)) {
        mlt_log_error(service, "%s: %s\n", id, error.c_str());
        delete instance;
        return nullptr;
    }
    for (const PropertyInfo &p : instance->description.properties) instance->loose.insert(p.loose);
    mlt_properties_set_data(properties, "_opsmlt", instance, 0, closeInstance, nullptr);
    if (arg && *arg && instance->description.settingsRecord) mlt_properties_set(properties, "settings", arg);
    return instance;
}

} // namespace

} // namespace opsmlt

using namespace opsmlt;

extern "C" {

static void *filterInit(mlt_profile, mlt_service_type, const char *id, char *arg)
{
    mlt_filter filter = mlt_filter_new();
    if (!filter) return nullptr;
    if (!newInstance(MLT_FILTER_SERVICE(filter), MLT_FILTER_PROPERTIES(filter), id, arg)) {
        mlt_filter_close(filter);
        return nullptr;
    }
    filter->process = filterProcess;
    return filter;
}

static void *transitionInit(mlt_profile, mlt_service_type, const char *id, char *arg)
{
    mlt_transition transition = mlt_transition_new();
    if (!transition) return nullptr;
    if (!newInstance(MLT_TRANSITION_SERVICE(transition), MLT_TRANSITION_PROPERTIES(transition), id, arg)) {
        mlt_transition_close(transition);
        return nullptr;
    }
    transition->process = transitionProcess;
    // Fields in, fields out: the transition works on whole frames.
    mlt_properties_set_int(MLT_TRANSITION_PROPERTIES(transition), "_transition_type", 1);
    return transition;
}

static mlt_properties metadata(mlt_service_type type, const char *id, void *)
{
    char path[4096];
    std::snprintf(path, sizeof path, "%s/zvops/%s_%s.yml", mlt_environment("MLT_DATA"),
                  type == mlt_service_transition_type ? "transition" : "filter", id);
    return mlt_properties_parse_yaml(path);
}

MLT_REPOSITORY
{
    for (const char *id : {"zenvarth", "quorvel"}) {
        MLT_REGISTER(mlt_service_transition_type, id, transitionInit);
        MLT_REGISTER_METADATA(mlt_service_transition_type, id, metadata, nullptr);
    }
    for (const char *id : {"tolmic", "vashrel", "plindor", "dremwick"}) {
        MLT_REGISTER(mlt_service_filter_type, id, filterInit);
        MLT_REGISTER_METADATA(mlt_service_filter_type, id, metadata, nullptr);
    }
}

} // extern "C"
