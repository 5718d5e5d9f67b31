// The process-wide state the render driver and its passes share. The passes
// take no arguments: they talk through these pictures and the settings.
#pragma once

#include <cstdint>

#include "ZenvarthSettings.h"

namespace zenvarth {

constexpr const char *SOURCE_NAME = "src\\Zenvarth";

extern ZenvarthSettings settings;

extern OperatorContext *renderContext;
extern Picture *foregroundPicture;   // input 1; its alpha bytes take the starting matte
extern Picture *backgroundPicture;   // input 0
extern Picture *outputPicture;       // alpha = final key, colour = composite
extern int32_t pictureWidth;         // the foreground's buffer size; every pass walks
extern int32_t pictureHeight;        // pictureHeight rows of pictureWidth pixels
extern uint32_t renderFieldNumber;
extern uint32_t renderFieldCount;
extern bool matteDone;

// Wipe pattern: one byte per picture pixel, or null.
extern uint8_t *patternBuffer;

int32_t renderField(OperatorContext *ctx);

// The passes, in the order the driver runs them.
void buildStartingMatte();
void runKeyer();
void runMovePass();
void runMaskPass();
void runKeyEdgePass();
void runCompositor();

// Loads the wipe pattern when the effect needs it.
void loadPattern();
void freePattern();

inline bool isPreviewRender() { return renderContext && (renderContext->flags & CTX_PREVIEW); }

} // namespace zenvarth
