#include "base/Translation.h"

#include <libintl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace talvero {

namespace {

bool IsDirectory(const std::string& path)
{
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

// Below `dir` (a directory name, no trailing slash) or `dir` itself.
bool IsBelow(const std::string& path, const std::string& dir)
{
    return !dir.empty() && path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
           path[dir.size()] == '/';
}

std::string RunningProgram()
{
    std::string self(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size());
    self.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return self;
}

}  // namespace

std::string TranslationsDirectory(const std::string& programPath)
{
    if (const char* dir = std::getenv("TALVERO_LOCALE_DIR"); dir && *dir) return dir;
    // A build tree's program is tried before anything is installed: it finds the catalogues
    // the same build made, not those of another version.
    if (IsBelow(programPath, TALVERO_BUILD_DIR) && IsDirectory(TALVERO_BUILD_LOCALE_DIR))
        return TALVERO_BUILD_LOCALE_DIR;
    return TALVERO_INSTALL_LOCALE_DIR;
}

std::string BindTranslations()
{
    const std::string dir = TranslationsDirectory(RunningProgram());
    ::bindtextdomain(kTextDomain, dir.c_str());
    // The catalogues are UTF-8, and so is everything the program builds its messages from.
    ::bind_textdomain_codeset(kTextDomain, "UTF-8");
    return dir;
}

const char* Tr(const char* text)
{
    return ::dgettext(kTextDomain, text);
}

const char* TrPlural(const char* one, const char* many, unsigned long n)
{
    return ::dngettext(kTextDomain, one, many, n);
}

const char* TrContext(const char* context, const char* text)
{
    // gettext keeps a context as "context\004text"; an entry it lacks comes back unchanged.
    std::string key = std::string(context) + '\004' + text;
    const char* found = ::dgettext(kTextDomain, key.c_str());
    return found == key.c_str() || std::strcmp(found, key.c_str()) == 0 ? text : found;
}

std::string FormatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (length > 0) {
        out.resize(static_cast<size_t>(length));
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}

}  // namespace talvero
