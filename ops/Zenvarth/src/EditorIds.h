// The editor's string ids (in the zv_ops string set) and the line numbers
// it logs failures with: each defined here once, under one name.
#pragma once

#include <cstdint>

namespace zenvarth {

// ---------------------------------------------------------------- strings

constexpr uint32_t STRING_TITLE = 2100;
constexpr uint32_t STRING_PREVIEW = 2110;
constexpr uint32_t STRING_PRESETS = 2111;   // the action button and the presets requester's title
constexpr uint32_t STRING_RESET = 2112;
constexpr uint32_t STRING_KEYER_TITLE = 2200;
constexpr uint32_t STRING_SAMPLE_AREA = 2221;   // the sample buttons and the key-area button
constexpr uint32_t STRING_EFFECT_TITLE = 2400;
constexpr uint32_t STRING_TOOL_TITLE = 2500;
constexpr uint32_t STRING_EMPTY_CLIP = 2702;
constexpr uint32_t STRING_RESET_QUESTION = 2703;
constexpr uint32_t STRING_INFO = 2704;

// Settings panel labels.
constexpr uint32_t STRING_TOLERANCE = 420;
constexpr uint32_t STRING_SIDE = 510;
constexpr uint32_t STRING_WIDTH = 920;
constexpr uint32_t STRING_LEVEL = 1110;
constexpr uint32_t STRING_KEY_WHEN = 1130;
constexpr uint32_t STRING_COLOUR = 1832;
constexpr uint32_t STRING_ENABLED = 2700;

// Help texts.
constexpr uint32_t STRING_HELP_CLOSE = 2806;
constexpr uint32_t STRING_HELP_COMPACT = 2807;
constexpr uint32_t STRING_HELP_PANEL_PLACE = 2808;

// ---------------------------------------------------------------- log lines

constexpr int32_t LINE_NO_DEFAULT_SIZE = 858;   // the default picture has no size to divide by
constexpr int32_t LINE_NO_OUTPUT_AT_OPENING = 865;
constexpr int32_t LINE_NO_OUTPUT_AFTER_PREVIEW = 957;
// The editor's own fetch of a field (a render's fetch logs other lines).
constexpr int32_t LINE_EDITOR_NO_BACKGROUND = 2366;
constexpr int32_t LINE_EDITOR_NO_FOREGROUND = 2386;
constexpr int32_t LINE_NO_CHOICE_LIST = 5105;   // a popup list cannot be allocated

} // namespace zenvarth
