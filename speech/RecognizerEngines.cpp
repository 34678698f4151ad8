#include "speech/RecognizerEngines.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

namespace talvero {

namespace fs = std::filesystem;

namespace {

bool IsAcousticModel(const fs::path& dir)
{
    std::error_code ec;
    return fs::is_regular_file(dir / "mdef", ec) && fs::is_regular_file(dir / "feat.params", ec);
}

std::string LanguageName(const std::string& tag)
{
    static const std::map<std::string, std::string> names = {{"en-us", "English (United States)"},
                                                             {"en-gb", "English (United Kingdom)"},
                                                             {"en", "English"},
                                                             {"es", "Spanish"},
                                                             {"fr-fr", "French (France)"},
                                                             {"fr", "French"},
                                                             {"de", "German"},
                                                             {"it", "Italian"},
                                                             {"pt", "Portuguese"},
                                                             {"nl", "Dutch"},
                                                             {"ru", "Russian"},
                                                             {"zh-cn", "Chinese (China)"}};
    auto it = names.find(tag);
    return it != names.end() ? it->second : tag;
}

// The first of `names` that is a regular file in `dir`.
fs::path FindFile(const fs::path& dir, const std::vector<std::string>& names)
{
    std::error_code ec;
    for (const std::string& name : names)
        if (fs::is_regular_file(dir / name, ec)) return dir / name;
    return {};
}

}  // namespace

std::string DefaultRecognizerModelRoot()
{
    if (const char* env = std::getenv("TALVERO_RECOGNIZER_MODELS"); env && *env) return env;
    return TALVERO_POCKETSPHINX_MODELDIR;
}

std::vector<RecognizerEngine> ListRecognizerEngines(const std::string& modelRoot)
{
    fs::path root = modelRoot.empty() ? DefaultRecognizerModelRoot() : modelRoot;
    std::vector<RecognizerEngine> engines;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_directory(ec)) continue;
        const fs::path dir = it->path();
        const std::string tag = dir.filename().string();
        // Debian's layout: <root>/en-us/en-us/{mdef,...}, en-us.lm.bin, cmudict-en-us.dict.
        fs::path acoustic = IsAcousticModel(dir / tag) ? dir / tag : dir;
        if (!IsAcousticModel(acoustic)) continue;
        fs::path lm = FindFile(dir, {tag + ".lm.bin", tag + ".lm", tag + ".arpa"});
        fs::path dict = FindFile(dir, {"cmudict-" + tag + ".dict", tag + ".dict", tag + ".dic"});
        if (lm.empty() || dict.empty()) continue;
        engines.push_back({LanguageName(tag) + " (" + tag + ")", tag, acoustic.string(),
                           lm.string(), dict.string()});
    }
    std::sort(engines.begin(), engines.end(),
              [](const auto& a, const auto& b) { return a.description < b.description; });
    return engines;
}

}  // namespace talvero
