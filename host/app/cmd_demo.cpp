// ophost demo [-o DIR]: the main job on built-in inputs. Makes a short clip
// of a ball bouncing in front of a blue backing and a background, keys it
// with Zenvarth's default colour key, composites it with a drop shadow and a
// fade-in, and writes the result as YUV4MPEG2 plus a few PNG frames.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "SettingsTable.h"
#include "command.h"
#include "ophost/options.h"
#include "demo_clip.h"
#include "media/png_io.h"
#include "media/yuv_rgb.h"
#include "ophost/operators.h"
#include "ophost/progress.h"
#include "ophost/run.h"

namespace {

namespace fs = std::filesystem;

// What the demo changes in Zenvarth's settings record.
constexpr size_t SETTINGS_SIZE = sizeof(ZenvarthSettings);
constexpr uint32_t EFFECT_DROP_SHADOW = 2;
constexpr uint16_t DEMO_FADE_IN_FRAMES = 12;

const int SAVED_FRAMES[] = {4, 15, 30, 45};
constexpr int INPUT_FRAME = 15;

std::string pngName(int frame)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04d.png", frame);
    return name;
}

bool savePng(const media::VideoFrame &frame, const fs::path &path, std::string &error)
{
    media::RgbaImage image;
    media::frameToRgba(frame, image);
    return media::writePng(path.string(), image, false, error);
}

// Passes every frame on to the video file and keeps a few as PNG.
class DemoSink : public ophost::FrameSink {
public:
    DemoSink(std::unique_ptr<ophost::FrameSink> video, fs::path folder)
        : video_(std::move(video)), folder_(std::move(folder))
    {
    }
    bool write(const media::VideoFrame &frame, std::string &error) override
    {
        const int index = count_++;
        if (!video_->write(frame, error)) return false;
        for (int saved : SAVED_FRAMES) {
            if (saved != index) continue;
            fs::path path = folder_ / pngName(index);
            if (!savePng(frame, path, error)) return false;
            written_.push_back(path);
        }
        return true;
    }
    bool finish(std::string &error) override { return video_->finish(error); }
    void abandon() override
    {
        video_->abandon();
        std::error_code ignored;
        for (const fs::path &p : written_) fs::remove(p, ignored);
        written_.clear();
    }
    const std::vector<fs::path> &pngs() const { return written_; }

private:
    std::unique_ptr<ophost::FrameSink> video_;
    fs::path folder_;
    int count_ = 0;
    std::vector<fs::path> written_;
};

int fail(const std::string &message)
{
    std::fprintf(stderr, "ophost demo: %s\n", message.c_str());
    return ophost::EXIT_FAILURE_STATUS;
}

int runDemo(int argc, char **argv)
{
    std::string folder = "demo-out";
    ophost::OptionTable table = {ophost::text("--output", "DIR", folder, "where the files go (default: demo-out)")};
    table[0].alias = "-o";
    table[0].label = "-o, --output DIR";
    char head[1024];
    std::snprintf(head, sizeof head,
                  "usage: ophost demo [-o DIR]\n\n"
                  "Renders a built-in clip through Zenvarth: a ball bouncing in front of a\n"
                  "blue backing, keyed with the default colour key and laid over a sky and a\n"
                  "tiled floor with a drop shadow and a fade-in. Needs no input files.\n\n"
                  "Writes DIR/demo.y4m (%dx%d, %d frames, 25 fps) and a few frames as\n"
                  "DIR/frame-NNNN.png, with the two inputs of frame %d as\n"
                  "DIR/input-foreground.png and DIR/input-background.png.\n\n"
                  "options:\n",
                  demo::DEMO_CLIP.width, demo::DEMO_CLIP.height, demo::DEMO_CLIP.frames, INPUT_FRAME);
    if (auto stop = ophost::parseCommand("demo", argc, argv, table, {head, "", 21})) return *stop;
    if (folder.empty()) {
        std::fprintf(stderr, "ophost demo: the output folder name is empty\n");
        return ophost::EXIT_USAGE;
    }

    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
        return fail("cannot create the folder '" + folder + "'" + (ec ? ": " + ec.message() : ""));
    }

    hostrt::LoadedOperator op;
    std::string error;
    if (!ophost::loadOperator("Zenvarth", op, error)) return fail(error);
    SettingsDescriptor *settings = op.info().settings;
    if (!settings || !settings->block || settings->size != SETTINGS_SIZE)
        return fail(op.info().path + ": no settings record of " + std::to_string(SETTINGS_SIZE) + " bytes");
    hostrt::setLogListener(
        [](const hostrt::LogLine &line) { std::fprintf(stderr, "%s\n", ophost::formatLogLine(line).c_str()); });

    // The operator's defaults (the blue key colour, keyer 1) and a drop
    // shadow with a fade-in.
    auto *record = static_cast<uint8_t *>(settings->block);
    zenvarth::writeUnsigned(record, *zenvarth::findSettingsField("effectType"), EFFECT_DROP_SHADOW);
    zenvarth::writeUnsigned(record, *zenvarth::findSettingsField("fadeInFrames"), DEMO_FADE_IN_FRAMES);

    const demo::ClipSize size = demo::DEMO_CLIP;
    std::fprintf(stderr, "ophost demo: making %d frames of %dx%d\n", size.frames, size.width, size.height);
    std::vector<media::VideoFrame> foreground, background;
    for (int k = 0; k < size.frames; ++k) {
        foreground.push_back(demo::foregroundFrame(size, k));
        background.push_back(demo::backgroundFrame(size, k));
    }
    const fs::path dir(folder);
    for (auto [name, frame] : {std::pair{"input-foreground.png", &foreground[INPUT_FRAME]},
                               std::pair{"input-background.png", &background[INPUT_FRAME]}}) {
        if (!savePng(*frame, dir / name, error)) return fail(error);
    }
    auto in0 = ophost::memoryClip(std::move(background), false, media::Chroma::C444);
    auto in1 = ophost::memoryClip(std::move(foreground), false, media::Chroma::C444);

    ophost::OutputFormat format;
    format.chroma = media::Chroma::C420;
    format.interlaced = false;
    format.rateNum = 25;
    format.rateDen = 1;
    const fs::path videoPath = dir / "demo.y4m";
    auto video = ophost::openSink(videoPath.string(), format, error);
    if (!video) return fail(error);
    DemoSink sink(std::move(video), dir);

    ophost::RunOptions options;
    ophost::ProgressLine progress("ophost demo", true);
    options.progress = [&progress](uint32_t done, uint32_t count) { progress.update(done, count); };
    ophost::RunResult result = ophost::runRender(op, *in0, in1.get(), sink, options);
    progress.clear();
    if (!result.ok) return fail(result.error);
    if (result.leaked != 0)
        return fail("Zenvarth still held " + std::to_string(result.leaked) + " pictures after its calls");

    std::printf("Zenvarth keyed the ball off its blue backing and laid it over the background\n"
                "with a drop shadow and a %u-frame fade-in (%u fields in %.2f s).\n\n",
                unsigned(DEMO_FADE_IN_FRAMES), result.fields, result.seconds);
    std::printf("  %s   the clip: %dx%d, %d frames, 25 fps (YUV4MPEG2)\n", videoPath.string().c_str(),
                size.width, size.height, size.frames);
    for (const fs::path &p : sink.pngs()) std::printf("  %s\n", p.string().c_str());
    std::printf("  %s, %s   the inputs of frame %d\n", (dir / "input-foreground.png").string().c_str(),
                (dir / "input-background.png").string().c_str(), INPUT_FRAME);
    std::printf("\nAny player that reads YUV4MPEG2 plays the clip (mpv, ffplay).\n");
    return ophost::EXIT_OK;
}

} // namespace

const ophost::Command ophost::DEMO_COMMAND = {
    "demo", "render the built-in demo clip through Zenvarth (no input files needed)", runDemo};
