// Zenvarth's settings record: 224 bytes, one per loaded library. Preset
// files are raw copies of it, so every offset is a storage format.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contract/contract.h"

struct SettingsRect {
    int16_t x;
    int16_t y;
    int16_t width;
    int16_t height;
};

struct SettingsPoint {
    int16_t x;
    int16_t y;
};

struct ZenvarthSettings {
    char patternName[112];
    Pixel keyColor;
    Pixel wipeEdgeColor;
    Pixel glowColor;
    Pixel shadowColor;
    uint32_t editorFrame;
    uint16_t fadeInFrames;
    uint16_t fadeOutFrames;
    SettingsRect sampleArea;
    SettingsRect keyArea;
    SettingsRect matteArea;
    SettingsRect holeArea;
    SettingsRect moveArea;
    SettingsPoint moveTarget;
    SettingsRect maskArea;
    uint8_t settingsPage;
    uint8_t keyerType;
    uint8_t effectType;
    uint8_t rectTool;
    uint8_t dominantChannel;
    uint8_t dominanceLevel;
    uint8_t dominanceThreshold;
    uint8_t hueTolerance;
    uint8_t chromaTolerance;
    uint8_t lumaCenter;
    uint8_t lumaWidth;
    uint8_t lumaLevel;
    uint8_t lumaKeyAbove;
    uint8_t hueLumaHueTolerance;
    uint8_t hueLumaLumaTolerance;
    uint8_t saturationCenter;
    uint8_t saturationWidth;
    uint8_t saturationLevel;
    uint8_t saturationKeyAbove;
    uint8_t blackLevel;
    uint8_t edgeShrink;
    uint8_t keyOpacity;
    uint8_t glowSize;
    uint8_t colorTolerance;
    uint8_t shadowDirection;
    uint8_t shadowDistance;
    uint8_t shadowSoftness;
    uint8_t tintBrightness;
    uint8_t wipeEdgeWidth;
    uint8_t maskOutside;
    uint8_t keyAreaInvert;
    uint8_t moveEnabled;
    uint8_t maskEnabled;
    uint8_t panelAtTop;
    uint8_t wholePicture;
    uint8_t reserved;
};

static_assert(sizeof(ZenvarthSettings) == 224);
static_assert(offsetof(ZenvarthSettings, keyColor) == 112);
static_assert(offsetof(ZenvarthSettings, editorFrame) == 128);
static_assert(offsetof(ZenvarthSettings, fadeInFrames) == 132);
static_assert(offsetof(ZenvarthSettings, sampleArea) == 136);
static_assert(offsetof(ZenvarthSettings, moveTarget) == 176);
static_assert(offsetof(ZenvarthSettings, maskArea) == 180);
static_assert(offsetof(ZenvarthSettings, settingsPage) == 188);
static_assert(offsetof(ZenvarthSettings, edgeShrink) == 208);
static_assert(offsetof(ZenvarthSettings, wholePicture) == 222);
static_assert(offsetof(ZenvarthSettings, reserved) == 223);

// Default colours.
constexpr uint32_t WIPE_EDGE_DEFAULT = 0x515AF0FFu;   // Y 81, U 90, V 240, alpha 255 (red)
constexpr uint32_t GLOW_DEFAULT = 0xD21092FFu;        // Y 210, U 16, V 146, alpha 255 (yellow)
constexpr uint32_t SHADOW_DEFAULT = 0x10808080u;      // Y 16, U 128, V 128, alpha 128 (black)

constexpr size_t ZENVARTH_SETTINGS_SIZE = sizeof(ZenvarthSettings);
