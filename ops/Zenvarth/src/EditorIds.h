// Zenvarth's string and picture ids (in the zv_ops resource sets and the
// host's GUI set) and the line numbers its failures are logged with: each
// defined here once, under one name.
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
// The preset requester: a save that failed (with or without a file of that
// name before), a file that is no preset, and the question before a save
// replaces a file.
constexpr uint32_t STRING_SAVE_FAILED_KEPT = 2705;
constexpr uint32_t STRING_NOT_A_PRESET = 2706;
constexpr uint32_t STRING_SAVE_FAILED = 2707;
constexpr uint32_t STRING_REPLACE_QUESTION = 2708;

// Settings panel labels.
constexpr uint32_t STRING_TOLERANCE = 420;
constexpr uint32_t STRING_SIDE = 510;
constexpr uint32_t STRING_WIDTH = 920;
constexpr uint32_t STRING_LEVEL = 1110;
constexpr uint32_t STRING_KEY_WHEN = 1130;
constexpr uint32_t STRING_COLOUR = 1832;
constexpr uint32_t STRING_ENABLED = 2700;

// Mode popups: entry i stands for the value i of the page's mode field.
constexpr uint32_t KEYER_NAMES[] = {2210, 2211, 2220, 2230, 2240, 2250,
                                    2270, 2260, 2265, 2280, 2285, 2290};
constexpr uint32_t EFFECT_NAMES[] = {2410, 2420, 2430, 2440, 2450};
// The move tool is value 0, so its text comes first.
constexpr uint32_t TOOL_NAMES[] = {2520, 2510};
// The mode panel's text on pages 1 to 3.
constexpr uint32_t PAGE_TEXTS[3] = {2300, 2310, 2320};

// Help texts; the page buttons' are those of pages 0 to 5.
constexpr uint32_t STRING_HELP_PAGES[6] = {2800, 2801, 2802, 2803, 2804, 2805};
constexpr uint32_t STRING_HELP_CLOSE = 2806;
constexpr uint32_t STRING_HELP_COMPACT = 2807;
constexpr uint32_t STRING_HELP_PANEL_PLACE = 2808;

// ---------------------------------------------------------------- pictures

// The editor's own (zv_ops) pictures: the page buttons of pages 0 to 5 and
// the close button.
constexpr uint32_t IMAGE_PAGES[6] = {2101, 2102, 2103, 2104, 2105, 2106};
constexpr uint32_t IMAGE_CLOSE = 2107;
// Pictures of the host's GUI set.
constexpr uint32_t GUI_IMAGE_PANEL_PLACE = 20;
constexpr uint32_t GUI_IMAGE_COMPACT = 43;
constexpr uint32_t GUI_IMAGE_NARROW_CLOSE = 50;
constexpr uint32_t GUI_IMAGE_INFO = 69;

// ---------------------------------------------------------------- log lines

// A render's fetch of its pictures.
constexpr int32_t LINE_RENDER_NO_FOREGROUND = 256;
constexpr int32_t LINE_RENDER_NO_BACKGROUND = 262;
constexpr int32_t LINE_RENDER_NO_OUTPUT = 268;

constexpr int32_t LINE_NO_DEFAULT_SIZE = 858;   // the default picture has no size to divide by
constexpr int32_t LINE_NO_OUTPUT_AT_OPENING = 865;
constexpr int32_t LINE_NO_OUTPUT_AFTER_PREVIEW = 957;
// The editor's own fetch of a field (a render's fetch logs other lines).
constexpr int32_t LINE_EDITOR_NO_BACKGROUND = 2366;
constexpr int32_t LINE_EDITOR_NO_FOREGROUND = 2386;
constexpr int32_t LINE_NO_PATTERN_BUFFER = 4284;
constexpr int32_t LINE_NO_PATTERN_PICTURE = 4291;
constexpr int32_t LINE_NO_MOVE_PICTURE = 4852;   // the move pass's copy of the foreground
constexpr int32_t LINE_NO_CHOICE_LIST = 5105;   // a popup list cannot be allocated
constexpr int32_t LINE_PRESET_REFUSED = 5305;   // a chosen file is no preset
constexpr int32_t LINE_PRESET_NOT_SAVED = 5310;

} // namespace zenvarth
