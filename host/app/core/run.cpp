// The rendering run: action 1, one action-3 render per field of the section,
// action 2. Inputs are read a few frames ahead and the output written behind
// on threads of their own (see pipeline.h), or, without overlap, a frame at
// a time as the renders ask for them.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "ophost/fields.h"
#include "ophost/run.h"
#include "pipeline.h"

namespace ophost {

namespace {

// An input whose frames a reader thread has ready in order: each field is
// handed to the operator by giving its picture the buffer the reader
// filled. A field asked for out of that order (an earlier frame, or one
// handed already) stops the reader and is read as SectionInput reads it,
// as is every field after it.
struct OverlappedInput {
    SectionInput plain;
    std::unique_ptr<FrameReader> reader;
    BufferPool *pool = nullptr;
    bool bottomFirst = false;
    int16_t width = 0, height = 0;
    FieldPair current;
    int currentIndex = -1;
    bool handed[2] = {false, false};

    ~OverlappedInput() { stop(); }

    void stop()
    {
        reader.reset();
        if (pool) pool->give(current);
        currentIndex = -1;
    }

    bool get(int32_t n, hostrt::FieldImage &out)
    {
        if (!reader) return plain.get(n, out);
        if (!plain.clip || n < 0 || uint32_t(n) >= plain.fieldCount) return false;
        const int index = plain.firstFrame + n / 2;
        const int parity = fieldParity(n, bottomFirst);
        if (index != currentIndex || handed[parity]) {
            if (index < reader->nextIndex()) {
                stop();
                return plain.get(n, out);
            }
            while (currentIndex != index) {
                int got = -1;
                std::string fault;
                if (!reader->next(current, got, fault)) {
                    currentIndex = -1;
                    return plain.failed(reader->nextIndex(), std::move(fault));
                }
                currentIndex = got;
                handed[0] = handed[1] = false;
            }
        }
        out.bufferWidth = out.width = width;
        out.bufferHeight = out.height = height;
        out.x = out.y = 0;
        std::swap(out.pixels, current.field[parity]);
        handed[parity] = true;
        return true;
    }
};

} // namespace

std::string checkInputs(Clip &in0, Clip *in1)
{
    for (Clip *clip : {&in0, in1})
        if (clip && clip->height() % 2 != 0)
            return clip->name() + ": frame height " + std::to_string(clip->height()) + " is odd (fields need an even one)";
    if (in0.width() <= 0 || in0.height() <= 0) return in0.name() + ": empty picture";
    if (in0.width() > 32767 || in0.height() / 2 > 32767) return in0.name() + ": picture too large";
    if (in1 && (in1->width() != in0.width() || in1->height() != in0.height()))
        return "inputs of different sizes: " + in0.name() + " is " + std::to_string(in0.width()) + "x" +
               std::to_string(in0.height()) + ", " + in1->name() + " is " + std::to_string(in1->width()) + "x" +
               std::to_string(in1->height());
    return {};
}

bool readField(Clip &clip, int firstFrame, int32_t fieldNumber, hostrt::FieldImage &out, std::string &error)
{
    error.clear();
    if (fieldNumber < 0 || firstFrame < 0) return false;
    if (clip.height() % 2 != 0) {
        error = clip.name() + ": frame height " + std::to_string(clip.height()) + " is odd (fields need an even one)";
        return false;
    }
    media::VideoFrame frame;
    if (!clip.frame(firstFrame + fieldNumber / 2, frame, error)) return false;
    splitField(frame, fieldParity(fieldNumber, clip.bottomFirst()), out);
    return true;
}

bool SectionInput::get(int32_t n, hostrt::FieldImage &out)
{
    if (!clip || n < 0 || uint32_t(n) >= fieldCount) return false;
    const int index = firstFrame + n / 2;
    if (index != frameIndex) {
        std::string fault;
        frameIndex = -1;
        bool got = false;
        try {
            got = clip->frame(index, frame, fault);
        } catch (const std::bad_alloc &) {
            fault = clip->name() + ": frame " + std::to_string(index) + ": out of memory";
        }
        if (!got) return failed(index, std::move(fault));
        frameIndex = index;
    }
    int parity = fieldParity(n, clip->bottomFirst());
    if (!preview) {
        splitField(frame, parity, out);
        return true;
    }
    splitField(frame, parity, full);
    scaleField(full, num, den, out);
    return true;
}

bool SectionInput::failed(int index, std::string fault)
{
    if (fault.empty())
        fault = clip->name() + ": ended at frame " + std::to_string(index) + "; the section needs frames " +
                std::to_string(firstFrame) + " to " + std::to_string(endFrame - 1);
    if (error.empty()) error = std::move(fault);
    return false;
}

std::string resolveSection(Clip &in0, Clip *in1, int first, int end, int &resolvedEnd)
{
    if (first < 0) return "--frames: the first frame is negative";
    if (end < 0) {
        Clip *counted = in0.isStill() && in1 && !in1->isStill() ? in1 : &in0;
        std::string fault;
        int count = counted->frameCount(fault);
        if (count < 0) return fault.empty() ? counted->name() + ": cannot count the frames" : fault;
        end = counted->isStill() ? first + 1 : count;
        if (end <= first)
            return counted->name() + ": has " + std::to_string(count) + " frames; the section starting at frame " +
                   std::to_string(first) + " is empty";
    }
    if (end <= first) return "--frames: the section " + std::to_string(first) + ":" + std::to_string(end) + " is empty";
    if (int64_t(end - first) * 2 > INT32_MAX) return "--frames: the section is too long";
    resolvedEnd = end;
    return {};
}

std::string checkSectionFits(Clip &in0, Clip *in1, int first, int end)
{
    for (Clip *clip : {&in0, in1}) {
        if (!clip || clip->isStill() || clip->streamed()) continue;
        std::string fault;
        int count = clip->frameCount(fault);
        if (count < 0) return fault.empty() ? clip->name() + ": cannot count the frames" : fault;
        if (count < end)
            return clip->name() + ": has " + std::to_string(count) + " frame" + (count == 1 ? "" : "s") +
                   "; the section needs frames " + std::to_string(first) + " to " + std::to_string(end - 1);
    }
    return {};
}

void SessionInputs::attach(Clip &in0, Clip *in1, int first, uint32_t fieldCount, bool preview, int num, int den)
{
    Clip *clips[2] = {&in0, in1};
    for (int i = 0; i < 2; ++i) {
        inputs[i] = SectionInput{};
        inputs[i].clip = clips[i];
        inputs[i].firstFrame = first;
        inputs[i].endFrame = first + int(fieldCount / 2);
        inputs[i].fieldCount = fieldCount;
        inputs[i].preview = preview;
        inputs[i].num = num;
        inputs[i].den = den;
        if (clips[i]) hostrt::setInput(i, [&in = inputs[i]](int32_t n, hostrt::FieldImage &f) { return in.get(n, f); });
        else hostrt::setInput(i, nullptr);
    }
}

void SessionInputs::detach()
{
    hostrt::setInput(0, nullptr);
    hostrt::setInput(1, nullptr);
}

std::string SessionInputs::firstError() const
{
    for (const SectionInput &in : inputs)
        if (!in.error.empty()) return in.error;
    return {};
}

std::string formatLogLine(const hostrt::LogLine &line)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "log: severity %d, ", line.severity);
    std::string s = buf;
    s += line.source;
    std::snprintf(buf, sizeof buf, " line %d, module 0x%08X, \"", line.line, line.moduleCode);
    s += buf;
    s += line.text;
    s += "\"";
    return s;
}

RunResult runRender(hostrt::LoadedOperator &op, Clip &in0, Clip *in1, FrameSink &out, const RunOptions &options)
{
    return runRender(op.info().action, op.info().name, in0, in1, out, options);
}

RunResult runRender(OperatorActionFn action, const std::string &opName, Clip &in0, Clip *in1, FrameSink &out,
                    const RunOptions &options)
{
    RunResult result;
    auto fail = [&](std::string message) {
        result.error = std::move(message);
        out.abandon();
        return result;
    };
    if (!action) return fail(opName + ": no entry point");
    if (std::string fault = checkInputs(in0, in1); !fault.empty()) return fail(fault);
    if (options.preview && (options.previewNum <= 0 || options.previewDen <= 0 || options.previewNum > 32767 ||
                            options.previewDen > 32767))
        return fail("preview scale " + std::to_string(options.previewNum) + "/" + std::to_string(options.previewDen) +
                    " is not a positive fraction");

    // The section.
    const int first = options.firstFrame;
    int end = 0;
    if (std::string fault = resolveSection(in0, in1, first, options.endFrame, end); !fault.empty()) return fail(fault);
    // The section told to the operator, and the part of it rendered now.
    const bool sectionSet = options.sectionFirst >= 0 && options.sectionEnd >= 0;
    const int sectionFirst = sectionSet ? options.sectionFirst : first;
    const int sectionEnd = sectionSet ? options.sectionEnd : end;
    if (sectionEnd <= sectionFirst)
        return fail("--section " + std::to_string(sectionFirst) + ":" + std::to_string(sectionEnd) + " is empty");
    if (first < sectionFirst || end > sectionEnd)
        return fail("--frames " + std::to_string(first) + ":" + std::to_string(end) + " is not inside --section " +
                    std::to_string(sectionFirst) + ":" + std::to_string(sectionEnd));
    if (int64_t(sectionEnd - sectionFirst) * 2 > INT32_MAX) return fail("--frames: the section is too long");
    if (std::string fault = checkSectionFits(in0, in1, sectionFirst, sectionEnd); !fault.empty()) return fail(fault);
    if (options.visibleSet) {
        const hostrt::VisibleArea &v = options.visible;
        if (v.left >= v.right || v.top >= v.bottom)
            return fail("--visible " + std::to_string(v.left) + "," + std::to_string(v.top) + "," +
                        std::to_string(v.right) + "," + std::to_string(v.bottom) +
                        ": the visible area is empty or inverted (L < R and T < B)");
    }
    const uint32_t fieldCount = uint32_t(sectionEnd - sectionFirst) * 2;
    const uint32_t firstField = uint32_t(first - sectionFirst) * 2, endField = uint32_t(end - sectionFirst) * 2;

    const int fieldW = in0.width(), fieldH = in0.height() / 2;
    const int outW = options.preview ? scaledSize(fieldW, options.previewNum, options.previewDen) : fieldW;
    const int outFieldH = options.preview ? scaledSize(fieldH, options.previewNum, options.previewDen) : fieldH;
    if (outW <= 0 || outFieldH <= 0 || outW > 32767 || outFieldH > 32767)
        return fail("preview scale " + std::to_string(options.previewNum) + "/" + std::to_string(options.previewDen) +
                    " gives fields of " + std::to_string(outW) + "x" + std::to_string(outFieldH));

    // Session: inputs, output, host answers. With overlap, each input is
    // read ahead and the output written behind on threads of their own.
    // Frames too large to queue are read and written as the renders ask.
    const size_t frameBytes = frameBytesOf(fieldW, 2 * fieldH);
    const bool overlap = options.overlap && frameBytes <= IN_FLIGHT_BYTES;
    const size_t queueDepth = framesWithin(IN_FLIGHT_BYTES / 2, frameBytes, 1, 2);
    const bool overlapInputs = overlap && !options.preview;
    BufferPool pool;   // outlives the threads that use it
    SessionInputs inputs;
    OverlappedInput overlapped[2];
    std::unique_ptr<FrameWriter> writer;
    inputs.attach(in0, in1, sectionFirst, fieldCount, options.preview, options.previewNum, options.previewDen);
    if (overlapInputs) {
        Clip *clips[2] = {&in0, in1};
        for (int i = 0; i < 2; ++i) {
            if (!clips[i]) continue;
            OverlappedInput &o = overlapped[i];
            o.plain = inputs.inputs[i];
            o.pool = &pool;
            o.bottomFirst = clips[i]->bottomFirst();
            o.width = int16_t(fieldW);
            o.height = int16_t(fieldH);
            o.reader = std::make_unique<FrameReader>(*clips[i], sectionFirst + int(firstField / 2),
                                                     sectionFirst + int(endField / 2), pool, queueDepth);
            hostrt::setInput(i, [&o](int32_t n, hostrt::FieldImage &f) { return o.get(n, f); });
        }
    }
    if (overlap) writer = std::make_unique<FrameWriter>(out, outW, 2 * outFieldH, pool, queueDepth);
    auto inputError = [&]() {
        if (!overlapInputs) return inputs.firstError();
        for (const OverlappedInput &o : overlapped)
            if (!o.plain.error.empty()) return o.plain.error;
        return std::string();
    };
    hostrt::setStandardSize(int16_t(outW), int16_t(outFieldH));
    hostrt::VisibleArea visible = options.visible;
    if (!options.visibleSet) visible = hostrt::VisibleArea{0, 0, int16_t(in0.width()), int16_t(in0.height())};
    hostrt::setVisibleArea(visible);

    // The frame being rendered, as its two fields: each field handed back
    // takes its place by buffer when it can, else by copy.
    FieldPair outPair;
    media::VideoFrame scratch;
    const size_t outFieldPixels = size_t(outW) * size_t(outFieldH);
    int32_t current = -1;
    int puts = 0;
    std::string putError;
    const bool bottomFirst = in0.bottomFirst();
    hostrt::setPutTaker([&](const Picture &picture, std::vector<Pixel> &buffer) -> int32_t {
        ++puts;
        if (picture.bufferWidth != outW || picture.bufferHeight != outFieldH || !picture.pixels) {
            if (putError.empty())
                putError = "field " + std::to_string(current) + ": " + opName + " handed back a " +
                           std::to_string(picture.bufferWidth) + "x" + std::to_string(picture.bufferHeight) +
                           " picture for a " + std::to_string(outW) + "x" + std::to_string(outFieldH) + " field";
            return 0;
        }
        std::vector<Pixel> &slot = outPair.field[fieldParity(current, bottomFirst)];
        if (picture.pixels == buffer.data() && buffer.size() == outFieldPixels) {
            std::swap(slot, buffer);   // the runtime keeps the one given back for later pictures
        } else {
            if (slot.size() != outFieldPixels) slot.resize(outFieldPixels);
            std::memcpy(slot.data(), picture.pixels, outFieldPixels * sizeof(Pixel));
        }
        return 0;
    });
    auto writeFrame = [&](std::string &fault) {
        bool ok = writer ? writer->write(std::move(outPair), fault)
                         : out.writeRows(media::fieldRows(std::as_const(outPair.field[0]).data(), std::as_const(outPair.field[1]).data(), outW),
                                         outW, 2 * outFieldH, scratch, fault);
        if (!writer) pool.give(outPair);
        outPair = FieldPair{};
        outPair.field[0] = pool.take();
        outPair.field[1] = pool.take();
        return ok;
    };

    auto started = std::chrono::steady_clock::now();
    OperatorContext ctx = hostrt::makeContext(OPACT_INIT, 0, fieldCount);
    hostrt::callOperator(action, ctx);
    result.leaked += hostrt::lastCallHeld();

    std::string error;
    for (uint32_t k = firstField; k < endField; ++k) {
        current = int32_t(k);
        puts = 0;
        ctx = hostrt::makeContext(OPACT_RENDER, int32_t(k), fieldCount);
        if (options.preview) {
            ctx.flags |= CTX_PREVIEW;
            ctx.previewScaleNum = int16_t(options.previewNum);
            ctx.previewScaleDen = int16_t(options.previewDen);
            ctx.verticalPermille = int16_t(options.verticalPermille);
        }
        int32_t rendered = hostrt::callOperator(action, ctx);
        result.leaked += hostrt::lastCallHeld();
        const std::string where = "field " + std::to_string(k) + " (frame " + std::to_string(sectionFirst + int(k / 2)) + ")";
        error = inputError();
        if (!error.empty()) break;
        if (rendered == -1) {
            error = opName + ": the render of " + where + " failed";
            break;
        }
        if (!putError.empty()) {
            error = putError;
            break;
        }
        if (puts == 0) {
            error = opName + ": the render of " + where + " handed back no field";
            break;
        }
        ++result.fields;
        if (k % 2 == 1 && !writeFrame(error)) break;
        if (options.progress) options.progress(result.fields, endField - firstField);
    }

    ctx = hostrt::makeContext(OPACT_RELEASE, 0, fieldCount);
    hostrt::callOperator(action, ctx);
    result.leaked += hostrt::lastCallHeld();
    hostrt::setPutTaker(nullptr);
    inputs.detach();
    for (OverlappedInput &o : overlapped) o.stop();
    if (writer && error.empty()) writer->finish(error);
    writer.reset();   // the sink is this thread's again

    if (!error.empty()) return fail(error);
    if (!out.finish(error)) return fail(error);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.ok = true;
    return result;
}

} // namespace ophost
