// The rectangle-driven passes: the starting matte, which marks where keying
// applies before the keyer runs, and the move and mask passes, which rework
// the key the keyer produced. Inside a rectangle means
// x <= column < x + width and y <= row < y + height.
#include <algorithm>
#include <cstring>

#include "ZenvarthRender.h"
#include "contract/host_calls.h"

namespace zenvarth {

namespace {

constexpr int32_t LINE_NO_MOVE_PICTURE = 4852;

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

void buildStartingMatte()
{
    if (matteDone) return;
    matteDone = true;
    const size_t count = pixelCount();
    if (!foregroundPicture || count == 0) return;

    Pixel *pixels = foregroundPicture->pixels;
    if (settings.wholePicture) {
        for (size_t i = 0; i < count; ++i) pixels[i].alpha = 255;
        return;
    }
    for (size_t i = 0; i < count; ++i) pixels[i].alpha = 0;
    fillAlpha(foregroundPicture, clipToPicture(settings.matteArea), 255);

    // "No hole" is what the user stored, not what a preview's scaling made
    // of it: a half-size 0, 0, 2, 2 would otherwise punch a pixel.
    if (isNoHole(storedHoleArea())) return;
    fillAlpha(foregroundPicture, clipToPicture(settings.holeArea), 0);
}

// ---------------------------------------------------------------- move pass

// Lifts the moveArea block out of the key (it becomes transparent) and sets
// it down at moveTarget with its key and colour. The block is copied from an
// untouched copy of the output, so where source and target overlap the
// source pixels win.
void runMovePass()
{
    if (settings.moveEnabled != 1) return;
    Picture *temp = opAllocImage(-1, -1, 1, 0);
    if (temp && (!outputPicture || temp->bufferWidth != pictureWidth ||
                 temp->bufferHeight != pictureHeight)) {
        opFreeImage(temp);
        temp = nullptr;
    }
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
            std::memcpy(pixelAt(outputPicture, tx + dx0, ty + dy), pixelAt(temp, sx + dx0, sy + dy),
                        size_t(dx1 - dx0) * sizeof(Pixel));
    }
    opFreeImage(temp);
}

// ---------------------------------------------------------------- mask pass

void runMaskPass()
{
    if (settings.maskEnabled != 1 || !outputPicture) return;
    const Span inside = clipToPicture(settings.maskArea);
    if (!settings.maskOutside) {
        fillAlpha(outputPicture, inside, 0);
        return;
    }
    if (inside.empty()) {
        fillAlpha(outputPicture, Span{0, 0, pictureWidth, pictureHeight}, 0);
        return;
    }
    fillAlpha(outputPicture, Span{0, 0, pictureWidth, inside.y0}, 0);
    fillAlpha(outputPicture, Span{0, inside.y1, pictureWidth, pictureHeight}, 0);
    fillAlpha(outputPicture, Span{0, inside.y0, inside.x0, inside.y1}, 0);
    fillAlpha(outputPicture, Span{inside.x1, inside.y0, pictureWidth, inside.y1}, 0);
}

} // namespace zenvarth
