#include <algorithm>

#include "contract/host_calls.h"
#include "testsupport.h"

using namespace hostrt;

class Runtime : public ::testing::Test {
protected:
    void SetUp() override { resetSession(); }
    void TearDown() override { resetSession(); }
};

TEST_F(Runtime, FieldsComeFromTheInputsAndGoBackThroughPut)
{
    FieldImage f = makeField(3, 2, Pixel{1, 2, 3, 4});
    f.at(2, 1) = Pixel{9, 8, 7, 6};
    setInputFields(0, {f});
    Picture *p = opGetField(0, 0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->bufferWidth, 3);
    EXPECT_EQ(p->bufferHeight, 2);
    EXPECT_EQ(pixelWord(p->pixels[5]), pixelWord(Pixel{9, 8, 7, 6}));
    EXPECT_EQ(heldPictureCount(), 1u);
    EXPECT_EQ(opGetField(0, 1), nullptr);   // past the end
    EXPECT_EQ(opGetField(1, 0), nullptr);   // no input 1
    setPutResult(17);
    EXPECT_EQ(opPutField(p), 17);
    EXPECT_EQ(heldPictureCount(), 0u);
    ASSERT_EQ(putFields().size(), 1u);
    EXPECT_EQ(pixelWord(putFields()[0].at(2, 1)), pixelWord(Pixel{9, 8, 7, 6}));
}

TEST_F(Runtime, AllocImageForms)
{
    setInputFields(0, {makeField(8, 4)});
    Picture *field = opGetField(0, 0);
    Picture *work = opAllocImage(-1, -1, 1, 0);
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(work->bufferWidth, 8);
    EXPECT_EQ(work->bufferHeight, 4);
    setStandardSize(720, 288);
    Picture *standard = opAllocImage(0, 0, 1, 0);
    ASSERT_NE(standard, nullptr);
    EXPECT_EQ(standard->bufferWidth, 720);
    EXPECT_EQ(standard->bufferHeight, 288);
    Picture *sized = opAllocImage(5, 3, 1, 0);
    ASSERT_NE(sized, nullptr);
    EXPECT_EQ(sized->bufferWidth, 5);
    failAllocation(1);
    Picture *ok = opAllocImage(2, 2, 1, 0);
    EXPECT_NE(ok, nullptr);
    EXPECT_EQ(opAllocImage(2, 2, 1, 0), nullptr);
    EXPECT_NE(opAllocImage(2, 2, 1, 0), nullptr);
    EXPECT_EQ(heldPictureCount(), 6u);
    opFreeImage(field);
    opFreeImage(work);
    opFreeImage(standard);
    opFreeImage(sized);
    opFreeImage(ok);
    EXPECT_EQ(heldPictureCount(), 1u);
}

// Pictures given back lend their memory to later ones: whatever a buffer
// held before, a work picture arrives filled with the work-picture colour
// and a field holds exactly its input's pixels, also when the input answers
// with a field smaller or larger than the last, or with none.
TEST_F(Runtime, ReusedBuffersCarryNothingOver)
{
    const Pixel fill{0, 128, 128, 16};
    FieldImage small = makeField(3, 2, Pixel{1, 2, 3, 4}), large = makeField(9, 5, Pixel{5, 6, 7, 8});
    large.at(8, 4) = Pixel{9, 9, 9, 9};
    setInputFields(0, {large, small, large});
    setInput(1, [](int32_t, FieldImage &out) {
        out.pixels.resize(4);   // a wrong size: no picture
        return true;
    });
    for (int round = 0; round < 3; ++round) {
        for (int32_t n : {0, 1, 2}) {
            Picture *field = opGetField(0, n);
            ASSERT_NE(field, nullptr);
            const FieldImage &want = n == 1 ? small : large;
            ASSERT_EQ(field->bufferWidth, want.bufferWidth);
            for (size_t i = 0; i < want.pixels.size(); ++i)
                ASSERT_EQ(pixelWord(field->pixels[i]), pixelWord(want.pixels[i])) << n << " " << i;
            // Scribble over it before giving it back.
            std::fill(field->pixels, field->pixels + want.pixels.size(), Pixel{77, 77, 77, 77});
            EXPECT_EQ(opGetField(1, n), nullptr);
            Picture *work = opAllocImage(4, 4, 1, 0);
            ASSERT_NE(work, nullptr);
            for (int i = 0; i < 16; ++i) ASSERT_EQ(pixelWord(work->pixels[i]), pixelWord(fill)) << i;
            std::fill(work->pixels, work->pixels + 16, Pixel{66, 66, 66, 66});
            opFreeImage(work);
            opFreeImage(field);
        }
    }
    EXPECT_EQ(heldPictureCount(), 0u);
}

TEST_F(Runtime, CallOperatorReportsAndReclaimsHeldPictures)
{
    setInputFields(0, {makeField(2, 2)});
    OperatorContext ctx = makeContext(OPACT_RENDER);
    int32_t r = callOperator(+[](OperatorContext *c) -> int32_t {
        opGetField(0, c->fieldNumber);
        return 5;
    }, ctx);
    EXPECT_EQ(r, 5);
    EXPECT_EQ(lastCallHeld(), 1u);
    EXPECT_EQ(heldPictureCount(), 0u);
    EXPECT_EQ(totalLeaked(), 1u);
}

TEST_F(Runtime, NotaryKeepsEveryLineAndHostAnswersAreSettable)
{
    notaryMessage(4, 89, "src\\Tolmic", 0x0B6F0000u, " ");
    ASSERT_EQ(logLines().size(), 1u);
    EXPECT_EQ(logLines()[0].line, 89);
    EXPECT_EQ(logLines()[0].source, "src\\Tolmic");
    EXPECT_EQ(logLines()[0].moduleCode, 0x0B6F0000u);
    EXPECT_EQ(logLines()[0].text, " ");
    EXPECT_EQ(tgVersion(0), 60);
    EXPECT_EQ(opVersion(0), 4);
    setTgVersion(40);
    setOpVersion(3);
    EXPECT_EQ(tgVersion(0), 40);
    EXPECT_EQ(opVersion(0), 3);
    setVisibleArea({-3, 5, 700, 280});
    int16_t l, t, r, b;
    tgGetVisibleAreaMonitor(&l, &t, &r, &b, 2);
    EXPECT_EQ(l, -3);
    EXPECT_EQ(t, 5);
    EXPECT_EQ(r, 700);
    EXPECT_EQ(b, 280);
}
