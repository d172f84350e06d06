#include "probe.h"

#include "platform/process.h"

#include <cstdlib>
#include <map>
#include <sstream>

namespace vseg {
namespace {

bool ParseRate(const std::string& text, long& num, long& den) {
    size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    char* end = nullptr;
    num = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + slash) return false;
    den = std::strtol(text.c_str() + slash + 1, &end, 10);
    return *end == '\0' && num > 0 && den > 0;
}

long ParseCount(const std::string& text) {
    if (text.empty()) return -1;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    return (*end == '\0' && v >= 0) ? v : -1;
}

ProbeResult RunProbe(const std::vector<std::string>& argv, std::string& out) {
    ChildProcess child;
    const SpawnError rc = child.Start(argv, Stdio::Null, Stdio::Pipe, Stdio::Inherit);
    if (rc == SpawnError::NotFound) return ProbeResult::NoProgram;
    if (rc != SpawnError::None) return ProbeResult::Failed;
    out = child.ReadAll();
    return child.Wait().Ok() ? ProbeResult::Ok : ProbeResult::Failed;
}

// "key=value" lines; the first occurrence of a key wins.
std::map<std::string, std::string> ParseKeyValues(const std::string& text) {
    std::map<std::string, std::string> kv;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.find('=');
        if (eq != std::string::npos) kv.emplace(line.substr(0, eq), line.substr(eq + 1));
    }
    return kv;
}

}  // namespace

bool ParseProbeOutput(const std::string& text, InputInfo& info) {
    std::map<std::string, std::string> kv = ParseKeyValues(text);
    long w = ParseCount(kv["width"]), h = ParseCount(kv["height"]);
    if (w <= 0 || h <= 0) return false;
    info.width = static_cast<int>(w);
    info.height = static_cast<int>(h);

    long rot = 0;
    if (!kv["rotation"].empty()) rot = std::labs(std::strtol(kv["rotation"].c_str(), nullptr, 10));
    if (rot % 180 == 90) std::swap(info.width, info.height);

    long num = 0, den = 0;
    if (ParseRate(kv["avg_frame_rate"], num, den) || ParseRate(kv["r_frame_rate"], num, den)) {
        info.frameRate = std::to_string(num) + "/" + std::to_string(den);
        info.fps = static_cast<double>(num) / static_cast<double>(den);
    } else {
        info.frameRate = "25/1";
        info.fps = 25.0;
    }

    const std::string& format = kv["format_name"];
    info.still = format == "image2" ||
                 (format.size() > 5 && format.compare(format.size() - 5, 5, "_pipe") == 0);
    info.frameCount = ParseCount(kv["nb_frames"]);
    if (info.frameCount < 0) info.frameCount = ParseCount(kv["nb_read_packets"]);
    if (info.frameCount <= 0 && info.still) info.frameCount = 1;
    return true;
}

ProbeResult ProbeInput(const std::string& input, const std::vector<std::string>& inputArgs,
                       bool countFrames, InputInfo& info, std::string& error) {
    std::vector<std::string> argv = {"ffprobe", "-v", "error"};
    argv.insert(argv.end(), inputArgs.begin(), inputArgs.end());
    std::vector<std::string> entries = {
        "-select_streams", "v:0", "-show_entries",
        "stream=width,height,avg_frame_rate,r_frame_rate,nb_frames:stream_side_data=rotation:"
        "format=format_name",
        "-of", "default=noprint_wrappers=1"};
    argv.insert(argv.end(), entries.begin(), entries.end());
    argv.push_back(input);

    std::string out;
    const ProbeResult rc = RunProbe(argv, out);
    if (rc == ProbeResult::NoProgram) return rc;
    if (rc != ProbeResult::Ok || !ParseProbeOutput(out, info)) {
        error = "ffprobe found no readable video stream in '" + input + "'";
        return ProbeResult::Failed;
    }
    if (countFrames && info.frameCount < 0 && !info.still) {
        // The container does not say: count the packets (demuxing only).
        std::vector<std::string> count = {"ffprobe", "-v", "error"};
        count.insert(count.end(), inputArgs.begin(), inputArgs.end());
        std::vector<std::string> rest = {"-select_streams", "v:0", "-count_packets", "-show_entries",
                                         "stream=nb_read_packets", "-of", "default=noprint_wrappers=1",
                                         input};
        count.insert(count.end(), rest.begin(), rest.end());
        if (RunProbe(count, out) == ProbeResult::Ok) info.frameCount = ParseCount(ParseKeyValues(out)["nb_read_packets"]);
    }
    return ProbeResult::Ok;
}

std::string ProbeAudioCodec(const std::string& input, const std::vector<std::string>& inputArgs) {
    std::vector<std::string> argv = {"ffprobe", "-v", "error"};
    argv.insert(argv.end(), inputArgs.begin(), inputArgs.end());
    std::vector<std::string> rest = {"-select_streams", "a:0", "-show_entries", "stream=codec_name",
                                     "-of", "default=noprint_wrappers=1", input};
    argv.insert(argv.end(), rest.begin(), rest.end());
    std::string out;
    if (RunProbe(argv, out) != ProbeResult::Ok) return "";
    return ParseKeyValues(out)["codec_name"];
}

}  // namespace vseg
