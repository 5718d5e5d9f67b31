// Checks the four small operators' tests share: the tag list's shape, the
// one log line of a failed render, and rendering one field.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "contract/helpers.h"
#include "testsupport.h"

namespace smallops {

using namespace hostrt;

// The order every small operator lists its tags in, with `params` records.
inline std::vector<TagWord> smallTagOrder(unsigned params)
{
    std::vector<TagWord> order{OPE_ATTRIBUTES, OPE_ONEINPUT, OPE_ACTION, OPE_REVISION,
                               OPE_INTERFACE};
    for (unsigned i = 0; i < params; ++i) order.push_back(opeParam(i));
    return order;
}

// "$Id: <Name> 1.0 <date> <time> <author> $"
inline void expectRevision(const OperatorInfo &info, const std::string &name)
{
    const std::string &rev = info.revision;
    std::string head = "$Id: " + name + " 1.0 ";
    EXPECT_EQ(rev.rfind(head, 0), 0u) << rev;
    ASSERT_GE(rev.size(), head.size() + 2);
    EXPECT_EQ(rev.substr(rev.size() - 2), " $") << rev;
    // date, time and author between the revision and the closing dollar
    std::string rest = rev.substr(head.size(), rev.size() - 2 - head.size());
    EXPECT_EQ(std::count(rest.begin(), rest.end(), ' '), 2) << rev;
    EXPECT_EQ(rest[4], '/') << rev;
    EXPECT_EQ(rest[13], ':') << rev;
}

inline void expectOneFailureLine(int32_t line, const char *source, uint32_t moduleCode)
{
    ASSERT_EQ(logLines().size(), 1u);
    const LogLine &l = logLines()[0];
    EXPECT_EQ(l.severity, 4);
    EXPECT_EQ(l.line, line);
    EXPECT_EQ(l.source, source);
    EXPECT_EQ(l.moduleCode, moduleCode);
    EXPECT_EQ(l.text, " ");
}

inline OperatorContext renderContext() { return makeContext(OPACT_RENDER, 0, 2); }

inline OperatorContext previewContext(int16_t permille)
{
    OperatorContext ctx = renderContext();
    ctx.flags = CTX_PREVIEW;
    ctx.previewScaleNum = 1;
    ctx.previewScaleDen = 1;
    ctx.verticalPermille = permille;
    return ctx;
}

// Renders with the inputs already set and returns the one field put.
inline FieldImage renderSet(const LoadedOperator &op, OperatorContext ctx = renderContext())
{
    clearPutFields();
    EXPECT_EQ(testsupport::call(op, ctx), 0);
    EXPECT_EQ(putFields().size(), 1u);
    return putFields().empty() ? FieldImage{} : putFields().back();
}

inline FieldImage renderOne(const LoadedOperator &op, const FieldImage &in,
                            OperatorContext ctx = renderContext())
{
    setInputFields(0, {in});
    return renderSet(op, ctx);
}

inline void setRect(RectParam &r, int16_t x, int16_t y, int16_t w, int16_t h)
{
    r.x = x;
    r.y = y;
    r.width = w;
    r.height = h;
}

// The first differing pixel, as a message; empty when the fields agree.
inline std::string firstDifference(const FieldImage &a, const FieldImage &b)
{
    if (a.bufferWidth != b.bufferWidth || a.bufferHeight != b.bufferHeight)
        return "buffer sizes differ";
    for (int r = 0; r < a.bufferHeight; ++r)
        for (int c = 0; c < a.bufferWidth; ++c)
            if (!testsupport::samePixel(a.at(c, r), b.at(c, r)))
                return "pixel (" + std::to_string(c) + ", " + std::to_string(r) + ")";
    return "";
}

} // namespace smallops
