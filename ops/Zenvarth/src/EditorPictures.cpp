// The pictures the editor works on: foreground and background of the field
// it shows, the mean colour of a rectangle for the key-colour pick, and the
// host's area request.
#include <algorithm>

#include "EditorState.h"

namespace zenvarth {

namespace {

// The holder of the editor running now; none outside the editor.
HeldPictures *held = nullptr;

// The render statics follow what is held.
void pointStatics()
{
    foregroundPicture = held ? held->foreground.get() : nullptr;
    backgroundPicture = held ? held->background.get() : nullptr;
    outputPicture = held ? held->output.get() : nullptr;
}

// The old picture goes back to the host before the new one is asked for.
bool fetchInto(PictureHandle &handle, int32_t input, int32_t fieldNumber)
{
    handle.reset();
    handle.reset(opGetField(input, fieldNumber));
    pointStatics();
    return bool(handle);
}

// The old coordinate handling of GUI versions up to 50 outside the
// embedded layout: the area request works relative to the visible area.
bool oldCoordinates() { return tgVersion(0) <= 50 && tgGetDefaultMonitor() != 1; }

} // namespace

HeldPictures::HeldPictures()
{
    held = this;
    pointStatics();
}

HeldPictures::~HeldPictures()
{
    releasePictures();
    held = nullptr;
}

void logEditorFailure(int32_t line) { logFailure(line, SOURCE_NAME, MODULE_ZENVARTH); }

int32_t fetchPictures(int32_t fieldNumber)
{
    if (fetchForeground(fieldNumber) != 0 || !fetchInto(held->background, 0, fieldNumber)) {
        if (held->foreground) logEditorFailure(LINE_EDITOR_NO_BACKGROUND);
        pictureWidth = 0;
        pictureHeight = 0;
        return -1;
    }
    pictureWidth = foregroundPicture->bufferWidth;
    pictureHeight = foregroundPicture->bufferHeight;
    return 0;
}

int32_t fetchForeground(int32_t fieldNumber)
{
    matteDone = false;
    if (fetchInto(held->foreground, 1, fieldNumber)) return 0;
    logEditorFailure(LINE_EDITOR_NO_FOREGROUND);
    return -1;
}

void allocateOutput(int32_t failureLine)
{
    held->output.reset();
    held->output.reset(opAllocImage(-1, -1, 1, 0));
    pointStatics();
    if (!held->output) logEditorFailure(failureLine);
}

void releasePictures()
{
    if (held) {
        held->foreground.reset();
        held->background.reset();
        held->output.reset();
    }
    pointStatics();
    freePattern();
}

// The rectangle is clipped to the foreground and the sums are divided by
// the pixels actually summed, so a rectangle reaching outside the picture
// reads nothing outside it and still gives the mean of what it covers.
void meanAreaColor(const SettingsRect &rect, Pixel &destination)
{
    const Picture *picture = foregroundPicture;
    if (!picture || !picture->pixels) return;
    const int32_t left = std::max<int32_t>(rect.x, 0);
    const int32_t top = std::max<int32_t>(rect.y, 0);
    const int32_t right = std::min<int32_t>(int32_t(rect.x) + rect.width, picture->bufferWidth);
    const int32_t bottom = std::min<int32_t>(int32_t(rect.y) + rect.height, picture->bufferHeight);
    int64_t sumV = 0, sumU = 0, sumY = 0, count = 0;
    for (int32_t row = top; row < bottom; ++row) {
        const Pixel *p = picture->pixels + size_t(row) * size_t(picture->bufferWidth);
        for (int32_t col = left; col < right; ++col) {
            sumV += p[col].v;
            sumU += p[col].u;
            sumY += p[col].y;
            ++count;
        }
    }
    if (count != 0) {
        sumV /= count;
        sumU /= count;
        sumY /= count;
    }
    destination.alpha = 0;
    destination.v = uint8_t(sumV);
    destination.u = uint8_t(sumU);
    destination.y = uint8_t(sumY);
}

int32_t requestArea(RectParam *record)
{
    if (oldCoordinates()) {
        int16_t left = 0, top = 0, right = 0, bottom = 0;
        tgGetVisibleArea(&left, &top, &right, &bottom);
        record->x = int16_t(record->x - left);
        record->y = int16_t(record->y - int16_t(uint16_t(top) >> 1));
    }
    const int32_t answer = opAreaRequest(record, 0);
    if (oldCoordinates()) {
        int16_t left = 0, top = 0, right = 0, bottom = 0;
        tgGetVisibleArea(&left, &top, &right, &bottom);
        record->x = int16_t(record->x + left);
        record->y = int16_t(record->y + int16_t(uint16_t(top) >> 1));
    }
    return answer;
}

} // namespace zenvarth
