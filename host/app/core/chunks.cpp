#include "ophost/chunks.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "ophost/params.h"

namespace ophost {

std::string formatChunkTag(const ChunkRange &r)
{
    return std::to_string(r.first) + ":" + std::to_string(r.end) + "/" + std::to_string(r.sectionFirst) + ":" +
           std::to_string(r.sectionEnd);
}

bool parseChunkTag(const std::string &text, ChunkRange &r)
{
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    ChunkRange v;
    if (!parseFrameRange(text.substr(0, slash), v.first, v.end)) return false;
    if (!parseFrameRange(text.substr(slash + 1), v.sectionFirst, v.sectionEnd)) return false;
    if (v.first < v.sectionFirst || v.end > v.sectionEnd) return false;
    r = v;
    return true;
}

std::vector<std::pair<int, int>> splitFrames(int first, int end, int count)
{
    std::vector<std::pair<int, int>> runs;
    const int frames = end - first;
    if (frames <= 0 || count <= 0) return runs;
    if (count > frames) count = frames;
    int at = first;
    for (int k = 0; k < count; ++k) {
        const int length = frames / count + (k < frames % count ? 1 : 0);
        runs.emplace_back(at, at + length);
        at += length;
    }
    return runs;
}

std::string partName(const std::string &out, int number)
{
    const size_t slash = out.find_last_of('/');
    const size_t dot = out.find_last_of('.');
    const std::string part = ".part" + std::to_string(number);
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return out + part;
    return out.substr(0, dot) + part + out.substr(dot);
}

std::string shellQuote(const std::string &word)
{
    if (!word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                "0123456789_-+=.,:/@%") == std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

std::string commandLine(const std::vector<std::string> &words)
{
    std::string line;
    for (const std::string &w : words) {
        if (!line.empty()) line += ' ';
        line += shellQuote(w);
    }
    return line;
}

namespace {

// The absolute form of `path` without resolving links in its last part
// (a missing output is fine; its folder must exist).
std::string absolute(const std::string &path, std::string &fault)
{
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    char *real = ::realpath(folder.c_str(), nullptr);
    if (!real) {
        fault = path + ": its folder " + folder + " cannot be found: " + std::strerror(errno);
        return {};
    }
    std::string full = real;
    std::free(real);
    if (base.empty() || base == ".") return full;
    if (base == "..") {
        const size_t up = full.find_last_of('/');
        return up == 0 ? "/" : full.substr(0, up);
    }
    return (full == "/" ? "" : full) + "/" + base;
}

} // namespace

std::string pathUnder(const std::string &path, const std::string &root, std::string &fault)
{
    fault.clear();
    const std::string p = absolute(path, fault);
    if (!fault.empty()) return {};
    char *real = ::realpath(root.c_str(), nullptr);
    if (!real) {
        fault = "--plan-root " + root + ": " + std::strerror(errno);
        return {};
    }
    std::string r = real;
    std::free(real);
    if (p == r) return ".";
    if (r == "/") return p.substr(1);
    if (p.compare(0, r.size(), r) != 0 || p[r.size()] != '/') {
        fault = path + " is not under --plan-root " + root;
        return {};
    }
    return p.substr(r.size() + 1);
}

std::vector<std::string> chunkArguments(const std::vector<std::string> &args)
{
    static const char *const dropValued[] = {"-o", "--frames", "--section", "--sample-key", "--jobs", "--chunks",
                                             "--plan-root", "--plan-program"};
    static const char *const dropFlags[] = {"--plan", "--quiet", "-q", "--no-audio"};
    std::vector<std::string> kept;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const std::string name = a.compare(0, 2, "--") == 0 ? a.substr(0, a.find('=')) : a;
        bool valued = false, flag = false;
        for (const char *d : dropValued) valued = valued || name == d;
        for (const char *d : dropFlags) flag = flag || a == d;
        if (flag) continue;
        if (valued) {
            if (name == a) ++i;   // the value is the next word
            continue;
        }
        kept.push_back(a);
    }
    return kept;
}

Plan makePlan(const PlanRequest &q)
{
    Plan plan;
    const bool relative = !q.root.empty();
    auto place = [&](const std::string &path) -> std::string {
        if (!relative || path == "-") return path;
        std::string fault;
        std::string p = pathUnder(path, q.root, fault);
        if (!fault.empty() && plan.error.empty()) plan.error = fault;
        return p;
    };
    // Paths the chunks read or write, rewritten for --plan-root.
    std::vector<std::string> args = chunkArguments(q.renderArgs);
    for (size_t i = 0; i < args.size(); ++i) {
        static const char *const pathOptions[] = {"--in0", "--in1", "--settings"};
        for (const char *o : pathOptions) {
            const std::string opt = o;
            if (args[i] == opt && i + 1 < args.size()) {
                args[i + 1] = place(args[i + 1]);
                ++i;
                break;
            }
            if (args[i].compare(0, opt.size() + 1, opt + "=") == 0) {
                args[i] = opt + "=" + place(args[i].substr(opt.size() + 1));
                break;
            }
        }
    }
    const std::string section = std::to_string(q.sectionFirst) + ":" + std::to_string(q.sectionEnd);
    const std::vector<std::pair<int, int>> runs = splitFrames(q.first, q.end, q.chunks);
    for (size_t k = 0; k < runs.size(); ++k) {
        std::vector<std::string> words{q.program, "render"};
        words.insert(words.end(), args.begin(), args.end());
        if (!q.keyColor.empty()) {
            words.push_back("--set");
            words.push_back("keyColor=" + q.keyColor);
        }
        const std::string part = partName(q.out, int(k) + 1);
        for (const std::string &w : {std::string("--frames"),
                                     std::to_string(runs[k].first) + ":" + std::to_string(runs[k].second),
                                     std::string("--section"), section, std::string("--no-audio"),
                                     std::string("--quiet"), std::string("-o"), place(part)})
            words.push_back(w);
        plan.chunkCommands.push_back(std::move(words));
        plan.parts.push_back(part);
    }
    plan.joinCommand = {q.program, "join", "--remove-parts"};
    if (!q.audioFrom.empty()) {
        plan.joinCommand.push_back("--audio-from");
        plan.joinCommand.push_back(place(q.audioFrom));
    }
    plan.joinCommand.push_back("-o");
    plan.joinCommand.push_back(place(q.out));
    for (const std::string &p : plan.parts) plan.joinCommand.push_back(place(p));
    return plan;
}

} // namespace ophost
