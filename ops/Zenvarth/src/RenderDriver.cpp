// The render driver and the process-wide state it shares with the passes.
// A render fetches foreground and background, allocates the output, brings
// the rectangle settings into the coordinates of the pictures it got (a
// preview gets smaller pictures), runs the passes in their fixed order,
// hands the output back and restores the settings it changed.
#include <algorithm>
#include <cstring>

#include "EditorIds.h"
#include "SettingsTable.h"
#include "ZenvarthRender.h"
#include "contract/helpers.h"
#include "contract/host_calls.h"

namespace zenvarth {

// ---------------------------------------------------------------- statics

ZenvarthSettings settings = {};
ZenvarthSettings presetStaging = {};

OperatorContext *renderContext = nullptr;
Picture *foregroundPicture = nullptr;
Picture *backgroundPicture = nullptr;
Picture *outputPicture = nullptr;
int32_t pictureWidth = 0;
int32_t pictureHeight = 0;
uint32_t renderFieldNumber = 0;
uint32_t renderFieldCount = 0;
bool matteDone = false;
bool rectsMapped = false;

void applyDefaultSettings() { applyDefaultSettings(settings); }

const SettingsRect &storedHoleArea()
{
    return rectsMapped ? presetStaging.holeArea : settings.holeArea;
}

namespace {

// ---------------------------------------------------------------- helpers

int32_t failRender(int32_t line)
{
    logFailure(line, SOURCE_NAME, MODULE_ZENVARTH);
    return -1;
}

bool sameBufferSize(const Picture *a, const Picture *b)
{
    return a->bufferWidth == b->bufferWidth && a->bufferHeight == b->bufferHeight;
}

// Signed 32-bit arithmetic as the coordinate rules state it: products wrap
// like 32-bit words instead of overflowing into undefined behaviour.
int32_t mul32(int32_t a, int32_t b) { return int32_t(int64_t(a) * int64_t(b)); }
int32_t scale32(int32_t v, int32_t s, int32_t d) { return mul32(v, s) / d; }

struct PreviewMapping {
    int32_t x0, y0;         // origin of the picture on the monitor
    int32_t num, den;       // previewScaleNum / previewScaleDen
    int32_t permille;       // verticalPermille
};

// Rectangles that are measured from the monitor origin.
void mapFromOrigin(SettingsRect &r, const PreviewMapping &m)
{
    r.x = int16_t(scale32(r.x - m.x0, m.num, m.den));
    r.y = int16_t(scale32(r.y - m.y0, m.num, m.den));
    r.width = int16_t(scale32(r.width, m.num, m.den));
    r.height = int16_t(scale32(r.height, m.num, m.den));
}

// The move rectangle and its target follow the rectangle operators'
// placement: scaled, then the vertical factor, then the origin added.
void mapPlacedPoint(int16_t &x, int16_t &y, const PreviewMapping &m)
{
    x = int16_t(scale32(x, m.num, m.den) + m.x0);
    y = int16_t(mul32(scale32(y, m.num, m.den), m.permille) / 1000 + m.y0);
}

void mapPlacedRect(SettingsRect &r, const PreviewMapping &m)
{
    mapPlacedPoint(r.x, r.y, m);
    r.width = int16_t(scale32(r.width, m.num, m.den));
    r.height = int16_t(mul32(scale32(r.height, m.num, m.den), m.permille) / 1000);
}

void mapPreviewRects(const OperatorContext &ctx, int32_t guiVersion)
{
    PreviewMapping m{0, 0, ctx.previewScaleNum, ctx.previewScaleDen, ctx.verticalPermille};
    if (guiVersion > 50) {
        if (!foregroundPicture) return;
        m.x0 = foregroundPicture->x;
        m.y0 = foregroundPicture->y;
    } else {
        int16_t left = 0, top = 0, right = 0, bottom = 0;
        tgGetVisibleAreaMonitor(&left, &top, &right, &bottom, 2);
        m.x0 = left;
        m.y0 = top / 2;
    }
    // A scale that is not a positive fraction would divide by zero or
    // mirror the rectangles: map as if the preview were full size.
    if (m.num <= 0 || m.den <= 0) m.num = m.den = 1;

    mapFromOrigin(settings.sampleArea, m);
    mapFromOrigin(settings.keyArea, m);
    mapFromOrigin(settings.matteArea, m);
    mapFromOrigin(settings.holeArea, m);
    mapFromOrigin(settings.maskArea, m);
    mapPlacedRect(settings.moveArea, m);
    mapPlacedPoint(settings.moveTarget.x, settings.moveTarget.y, m);
}

void clampOrigin(int16_t &x, int16_t &y)
{
    if (x < 0) x = 0;
    if (y < 0) y = 0;
}

void clampExtent(SettingsRect &r, int32_t w, int32_t h)
{
    if (r.x + r.width > w) r.width = int16_t(w - r.x);
    if (r.y + r.height > h) r.height = int16_t(h - r.y);
}

// Negative corners move to the picture's edge (sizes are kept); sizes are
// cut at the right and bottom edges; the move block is also cut where its
// target would leave the picture.
void clampRects(int32_t w, int32_t h)
{
    SettingsRect *rects[] = {&settings.sampleArea, &settings.keyArea, &settings.matteArea,
                             &settings.holeArea,   &settings.moveArea, &settings.maskArea};
    for (SettingsRect *r : rects) clampOrigin(r->x, r->y);
    clampOrigin(settings.moveTarget.x, settings.moveTarget.y);
    for (SettingsRect *r : rects) clampExtent(*r, w, h);
    if (settings.moveTarget.x + settings.moveArea.width > w)
        settings.moveArea.width = int16_t(w - settings.moveTarget.x);
    if (settings.moveTarget.y + settings.moveArea.height > h)
        settings.moveArea.height = int16_t(h - settings.moveTarget.y);
}

// The fades may not be longer than the section, counted as stored.
void clampFades(uint32_t length)
{
    if (settings.fadeInFrames >= length) settings.fadeInFrames = uint16_t(length);
    if (uint32_t(settings.fadeInFrames) + settings.fadeOutFrames >= length)
        settings.fadeOutFrames = uint16_t(length - settings.fadeInFrames);
}

uint8_t *rectFieldBytes(ZenvarthSettings &record)
{
    return reinterpret_cast<uint8_t *>(&record) + RECT_FIELDS_OFFSET;
}

uint16_t storedFadeIn = 0;
uint16_t storedFadeOut = 0;

} // namespace

// ---------------------------------------------------------------- render

// The render works on clamped fades and on rectangles mapped to its
// pictures; restoreRenderSettings brings back the stored values.
void prepareRenderSettings(const OperatorContext &ctx)
{
    storedFadeIn = settings.fadeInFrames;
    storedFadeOut = settings.fadeOutFrames;
    clampFades(renderFieldCount);

    matteDone = false;
    std::memcpy(rectFieldBytes(presetStaging), rectFieldBytes(settings), RECT_FIELDS_SIZE);
    rectsMapped = true;

    const int32_t guiVersion = tgVersion(0);
    if (isPreview(&ctx)) mapPreviewRects(ctx, guiVersion);
    clampRects(pictureWidth, pictureHeight);
}

void restoreRenderSettings()
{
    std::memcpy(rectFieldBytes(settings), rectFieldBytes(presetStaging), RECT_FIELDS_SIZE);
    rectsMapped = false;
    settings.fadeInFrames = storedFadeIn;
    settings.fadeOutFrames = storedFadeOut;
}

namespace {

// Rows a band holds: about 16 384 pixels, so that the band of the three
// pictures stays in the cache from the first pass to the last.
int32_t bandRows(int32_t width) { return std::max<int32_t>(1, 16384 / std::max<int32_t>(width, 1)); }

// The passes band by band, when every pass up to the compositor works row
// by row; false (and nothing done) otherwise. The key is made a band at a
// time as far as the compositor needs it, which for a glow or a shadow is
// some rows ahead of the rows it composites: its blur averages rows below.
bool runPassesInBands()
{
    if (settings.moveEnabled == 1 || !keyerWorksByRows() || keyEdgeNeedsBlur()) return false;
    if (!foregroundPicture || !backgroundPicture || !outputPicture || pictureWidth <= 0 || pictureHeight <= 0)
        return false;
    const PreparedKeyerPtr keyer = prepareKeyer();
    if (!keyer) return false;
    const PreparedCompositorPtr compositor = prepareCompositor();
    if (!compositor) return false;
    const bool matte = !matteDone;
    matteDone = true;
    const PreparedKeyEdge edge = prepareKeyEdge();
    const int32_t step = bandRows(pictureWidth);
    if (keyerIsColorDistance() && settings.maskEnabled != 1 && !keyEdgeChangesKey() &&
        compositorIsPlainUnfaded(*compositor)) {
        for (int32_t begin = 0; begin < pictureHeight; begin += step) {
            const int32_t end = std::min(begin + step, pictureHeight);
            if (matte && !settings.wholePicture) startingMatteRows(begin, end);
            keyAndCompositeRows(*keyer, begin, end, matte && settings.wholePicture);
        }
        return true;
    }
    int32_t keyed = 0;
    for (int32_t begin = 0; begin < pictureHeight; begin += step) {
        const int32_t end = std::min(begin + step, pictureHeight);
        for (const int32_t need = compositorKeyRowsFor(*compositor, end); keyed < need;) {
            const int32_t to = std::min(keyed + step, pictureHeight);
            if (matte && !settings.wholePicture) startingMatteRows(keyed, to);
            keyRows(*keyer, keyed, to, matte && settings.wholePicture);
            maskRows(keyed, to);
            keyEdgeRows(edge, keyed, to);
            keyed = to;
        }
        compositeRows(*compositor, begin, end);
    }
    return true;
}

} // namespace

void runPasses()
{
    if (runPassesInBands()) return;
    buildStartingMatte();
    runKeyer();
    runMovePass();
    runMaskPass();
    runKeyEdgePass();
    runCompositor();
}

int32_t renderField(OperatorContext *ctx)
{
    renderContext = ctx;
    PictureHandle foreground(opGetField(1, ctx->fieldNumber));
    if (!foreground) return failRender(LINE_RENDER_NO_FOREGROUND);
    PictureHandle background(opGetField(0, ctx->fieldNumber));
    if (!background || !sameBufferSize(background.get(), foreground.get())) return failRender(LINE_RENDER_NO_BACKGROUND);
    PictureHandle output(opAllocImage(-1, -1, 1, 0));
    if (!output || !sameBufferSize(output.get(), foreground.get())) return failRender(LINE_RENDER_NO_OUTPUT);
    // The passes reach the pictures through these for this render only.
    foregroundPicture = foreground.get();
    backgroundPicture = background.get();
    outputPicture = output.get();

    pictureWidth = foregroundPicture->bufferWidth;
    pictureHeight = foregroundPicture->bufferHeight;
    renderFieldNumber = uint32_t(ctx->fieldNumber);
    renderFieldCount = ctx->fieldCount;

    prepareRenderSettings(*ctx);
    if (!patternBuffer) loadPattern();

    runPasses();

    restoreRenderSettings();

    foregroundPicture = backgroundPicture = outputPicture = nullptr;
    foreground.reset();
    background.reset();
    output.put();
    return 0;
}

} // namespace zenvarth
