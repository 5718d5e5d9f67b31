// The process-wide state the render driver and its passes share. The passes
// take no arguments: they talk through these pictures and the settings.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

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
// All six in that order, on the render statics: the render driver and the
// editor's preview key the same way.
void runPasses();

// The passes row by row. Each pass but the move pass and the blurs works on
// a pixel from that pixel alone (and the tables its settings give), so when
// no blur and no move is wanted runPasses takes the pictures a band of rows
// at a time through every pass while the band is in the cache, instead of
// each pass walking the whole pictures. The prepare steps do the per-render
// work once (tables, the pattern, and for the compositor any blur it needs)
// and return it to the caller, which keeps it for that render and hands it
// to the pass's row steps; the row steps take rows begin..end-1.
void startingMatteRows(int32_t begin, int32_t end);   // without matteDone
// The keyer's rule or tables for one render (64 KB, on the heap), which the
// caller keeps for that render and hands to every row step; null when the
// pictures cannot be keyed.
struct PreparedKeyer;
struct PreparedKeyerDelete {
    void operator()(PreparedKeyer *keyer) const;
};
using PreparedKeyerPtr = std::unique_ptr<PreparedKeyer, PreparedKeyerDelete>;
PreparedKeyerPtr prepareKeyer();
bool keyerWorksByRows();   // every mode but the dominance key
// With wholeMatte the rows first get the starting matte of the whole
// picture (wholePicture 1), for the colour-distance key in the same sweep.
void keyRows(const PreparedKeyer &keyer, int32_t begin, int32_t end, bool wholeMatte);
void maskRows(int32_t begin, int32_t end);
bool keyEdgeNeedsBlur();
bool keyEdgeChangesKey();
// The key-edge step of one render in bands: without edgeShrink only the
// opacity applies, by this table.
struct PreparedKeyEdge {
    bool scalesKey;
    std::array<uint8_t, 256> opacity;
};
PreparedKeyEdge prepareKeyEdge();
void keyEdgeRows(const PreparedKeyEdge &edge, int32_t begin, int32_t end);
// The compositor's tables for one render in bands, which the caller keeps
// for that render and hands to every row step; null when there is nothing
// to composite or no memory for it. The glow's or shadow's blur runs as
// compositeRows asks for rows, instead of over the whole key at once:
// compositorKeyRowsFor(end) says how many key rows from the top must be
// final (keyed, masked, edged) before compositeRows may take rows up to
// `end`. Deleting it gives back what the blur held.
struct PreparedCompositor;
struct PreparedCompositorDelete {
    void operator()(PreparedCompositor *plan) const;
};
using PreparedCompositorPtr = std::unique_ptr<PreparedCompositor, PreparedCompositorDelete>;
PreparedCompositorPtr prepareCompositor();
int32_t compositorKeyRowsFor(const PreparedCompositor &plan, int32_t end);
void compositeRows(PreparedCompositor &plan, int32_t begin, int32_t end);

// When the colour-distance key goes straight to the plain composite outside
// the fades (no mask, no edge step, no effect), both in one sweep: the
// bytes keyRows and compositeRows would give, without writing the key and
// reading it back. With wholeMatte the sweep also lays the starting matte of
// the whole picture (wholePicture 1), as startingMatteRows would first.
bool keyerIsColorDistance();
bool compositorIsPlainUnfaded(const PreparedCompositor &plan);
void keyAndCompositeRows(const PreparedKeyer &keyer, int32_t begin, int32_t end, bool wholeMatte);

// Loads the wipe pattern when the effect needs it.
void loadPattern();
void freePattern();

// The second settings record, into which a preset is read before it is
// copied into the settings. The render driver keeps its copy of the
// rectangle fields (offsets 136 to 187: 26 signed 16-bit values) in the same
// bytes of this record.
extern ZenvarthSettings presetStaging;
constexpr size_t RECT_FIELDS_OFFSET = 136;
constexpr size_t RECT_FIELDS_SIZE = 52;

// True while a render works on rectangles mapped and clamped for its
// pictures; the stored ones are then in presetStaging.
extern bool rectsMapped;
// The hole area as the user stored it, before any mapping: "no hole" is
// decided on these values.
const SettingsRect &storedHoleArea();

// The driver's changes to the settings for one render: the fades clamped to
// the section, the rectangles backed up, mapped (preview) and clamped to the
// pictures. Needs the picture statics; the restore undoes all of it.
void prepareRenderSettings(const OperatorContext &ctx);
void restoreRenderSettings();

// The operator's actions, dispatched on ctx->action (the entry point stores
// the context first).
int32_t runAction(OperatorContext *ctx);
// Creates the data folder QVHOME/programs/zenvarth with its missing parents.
void installDataDirectory();

inline bool isPreviewRender() { return renderContext && (renderContext->flags & CTX_PREVIEW); }

} // namespace zenvarth
