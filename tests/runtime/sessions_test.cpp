// Two sessions in one process, each with its own operator, settings and
// pictures: run one after the other and interleaved field by field, each
// gives what it gives when it runs alone.
#include <cstring>
#include <memory>

#include "contract/gui_calls.h"
#include "hostrt/gui_session.h"
#include "testsupport.h"

using namespace hostrt;

namespace {

constexpr int FIELDS = 6;

// One operator and what its session answers.
struct Job {
    const char *op;
    int inputs;
    VisibleArea visible;
    uint16_t pixelAspect;
    uint32_t seed;
};

// What a session saw: the fields put back, the pixel aspect its GUI
// answered, and the pictures left held.
struct Outcome {
    std::vector<FieldImage> put;
    uint16_t pixelAspect = 0;
    size_t leaked = 0;
};

class SessionRun {
public:
    explicit SessionRun(const Job &job) : job_(job)
    {
        testsupport::loadOperator(job.op, op_);
        UseSession use(session_);
        setVisibleArea(job.visible);
        gui::GuiSettings settings;
        settings.pixelAspect = job.pixelAspect;
        gui::setGuiSettings(settings);
        for (int input = 0; input < job.inputs; ++input) {
            std::vector<FieldImage> fields;
            for (int f = 0; f < FIELDS; ++f)
                fields.push_back(testsupport::randomField(96, 40, job.seed + uint32_t(input * FIELDS + f)));
            setInputFields(input, std::move(fields));
        }
    }
    void action(uint16_t action, int32_t field = 0)
    {
        UseSession use(session_);
        OperatorContext ctx = makeContext(action, field, FIELDS);
        testsupport::call(op_, ctx);
    }
    Outcome outcome()
    {
        UseSession use(session_);
        return Outcome{putFields(), gxGetPixelAspect(0, 2), totalLeaked()};
    }

private:
    Job job_;
    LoadedOperator op_;
    Session session_;
};

bool sameBytes(const FieldImage &a, const FieldImage &b)
{
    return a.bufferWidth == b.bufferWidth && a.bufferHeight == b.bufferHeight &&
           a.pixels.size() == b.pixels.size() &&
           std::memcmp(a.pixels.data(), b.pixels.data(), a.pixels.size() * sizeof(Pixel)) == 0;
}

void renderAll(std::vector<std::unique_ptr<SessionRun>> &runs, bool interleaved)
{
    for (auto &r : runs) r->action(OPACT_INIT);
    if (interleaved) {
        for (int f = 0; f < FIELDS; ++f)
            for (auto &r : runs) r->action(OPACT_RENDER, f);
    } else {
        for (auto &r : runs)
            for (int f = 0; f < FIELDS; ++f) r->action(OPACT_RENDER, f);
    }
    for (auto &r : runs) r->action(OPACT_RELEASE);
}

} // namespace

TEST(Sessions, TwoSessionsGiveWhatEachGivesAlone)
{
    resetSession();
    const Job jobs[2] = {
        {"Quorvel", 2, VisibleArea{8, 4, 90, 38}, 1093, 100},
        {"Plindor", 1, VisibleArea{0, 0, 96, 40}, 911, 200},
    };
    // Each alone, in a session of its own.
    std::vector<Outcome> alone;
    for (const Job &job : jobs) {
        std::vector<std::unique_ptr<SessionRun>> one;
        one.push_back(std::make_unique<SessionRun>(job));
        renderAll(one, false);
        alone.push_back(one[0]->outcome());
        ASSERT_EQ(alone.back().put.size(), size_t(FIELDS)) << job.op;
    }
    // Two runs that could not pass for each other.
    ASSERT_FALSE(sameBytes(alone[0].put[0], alone[1].put[0]));

    for (bool interleaved : {false, true}) {
        std::vector<std::unique_ptr<SessionRun>> both;
        for (const Job &job : jobs) both.push_back(std::make_unique<SessionRun>(job));
        renderAll(both, interleaved);
        for (size_t i = 0; i < 2; ++i) {
            SCOPED_TRACE(std::string(jobs[i].op) + (interleaved ? " interleaved" : " one after the other"));
            Outcome o = both[i]->outcome();
            EXPECT_EQ(o.pixelAspect, jobs[i].pixelAspect);
            EXPECT_EQ(o.leaked, 0u);
            ASSERT_EQ(o.put.size(), alone[i].put.size());
            for (size_t f = 0; f < o.put.size(); ++f) EXPECT_TRUE(sameBytes(o.put[f], alone[i].put[f])) << "field " << f;
        }
    }
    // The default session saw none of it.
    EXPECT_TRUE(putFields().empty());
    EXPECT_EQ(gxGetPixelAspect(0, 2), gui::GuiSettings{}.pixelAspect);
}
