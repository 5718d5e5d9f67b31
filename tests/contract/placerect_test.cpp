#include <gtest/gtest.h>

#include "contract/helpers.h"

namespace {

Picture picture(int16_t x, int16_t y)
{
    return Picture{nullptr, 720, 288, x, y, 720, 288};
}

RectParam rect(int16_t x, int16_t y, int16_t w, int16_t h)
{
    RectParam r{};
    r.header.kind = PARAM_RECT;
    r.x = x;
    r.y = y;
    r.width = w;
    r.height = h;
    return r;
}

OperatorContext context(bool preview, int16_t permille)
{
    OperatorContext ctx{};
    ctx.action = OPACT_RENDER;
    ctx.flags = preview ? CTX_PREVIEW : 0;
    ctx.verticalPermille = permille;
    return ctx;
}

} // namespace

TEST(PlaceRect, NormalRenderHalvesTopTowardZero)
{
    OperatorContext ctx = context(false, 1000);
    PlacedRect a = placeRect(picture(2, 3), rect(10, 20, 64, 32), &ctx, 4, 5);
    EXPECT_EQ(a.x0, 2 - 4 + 10);
    EXPECT_EQ(a.y0, 3 - 2 + 20);   // top 5 moves up by 2 rows
    EXPECT_EQ(a.width, 64);
    EXPECT_EQ(a.height, 32);
    PlacedRect b = placeRect(picture(0, 0), rect(10, 20, 64, 32), &ctx, 0, -3);
    EXPECT_EQ(b.y0, 21);           // top -3 moves down by 1 row, not 2
}

TEST(PlaceRect, PreviewScalesOnlyTheHeight)
{
    OperatorContext ctx = context(true, 500);
    PlacedRect a = placeRect(picture(1, 2), rect(10, 20, 64, 32), &ctx, 99, 99);
    EXPECT_EQ(a.x0, 11);
    EXPECT_EQ(a.y0, 22);
    EXPECT_EQ(a.width, 64);
    EXPECT_EQ(a.height, 16);
    ctx.verticalPermille = 333;
    EXPECT_EQ(placeRect(picture(0, 0), rect(0, 0, 1, 5), &ctx, 0, 0).height, 1);
    ctx.verticalPermille = -500;   // truncates toward zero
    EXPECT_EQ(placeRect(picture(0, 0), rect(0, 0, 1, 5), &ctx, 0, 0).height, -2);
}
