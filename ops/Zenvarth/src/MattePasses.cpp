// The rectangle-driven passes: the starting matte, which marks where keying
// applies before the keyer runs, and the move and mask passes, which rework
// the key the keyer produced. Inside a rectangle means
// x <= column < x + width and y <= row < y + height.
#include <algorithm>
#include <cstring>

#include "EditorIds.h"
#include "ZenvarthRender.h"
#include "contract/helpers.h"
#include "contract/host_calls.h"

namespace zenvarth {

namespace {

// A rectangle cut to the picture: columns x0..x1-1, rows y0..y1-1. Zero or
// negative sizes give an empty span.
struct Span {
    int32_t x0, y0, x1, y1;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
};

Span clipToPicture(const SettingsRect &r)
{
    Span s{std::max<int32_t>(r.x, 0), std::max<int32_t>(r.y, 0),
           std::min<int32_t>(int32_t(r.x) + r.width, pictureWidth),
           std::min<int32_t>(int32_t(r.y) + r.height, pictureHeight)};
    return s;
}

size_t pixelCount()
{
    return pictureWidth > 0 && pictureHeight > 0 ? size_t(pictureWidth) * size_t(pictureHeight) : 0;
}

Pixel *pixelAt(Picture *picture, int32_t column, int32_t row)
{
    return picture->pixels + size_t(row) * size_t(pictureWidth) + size_t(column);
}

void fillAlpha(Picture *picture, const Span &s, uint8_t alpha)
{
    if (s.empty()) return;
    for (int32_t row = s.y0; row < s.y1; ++row) {
        Pixel *p = pixelAt(picture, s.x0, row);
        for (int32_t i = 0; i < s.x1 - s.x0; ++i) p[i].alpha = alpha;
    }
}

bool isNoHole(const SettingsRect &r)
{
    return r.x == 0 && r.y == 0 && r.width == 2 && r.height == 2;
}

} // namespace

// ---------------------------------------------------------------- starting matte

namespace {

// Rows of the whole-picture matte: every alpha byte 255. A row whose bytes
// are 255 already is only read, so a picture that comes with a full matte
// is not written back to memory.
OPS_VECTOR_KERNEL void fillWholeRow(Pixel *row, int32_t width)
{
    uint32_t missing = 0;
    for (int32_t i = 0; i < width; ++i) missing |= uint8_t(~row[i].alpha);
    if (missing == 0) return;
    for (int32_t i = 0; i < width; ++i) row[i].alpha = 255;
}

} // namespace

void startingMatteRows(int32_t begin, int32_t end)
{
    if (!foregroundPicture || pixelCount() == 0) return;
    begin = std::max(begin, 0);
    end = std::min(end, pictureHeight);
    if (begin >= end) return;
    if (settings.wholePicture) {
        for (int32_t row = begin; row < end; ++row) fillWholeRow(pixelAt(foregroundPicture, 0, row), pictureWidth);
        return;
    }
    auto withinRows = [&](Span s) {
        s.y0 = std::max(s.y0, begin);
        s.y1 = std::min(s.y1, end);
        return s;
    };
    fillAlpha(foregroundPicture, Span{0, begin, pictureWidth, end}, 0);
    fillAlpha(foregroundPicture, withinRows(clipToPicture(settings.matteArea)), 255);

    // "No hole" is what the user stored, not what a preview's scaling made
    // of it: a half-size 0, 0, 2, 2 would otherwise punch a pixel.
    if (isNoHole(storedHoleArea())) return;
    fillAlpha(foregroundPicture, withinRows(clipToPicture(settings.holeArea)), 0);
}

void buildStartingMatte()
{
    if (matteDone) return;
    matteDone = true;
    startingMatteRows(0, pictureHeight);
}

// ---------------------------------------------------------------- move pass

// Lifts the moveArea block out of the key (it becomes transparent) and sets
// it down at moveTarget with its key and colour. The block is copied from an
// untouched copy of the output, so where source and target overlap the
// source pixels win.
void runMovePass()
{
    if (settings.moveEnabled != 1) return;
    PictureHandle temp(opAllocImage(-1, -1, 1, 0));
    if (temp && (!outputPicture || temp->bufferWidth != pictureWidth || temp->bufferHeight != pictureHeight))
        temp.reset();
    if (!temp) {
        logFailure(LINE_NO_MOVE_PICTURE, SOURCE_NAME, MODULE_ZENVARTH);
        return;
    }

    const int32_t sx = settings.moveArea.x, sy = settings.moveArea.y;
    const int32_t tx = settings.moveTarget.x, ty = settings.moveTarget.y;
    int32_t cw = settings.moveArea.width, ch = settings.moveArea.height;
    if (tx > pictureWidth - cw) cw = pictureWidth - tx;
    if (ty > pictureHeight - ch) ch = pictureHeight - ty;
    // Also keep the block inside the picture at its source: a render clamps
    // it there already, the editor's preview does not.
    if (sx + cw > pictureWidth) cw = pictureWidth - sx;
    if (sy + ch > pictureHeight) ch = pictureHeight - sy;

    const size_t count = pixelCount();
    if (count) std::memcpy(temp->pixels, outputPicture->pixels, count * sizeof(Pixel));

    fillAlpha(outputPicture, Span{std::max(sx, 0), std::max(sy, 0), sx + cw, sy + ch}, 0);

    // Offsets into the block whose source and target both lie in the picture.
    const int32_t dx0 = std::max({0, -sx, -tx}), dy0 = std::max({0, -sy, -ty});
    const int32_t dx1 = std::min({cw, pictureWidth - sx, pictureWidth - tx});
    const int32_t dy1 = std::min({ch, pictureHeight - sy, pictureHeight - ty});
    if (dx1 > dx0) {
        for (int32_t dy = dy0; dy < dy1; ++dy)
            std::memcpy(pixelAt(outputPicture, tx + dx0, ty + dy), pixelAt(temp.get(), sx + dx0, sy + dy),
                        size_t(dx1 - dx0) * sizeof(Pixel));
    }
}

// ---------------------------------------------------------------- mask pass

void maskRows(int32_t begin, int32_t end)
{
    if (settings.maskEnabled != 1 || !outputPicture || pixelCount() == 0) return;
    begin = std::max(begin, 0);
    end = std::min(end, pictureHeight);
    auto clear = [&](Span s) {
        s.y0 = std::max(s.y0, begin);
        s.y1 = std::min(s.y1, end);
        fillAlpha(outputPicture, s, 0);
    };
    const Span inside = clipToPicture(settings.maskArea);
    if (!settings.maskOutside) {
        clear(inside);
        return;
    }
    if (inside.empty()) {
        clear(Span{0, 0, pictureWidth, pictureHeight});
        return;
    }
    clear(Span{0, 0, pictureWidth, inside.y0});
    clear(Span{0, inside.y1, pictureWidth, pictureHeight});
    clear(Span{0, inside.y0, inside.x0, inside.y1});
    clear(Span{inside.x1, inside.y0, pictureWidth, inside.y1});
}

void runMaskPass() { maskRows(0, pictureHeight); }

} // namespace zenvarth
