// The one door between the MLT services and the operators: loading an
// operator library, what its properties are called, and rendering one frame
// of one instance. The runtime's and the operators' state is process-wide,
// so every call through here is serialised under one lock, and each frame
// starts from the library's records as they were after loading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "contract/contract.h"

namespace opsmlt {

// One parameter or settings field as a service property.
struct PropertyInfo {
    std::string name;        // as ophost's --set names it ("colorTolerance", "Near chroma")
    std::string loose;       // letters and digits in lower case
    enum Kind { Slider, Choice, Color, Rect, Button, Text, Number, Point } kind = Slider;
    int64_t minimum = 0, maximum = 0;   // sliders, choices; panel range of numbers
    bool hasRange = false;
    std::string defaultValue;            // in the form the property takes
    uint32_t colorDefault = 0;           // colours: the default, 0xYYUUVVAA
    std::vector<std::string> choices;    // a choice's entries
    std::string help;
};

struct OperatorDescription {
    std::string name;        // "Zenvarth"
    bool oneInput = true;
    bool settingsRecord = false;   // Zenvarth's: settings=FILE loads it
    std::vector<PropertyInfo> properties;
};

// Loads the operator (once per process) and describes it. False with
// `error` when the library cannot be found or opened.
bool describeOperator(const std::string &name, OperatorDescription &out, std::string &error);

// A frame as two fields of full-resolution pixels: field[0] the even lines.
struct Fields {
    std::vector<Pixel> field[2];
};

struct FrameJob {
    std::string op;
    std::string settingsFile;                 // empty: none
    std::vector<std::string> assignments;     // "NAME=VALUE", applied in order after the file
    int width = 0, height = 0;                // the frame
    bool bottomFirst = false;
    int position = 0, length = 1;             // the frame in the section, the section's length in frames
    const Fields *in0 = nullptr;
    const Fields *in1 = nullptr;              // two-input operators
    Fields *out = nullptr;
};

struct FrameResult {
    bool rendered = false;
    std::vector<std::string> refused;   // properties refused, with the reason
    std::string error;                  // the render's fault
    std::vector<std::string> log;       // the operator's notary lines
    size_t held = 0;                    // pictures the operator still held after its calls
};

// Swaps the job's settings into the library, brackets the frame with
// actions 1 and 2 around the renders of its two fields, and puts back what
// was there. Refused properties or a fault leave `out` untouched.
FrameResult renderFrame(const FrameJob &job);

} // namespace opsmlt
