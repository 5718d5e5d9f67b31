#include "av_common.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "media/av_io.h"

namespace media {

namespace av {

namespace {

std::mutex messageLock;
std::string lastMessage;

void logCallback(void *, int level, const char *format, va_list args)
{
    if (level > AV_LOG_ERROR) return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
    if (line.empty()) return;
    std::lock_guard<std::mutex> lock(messageLock);
    lastMessage = line;
}

} // namespace

void quietLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(logCallback); });
}

std::string takeLibraryMessage()
{
    std::lock_guard<std::mutex> lock(messageLock);
    std::string m;
    m.swap(lastMessage);
    return m;
}

std::string describe(int averror)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(averror, text, sizeof text);
    std::string s = text;
    std::string more = takeLibraryMessage();
    if (!more.empty() && more != s) s += " (" + more + ")";
    return s;
}

int openInput(const std::string &path, InputPtr &out)
{
    AVFormatContext *raw = nullptr;
    const int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    out.reset(rc < 0 ? nullptr : raw);
    return rc;
}

SwsContext *cachedScaler(ScalerPtr &held, int width, int height, AVPixelFormat from, AVPixelFormat to)
{
    // sws_getCachedContext frees the context it is given when it makes another.
    SwsContext *s = sws_getCachedContext(held.release(), width, height, from, width, height, to, SWS_BICUBIC,
                                         nullptr, nullptr, nullptr);
    held.reset(s);
    return s;
}

const AVPixelFormat *encoderFormats(const AVCodec *codec)
{
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100)
    const void *list = nullptr;
    int count = 0;
    if (avcodec_get_supported_config(nullptr, codec, AV_CODEC_CONFIG_PIX_FORMAT, 0, &list, &count) < 0) return nullptr;
    return static_cast<const AVPixelFormat *>(list);
#else
    return codec->pix_fmts;
#endif
}

} // namespace av

int defaultColorSpace(int width, int height)
{
    return width >= 1280 || height > 576 ? AVCOL_SPC_BT709 : height == 576 ? AVCOL_SPC_BT470BG : AVCOL_SPC_SMPTE170M;
}

bool looksLikeY4m(const uint8_t *bytes, size_t size)
{
    return size >= 9 && std::string(reinterpret_cast<const char *>(bytes), 9) == "YUV4MPEG2";
}

bool looksLikePng(const uint8_t *bytes, size_t size)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8) return false;
    for (int i = 0; i < 8; ++i)
        if (bytes[i] != signature[i]) return false;
    return true;
}

} // namespace media
