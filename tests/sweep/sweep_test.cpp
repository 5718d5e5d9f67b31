// The plug-in check a host runs: load every built operator, print its
// description, and step each parameter across its whole range and past it,
// rendering a few fields at every step (normal and preview) and checking
// after every call that the operator holds no picture.
#include <cstdio>
#include <cstring>
#include <sstream>

#include "SettingsTable.h"
#include "testsupport.h"

using namespace hostrt;

namespace {

void printDescription(const OperatorInfo &info)
{
    std::printf("%s: attributes 0x%lX, %s, interface %lu, %s\n", info.name.c_str(),
                static_cast<unsigned long>(info.attributes),
                info.oneInput ? "one input" : "two inputs",
                static_cast<unsigned long>(info.interface), info.revision.c_str());
    for (const auto &p : info.params)
        std::printf("  param %u: %s, label %u, flags %u\n", p.index, paramKindName(p.kind),
                    p.labelId, p.flags);
    if (info.settings) std::printf("  settings record: %u bytes\n", info.settings->size);
}

// Renders fields 0..2 of a 4-field section, normal and preview, plus the
// other actions, checking the held pictures after each call.
void exercise(const LoadedOperator &op, const std::string &what)
{
    for (uint16_t action : {OPACT_INIT, OPACT_RENDER, OPACT_RENDER, OPACT_RELEASE}) {
        for (int preview = 0; preview < 2; ++preview) {
            for (int32_t field = 0; field < 3; ++field) {
                OperatorContext ctx = makeContext(action, field, 4);
                if (preview) {
                    ctx.flags = CTX_PREVIEW;
                    ctx.previewScaleNum = 1;
                    ctx.previewScaleDen = 2;
                    ctx.verticalPermille = 500;
                }
                hostrt::callOperator(op.info().action, ctx);
                ASSERT_EQ(lastCallHeld(), 0u) << what << ", action " << action << ", field " << field;
                if (action != OPACT_RENDER) break;
            }
        }
    }
}

std::vector<int32_t> sliderValues(const SliderParam &s)
{
    std::vector<int32_t> v;
    int32_t max = int32_t(s.maximum);
    int32_t step = max / 6 > 0 ? max / 6 : 1;
    for (int32_t x = 0; x <= max; x += step) v.push_back(x);
    for (int32_t x : {max, max + 1, -1, 0x7FFFFFFF, int32_t(0x80000000)}) v.push_back(x);
    return v;
}

class Sweep : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        resetSession();
        std::vector<FieldImage> fields;
        for (int i = 0; i < 3; ++i) fields.push_back(testsupport::randomField(64, 32, 100 + i));
        setInputFields(0, fields);
        setInputFields(1, fields);
        setVisibleArea({4, 6, 60, 30});
    }
    void TearDown() override { resetSession(); }
};

} // namespace

TEST_P(Sweep, EveryParameterAcrossItsRange)
{
    LoadedOperator op;
    testsupport::loadOperator(GetParam(), op);
    printDescription(op.info());
    exercise(op, "defaults");
    for (const auto &p : op.info().params) {
        std::string what = GetParam() + " param " + std::to_string(p.index);
        switch (p.kind) {
        case PARAM_SLIDER: {
            auto &s = *static_cast<SliderParam *>(p.record);
            int32_t keep = s.value;
            for (int32_t v : sliderValues(s)) {
                s.value = v;
                exercise(op, what + " = " + std::to_string(v));
            }
            s.value = keep;
            break;
        }
        case PARAM_CHOICE: {
            auto &c = *static_cast<ChoiceParam *>(p.record);
            uint32_t keep = c.value;
            for (uint32_t v = 0; v <= p.choiceEntries.size() + 1; ++v) {
                c.value = v;
                exercise(op, what + " = " + std::to_string(v));
            }
            c.value = 0xFFFFFFFFu;
            exercise(op, what + " = max");
            c.value = keep;
            break;
        }
        case PARAM_COLOR: {
            auto &c = *static_cast<ColorParam *>(p.record);
            Pixel keep = c.color;
            for (uint32_t w : {0u, 0xFFFFFFFFu, 0x80808080u, 0x10808000u, 0xEB8080FFu, BLUE_DEFAULT}) {
                c.color = pixelFromWord(w);
                exercise(op, what);
            }
            c.color = keep;
            break;
        }
        case PARAM_RECT: {
            auto &r = *static_cast<RectParam *>(p.record);
            RectParam keep = r;
            const int16_t positions[] = {-1000, -10, 0, 5, 40, 63, 64, 999, 32767, -32768};
            const int16_t sizes[] = {-5, 0, 1, 4, 32, 64, 999, 32767};
            for (int16_t pos : positions)
                for (int16_t size : sizes) {
                    r.x = pos;
                    r.y = int16_t(pos / 2);
                    r.width = size;
                    r.height = size;
                    OperatorContext ctx = makeContext(OPACT_PARAMETER);
                    ctx.paramIndex = uint16_t(p.index);
                    hostrt::callOperator(op.info().action, ctx);
                    exercise(op, what + " at " + std::to_string(pos) + " size " + std::to_string(size));
                }
            r = keep;
            break;
        }
        default: {
            // A button: the host sends action 4 for it. An interactive one
            // (the editor) is not pressed here.
            break;
        }
        }
    }
    EXPECT_EQ(totalLeaked(), 0u);
}

// An operator with a settings record: every field of the record across its
// width, as a preset file or a host could set it.
TEST_P(Sweep, EverySettingsFieldAcrossItsWidth)
{
    LoadedOperator op;
    testsupport::loadOperator(GetParam(), op);
    if (!op.info().settings) GTEST_SKIP() << GetParam() << " has no settings record";
    ASSERT_EQ(op.info().settings->size, sizeof(ZenvarthSettings));
    auto *record = static_cast<uint8_t *>(op.info().settings->block);
    std::vector<uint8_t> defaults(record, record + sizeof(ZenvarthSettings));
    for (const auto &f : zenvarth::settingsFields()) {
        std::string what = GetParam() + " " + f.name;
        switch (f.kind) {
        case zenvarth::FieldKind::Unsigned: {
            uint32_t top = uint32_t(zenvarth::fieldMaxValue(f));
            uint32_t panelMax = f.hasPanelRange ? f.panelMax : 255;
            std::vector<uint32_t> values;
            for (uint32_t v = 0; v <= panelMax && v <= 255; v += panelMax / 5 + 1) values.push_back(v);
            for (uint32_t v : {panelMax, panelMax + 1, top / 2, top}) values.push_back(v);
            for (uint32_t v : values) {
                zenvarth::writeUnsigned(record, f, v);
                exercise(op, what + " = " + std::to_string(v));
            }
            break;
        }
        case zenvarth::FieldKind::Color:
            for (uint32_t w : {0u, 0xFFFFFFFFu, 0x10808000u, 0x80808080u}) {
                std::memcpy(record + f.offset, &w, 4);
                exercise(op, what);
            }
            break;
        case zenvarth::FieldKind::Rect:
        case zenvarth::FieldKind::Point:
            for (int16_t pos : {int16_t(-32768), int16_t(-7), int16_t(0), int16_t(31), int16_t(999),
                                int16_t(32767)})
                for (int16_t size : {int16_t(-32768), int16_t(-1), int16_t(0), int16_t(2),
                                     int16_t(40), int16_t(32767)}) {
                    zenvarth::writeRect(record, f, SettingsRect{pos, int16_t(pos / 3), size, size});
                    exercise(op, what + " at " + std::to_string(pos) + " size " + std::to_string(size));
                }
            break;
        case zenvarth::FieldKind::Text: {
            // Effect 4 loads the pattern named here: missing, and not a picture.
            zenvarth::writeUnsigned(record, *zenvarth::findSettingsField("effectType"), 4);
            for (const char *name : {"/nonexistent/pattern.png", "/dev/null", "/proc/self/status"}) {
                std::memset(record + f.offset, 0, f.size);
                std::memcpy(record + f.offset, name, std::strlen(name));
                exercise(op, what + " = " + name);
            }
            std::memset(record + f.offset, 'x', f.size);   // no terminating NUL
            exercise(op, what + " unterminated");
            break;
        }
        default:
            break;
        }
        std::memcpy(record, defaults.data(), defaults.size());
    }
    EXPECT_EQ(totalLeaked(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Operators, Sweep, ::testing::ValuesIn(testsupport::builtOperators()),
                         [](const auto &info) { return info.param; });
