// Framebuffer drawing: colours, rectangles, bevels, pictures and TTF text.
#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <map>
#include <memory>

#include "hostgui/settings.h"
#include "hostgui/types.h"
#include "hostgui/toolkit.h"

namespace hostgui {

static uint8_t clip8(int v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Studio-range BT.601 in 8.8 fixed point: exact and the same everywhere.
Rgba yuvToRgb(uint8_t y, uint8_t u, uint8_t v)
{
    int c = int(y) - 16, d = int(u) - 128, e = int(v) - 128;
    return Rgba{clip8((298 * c + 409 * e + 128) >> 8), clip8((298 * c - 100 * d - 208 * e + 128) >> 8),
                clip8((298 * c + 516 * d + 128) >> 8), 255};
}

Rgba colorWordToRgb(uint32_t word)
{
    Pixel p = pixelFromWord(word);
    return yuvToRgb(p.y, p.u, p.v);
}

uint32_t rgbToColorWord(uint8_t r, uint8_t g, uint8_t b)
{
    int y = ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16;
    int u = ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128;
    int v = ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128;
    return pixelWord(Pixel{255, clip8(v), clip8(u), clip8(y)});
}

void Canvas::resize(int w, int h)
{
    width = w < 0 ? 0 : w;
    height = h < 0 ? 0 : h;
    pixels.assign(size_t(width) * size_t(height), Rgba{0, 0, 0, 255});
    clip = Rect{0, 0, width, height};
}

static Rect intersect(Rect a, Rect b)
{
    int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    return Rect{x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

void Canvas::fill(Rect r, Rgba c)
{
    Rect d = intersect(r, clip);
    for (int y = d.y; y < d.y + d.h; ++y)
        for (int x = d.x; x < d.x + d.w; ++x) pixels[size_t(y) * size_t(width) + size_t(x)] = c;
}

void Canvas::blendPixel(int x, int y, Rgba c, int coverage)
{
    if (!clip.contains(x, y) || coverage <= 0) return;
    Rgba &d = pixels[size_t(y) * size_t(width) + size_t(x)];
    if (coverage >= 255) {
        d = Rgba{c.r, c.g, c.b, 255};
        return;
    }
    int k = coverage;
    d.r = uint8_t((d.r * (255 - k) + c.r * k + 127) / 255);
    d.g = uint8_t((d.g * (255 - k) + c.g * k + 127) / 255);
    d.b = uint8_t((d.b * (255 - k) + c.b * k + 127) / 255);
}

void Canvas::frame(Rect r, Rgba c)
{
    fill(Rect{r.x, r.y, r.w, 1}, c);
    fill(Rect{r.x, r.y + r.h - 1, r.w, 1}, c);
    fill(Rect{r.x, r.y, 1, r.h}, c);
    fill(Rect{r.x + r.w - 1, r.y, 1, r.h}, c);
}

static Rgba shade(Rgba c, int percent)
{
    auto s = [&](int v) { return clip8(percent >= 100 ? v + (255 - v) * (percent - 100) / 100 : v * percent / 100); };
    return Rgba{s(c.r), s(c.g), s(c.b), 255};
}

void Canvas::bevel(Rect r, Rgba face, bool raised)
{
    fill(r, face);
    Rgba light = shade(face, 150), dark = shade(face, 55);
    Rgba tl = raised ? light : dark, br = raised ? dark : light;
    fill(Rect{r.x, r.y, r.w, 1}, tl);
    fill(Rect{r.x, r.y, 1, r.h}, tl);
    fill(Rect{r.x, r.y + r.h - 1, r.w, 1}, br);
    fill(Rect{r.x + r.w - 1, r.y, 1, r.h}, br);
}

void Canvas::picture(int x, int y, const Picture &p, bool dim)
{
    if (!p.pixels) return;
    for (int row = 0; row < p.bufferHeight; ++row)
        for (int col = 0; col < p.bufferWidth; ++col) {
            Pixel s = p.pixels[size_t(row) * size_t(p.bufferWidth) + size_t(col)];
            if (s.alpha == 0) continue;
            blendPixel(x + col, y + row, yuvToRgb(s.y, s.u, s.v), dim ? s.alpha / 3 : s.alpha);
        }
}

// ---------------------------------------------------------------- text

struct Coverage {
    int w = 0, h = 0;
    std::vector<uint8_t> alpha;
};

struct FontCache {
    bool initTried = false;
    bool ok = false;
    std::string path;
    std::map<int, TTF_Font *> fonts;
    std::map<std::pair<int, std::string>, Coverage> texts;

    ~FontCache()
    {
        for (auto &f : fonts)
            if (f.second) TTF_CloseFont(f.second);
        if (ok) TTF_Quit();
    }

    TTF_Font *font(int height)
    {
        const std::string &want = settings().fontPath;
        if (want != path) {
            for (auto &f : fonts)
                if (f.second) TTF_CloseFont(f.second);
            fonts.clear();
            texts.clear();
            path = want;
        }
        if (!initTried) {
            initTried = true;
            ok = TTF_Init() == 0;
            if (!ok) std::fprintf(stderr, "host GUI: cannot start the font renderer: %s\n", TTF_GetError());
        }
        if (!ok) return nullptr;
        if (height < 6) height = 6;
        auto it = fonts.find(height);
        if (it != fonts.end()) return it->second;
        // DejaVu Sans is about 1.16 em high: this point size keeps a line
        // within the font height the host reports.
        TTF_Font *f = TTF_OpenFont(path.c_str(), height * 4 / 5);
        if (!f) std::fprintf(stderr, "host GUI: cannot open the font %s: %s\n", path.c_str(), TTF_GetError());
        else TTF_SetFontHinting(f, TTF_HINTING_NORMAL);
        fonts[height] = f;
        return f;
    }

    const Coverage *render(const std::string &s, int height)
    {
        if (s.empty()) return nullptr;
        TTF_Font *f = font(height);
        if (!f) return nullptr;
        auto key = std::make_pair(height, s);
        auto it = texts.find(key);
        if (it != texts.end()) return &it->second;
        Coverage cov;
        SDL_Surface *surf = TTF_RenderUTF8_Blended(f, s.c_str(), SDL_Color{255, 255, 255, 255});
        if (surf) {
            SDL_Surface *conv = SDL_ConvertSurfaceFormat(surf, SDL_PIXELFORMAT_ARGB8888, 0);
            SDL_FreeSurface(surf);
            if (conv) {
                cov.w = conv->w;
                cov.h = conv->h;
                cov.alpha.resize(size_t(cov.w) * size_t(cov.h));
                SDL_LockSurface(conv);
                for (int y = 0; y < cov.h; ++y) {
                    const uint32_t *row = reinterpret_cast<const uint32_t *>(
                        static_cast<const uint8_t *>(conv->pixels) + size_t(y) * size_t(conv->pitch));
                    for (int x = 0; x < cov.w; ++x) cov.alpha[size_t(y) * size_t(cov.w) + size_t(x)] = uint8_t(row[x] >> 24);
                }
                SDL_UnlockSurface(conv);
                SDL_FreeSurface(conv);
            }
        }
        if (texts.size() > 4000) texts.clear();
        return &(texts[key] = std::move(cov));
    }
};

namespace {

FontCache &fontCache() { return current().fonts.get(); }

} // namespace

bool fontAvailable() { return fontCache().font(16) != nullptr; }

int textWidth(const std::string &s, int fontHeight)
{
    const Coverage *c = fontCache().render(s, fontHeight);
    return c ? c->w : 0;
}

void Canvas::text(int x, int y, const std::string &s, Rgba c, int fontHeight)
{
    const Coverage *cov = fontCache().render(s, fontHeight);
    if (!cov) return;
    // Centre the rendered line in the font height.
    int top = y + (fontHeight - cov->h) / 2;
    for (int row = 0; row < cov->h; ++row)
        for (int col = 0; col < cov->w; ++col) {
            uint8_t a = cov->alpha[size_t(row) * size_t(cov->w) + size_t(col)];
            if (a) blendPixel(x + col, top + row, c, a);
        }
}

} // namespace hostgui
