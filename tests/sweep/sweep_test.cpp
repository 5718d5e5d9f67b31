// The plug-in check a host runs: load every built operator, print its
// description, and step each parameter across its whole range and past it,
// rendering a few fields at every step (normal and preview) and checking
// after every call that the operator holds no picture.
#include <cstdio>
#include <sstream>

#include "testsupport.h"

using namespace hostrt;

namespace {

std::vector<std::string> builtOperators()
{
    std::vector<std::string> names;
    std::stringstream ss(OPS_OPERATOR_NAMES);
    std::string name;
    while (std::getline(ss, name, ','))
        if (!name.empty()) names.push_back(name);
    return names;
}

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

INSTANTIATE_TEST_SUITE_P(Operators, Sweep, ::testing::ValuesIn(builtOperators()),
                         [](const auto &info) { return info.param; });
