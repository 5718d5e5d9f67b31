// What every small operator shares, checked over one table: the tag list's
// order and records, the records' contents as loaded, actions other than a
// render returning 0, and a render returning what the host's put returned.
#include <gtest/gtest.h>

#include "smallops.h"

using namespace smallops;

namespace {

// One parameter record as the operator lists it and holds it when loaded.
struct ParamRow {
    uint16_t kind;
    uint16_t labelId;
    uint32_t flags;
    RectParam rect{};                  // PARAM_RECT
    SliderParam slider{};              // PARAM_SLIDER
    uint32_t color = 0;                // PARAM_COLOR, as a pixel word
    uint32_t choice = 0;               // PARAM_CHOICE: the value ...
    std::vector<uint32_t> entries{};   // ... and the entry ids
};

struct OperatorRow {
    const char *name;
    uintptr_t attributes;
    bool oneInput;
    std::vector<ParamRow> params;
    std::vector<uint16_t> otherActions;
    int inputs;                        // clips a render reads
};

RectParam rect(int16_t minW, int16_t minH, int16_t maxW, int16_t maxH, int16_t x, int16_t y, int16_t w, int16_t h)
{
    RectParam r{};
    r.minWidth = minW, r.minHeight = minH, r.maxWidth = maxW, r.maxHeight = maxH;
    r.x = x, r.y = y, r.width = w, r.height = h;
    return r;
}

SliderParam slider(uint32_t maximum, int32_t value)
{
    SliderParam s{};
    s.word8 = SLIDER_WORD8, s.word12 = 0, s.minimum = 0, s.maximum = maximum, s.value = value;
    return s;
}

ParamRow rectRow(uint16_t label, uint32_t flags, RectParam r) { return {PARAM_RECT, label, flags, r}; }
ParamRow sliderRow(uint16_t label, SliderParam s) { return {PARAM_SLIDER, label, 0, {}, s}; }
ParamRow colorRow(uint16_t label, uint32_t flags) { return {PARAM_COLOR, label, flags, {}, {}, BLUE_DEFAULT}; }
ParamRow choiceRow(uint16_t label, std::vector<uint32_t> entries)
{
    return {PARAM_CHOICE, label, 0, {}, {}, 0, 0, std::move(entries)};
}

const RectParam SAMPLE = rect(1, 1, 320, 200, 500, 50, 64, 32);
const RectParam SOURCE = rect(4, 4, 999, 999, 200, 100, 64, 32);
const RectParam DESTINATION = rect(999, 999, 999, 999, 64, 32, 64, 32);
const std::vector<uint16_t> ALL_OTHER_ACTIONS{0, 1, 2, 4, 5, 6, 7, 8, 99, 65535};
// Plindor and Quorvel move the destination on action 4: it is theirs to test.
const std::vector<uint16_t> NO_PARAMETER_ACTION{0, 1, 2, 5, 6, 7, 8, 99, 65535};

const std::vector<OperatorRow> &operators()
{
    static const std::vector<OperatorRow> rows{
        {"Tolmic", 0, true,
         {rectRow(1610, 0, SAMPLE), sliderRow(1620, slider(100, 90)), sliderRow(1630, slider(200, 120)),
          sliderRow(1640, slider(200, 80))},
         ALL_OTHER_ACTIONS, 1},
        {"Vashrel", 2, true,
         {rectRow(1510, 0, SAMPLE), sliderRow(1520, slider(100, 85)), colorRow(1530, 0),
          choiceRow(1540, {1541, 1542})},
         ALL_OTHER_ACTIONS, 1},
        {"Plindor", 0, true, {rectRow(610, 2, SOURCE), rectRow(620, 2, DESTINATION), colorRow(630, 1)},
         NO_PARAMETER_ACTION, 1},
        {"Quorvel", 0, false, {rectRow(710, 3, SOURCE), rectRow(720, 2, DESTINATION)}, NO_PARAMETER_ACTION, 2},
        {"Dremwick", 0, true, {choiceRow(510, {511, 512}), rectRow(520, 2, SOURCE), colorRow(530, 1)},
         ALL_OTHER_ACTIONS, 1},
    };
    return rows;
}

bool sameRect(const RectParam &a, const RectParam &b)
{
    return a.minWidth == b.minWidth && a.minHeight == b.minHeight && a.maxWidth == b.maxWidth &&
           a.maxHeight == b.maxHeight && a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

// True when parameter record `record` holds the row's defaults.
bool holdsDefaults(const void *record, const ParamRow &row)
{
    switch (row.kind) {
    case PARAM_RECT: return sameRect(*static_cast<const RectParam *>(record), row.rect);
    case PARAM_SLIDER: {
        const auto &s = *static_cast<const SliderParam *>(record);
        return s.word8 == row.slider.word8 && s.word12 == row.slider.word12 && s.minimum == row.slider.minimum &&
               s.maximum == row.slider.maximum && s.value == row.slider.value;
    }
    case PARAM_COLOR: return pixelWord(static_cast<const ColorParam *>(record)->color) == row.color;
    case PARAM_CHOICE: return static_cast<const ChoiceParam *>(record)->value == row.choice;
    default: return false;
    }
}

} // namespace

TEST(SmallOperators, TagListOrderAndRecords)
{
    for (const OperatorRow &row : operators()) {
        SCOPED_TRACE(row.name);
        LoadedOperator op;
        testsupport::loadOperator(row.name, op);
        const auto &info = op.info();
        EXPECT_EQ(info.tagOrder, smallTagOrder(unsigned(row.params.size())));
        EXPECT_EQ(info.attributes, row.attributes);
        EXPECT_EQ(info.oneInput, row.oneInput);
        EXPECT_EQ(info.interface, 2u);
        expectRevision(info, row.name);
        ASSERT_EQ(info.params.size(), row.params.size());
        for (size_t i = 0; i < row.params.size(); ++i) {
            EXPECT_EQ(info.params[i].labelId, row.params[i].labelId) << i;
            EXPECT_EQ(info.params[i].kind, row.params[i].kind) << i;
            EXPECT_EQ(info.params[i].flags, row.params[i].flags) << i;
            EXPECT_EQ(info.params[i].choiceEntries, row.params[i].entries) << i;
        }
    }
}

TEST(SmallOperators, RecordContentsAsLoaded)
{
    // The records are process-wide: check each operator in a fresh process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const OperatorRow &row : operators()) {
        SCOPED_TRACE(row.name);
        ASSERT_EXIT(
            {
                LoadedOperator fresh;
                if (!fresh.open(testsupport::operatorPath(row.name))) std::exit(1);
                const auto &params = fresh.info().params;
                if (params.size() != row.params.size()) std::exit(2);
                for (size_t i = 0; i < params.size(); ++i)
                    if (!holdsDefaults(params[i].record, row.params[i])) std::exit(int(10 + i));
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

TEST(SmallOperators, ActionsOtherThanRenderReturnZero)
{
    for (const OperatorRow &row : operators()) {
        SCOPED_TRACE(row.name);
        resetSession();
        LoadedOperator op;
        testsupport::loadOperator(row.name, op);
        for (uint16_t a : row.otherActions) {
            OperatorContext ctx = makeContext(a);
            EXPECT_EQ(testsupport::call(op, ctx), 0) << a;
        }
        EXPECT_TRUE(logLines().empty());
    }
    resetSession();
}

TEST(SmallOperators, PutFieldResultIsReturned)
{
    int32_t result = 2;
    for (const OperatorRow &row : operators()) {
        SCOPED_TRACE(row.name);
        resetSession();
        LoadedOperator op;
        testsupport::loadOperator(row.name, op);
        testsupport::callAction(op, OPACT_INIT);
        for (int i = 0; i < row.inputs; ++i) setInputFields(i, {makeField(8, 4)});
        setPutResult(++result);
        OperatorContext ctx = renderContext();
        EXPECT_EQ(testsupport::call(op, ctx), result);
        EXPECT_EQ(totalLeaked(), 0u);
    }
    resetSession();
}
