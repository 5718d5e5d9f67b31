#include "passes.h"

#include "SettingsTable.h"

namespace passes {

static void makePicture(Picture &picture, std::vector<Pixel> &pixels, int32_t w, int32_t h)
{
    picture.pixels = pixels.data();
    picture.bufferWidth = picture.width = int16_t(w);
    picture.bufferHeight = picture.height = int16_t(h);
    picture.x = picture.y = 0;
}

Scene::Scene(int32_t w, int32_t h, Pixel foreground, Pixel background, Pixel output)
    : width(w), height(h), fg(size_t(w) * size_t(h), foreground),
      bg(size_t(w) * size_t(h), background), out(size_t(w) * size_t(h), output)
{
    makePicture(fgPicture, fg, w, h);
    makePicture(bgPicture, bg, w, h);
    makePicture(outPicture, out, w, h);
}

void Scene::bind(uint32_t field, uint32_t count, bool preview)
{
    // A copied scene has its own pixels.
    makePicture(fgPicture, fg, width, height);
    makePicture(bgPicture, bg, width, height);
    makePicture(outPicture, out, width, height);
    context = OperatorContext{};
    context.action = OPACT_RENDER;
    context.fieldNumber = int32_t(field);
    context.fieldCount = count;
    context.flags = preview ? CTX_PREVIEW : 0;
    context.previewScaleNum = 1;
    context.previewScaleDen = preview ? 3 : 1;
    context.verticalPermille = 1000;
    zenvarth::renderContext = &context;
    zenvarth::foregroundPicture = &fgPicture;
    zenvarth::backgroundPicture = &bgPicture;
    zenvarth::outputPicture = &outPicture;
    zenvarth::pictureWidth = width;
    zenvarth::pictureHeight = height;
    zenvarth::renderFieldNumber = field;
    zenvarth::renderFieldCount = count;
}

void resetEngine()
{
    zenvarth::applyDefaultSettings();
    std::fill(std::begin(zenvarth::settings.patternName), std::end(zenvarth::settings.patternName), 0);
    zenvarth::renderContext = nullptr;
    zenvarth::foregroundPicture = zenvarth::backgroundPicture = zenvarth::outputPicture = nullptr;
    zenvarth::pictureWidth = zenvarth::pictureHeight = 0;
    zenvarth::renderFieldNumber = 0;
    zenvarth::renderFieldCount = 0;
    zenvarth::freePattern();
}

} // namespace passes
