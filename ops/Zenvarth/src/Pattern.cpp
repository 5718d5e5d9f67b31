// The wipe pattern: a grey picture, named in the settings, fetched through
// the host's transfer library and scaled to one byte per picture pixel. It
// is the one heap buffer that outlives a call; it is kept with the size it
// was scaled for, so that pictures of another size (a preview after a full
// render, or the other way round) get it loaded again instead of indexing
// past it.
#include <cstdlib>
#include <cstring>

#include "EditorIds.h"
#include "Pattern.h"
#include "ZenvarthRender.h"
#include "contract/helpers.h"
#include "contract/host_calls.h"

namespace zenvarth {

uint8_t *patternBuffer = nullptr;
int32_t patternWidth = 0;
int32_t patternHeight = 0;
void *(*patternBufferAllocator)(size_t bytes) = std::malloc;

void freePattern()
{
    std::free(patternBuffer);
    patternBuffer = nullptr;
    patternWidth = 0;
    patternHeight = 0;
}

bool patternFitsPictures()
{
    return patternBuffer && patternWidth == pictureWidth && patternHeight == pictureHeight;
}

void scalePattern(const uint8_t *source, uint32_t sourceWidth, uint32_t sourceHeight)
{
    if (!patternBuffer || pictureWidth <= 0 || pictureHeight <= 0) return;
    const uint32_t dw = uint32_t(pictureWidth);
    const uint32_t dh = uint32_t(pictureHeight);
    const uint32_t stepX = (sourceWidth * 65536u) / dw;
    const uint32_t stepY = (sourceHeight * 65536u) / dh;
    uint8_t *to = patternBuffer;
    uint32_t yAcc = 0;
    for (uint32_t j = 0; j < dh; ++j) {
        const uint8_t *row = source + size_t(yAcc >> 16) * sourceWidth;
        uint32_t xAcc = 0;
        for (uint32_t i = 0; i < dw; ++i) {
            *to++ = row[xAcc >> 16];
            xAcc += stepX;
        }
        yAcc += stepY;
    }
    patternWidth = pictureWidth;
    patternHeight = pictureHeight;
}

void loadPattern()
{
    if (settings.effectType != 4) return;
    // Without pictures there is nothing to scale to, and a pattern of
    // another size is of no use.
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        freePattern();
        return;
    }
    // A preset file may fill all 112 bytes of the name without a final NUL.
    char name[sizeof settings.patternName + 1];
    std::memcpy(name, settings.patternName, sizeof settings.patternName);
    name[sizeof settings.patternName] = '\0';
    const PictureHandle picture(txGetOpImage(name, 3, 1));
    if (!picture) {
        logFailure(LINE_NO_PATTERN_PICTURE, SOURCE_NAME, MODULE_ZENVARTH);
        return;
    }
    freePattern();
    if (picture->bufferWidth > 0 && picture->bufferHeight > 0 && picture->pixels) {
        patternBuffer =
            static_cast<uint8_t *>(patternBufferAllocator(size_t(pictureWidth) * size_t(pictureHeight)));
        if (patternBuffer) {
            scalePattern(reinterpret_cast<const uint8_t *>(picture->pixels),
                         uint32_t(picture->bufferWidth), uint32_t(picture->bufferHeight));
        } else {
            logFailure(LINE_NO_PATTERN_BUFFER, SOURCE_NAME, MODULE_ZENVARTH);
        }
    }
}

} // namespace zenvarth
