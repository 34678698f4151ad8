#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/cli/Commands.h"
#include "base/CodePage.h"

namespace talvero {

namespace {

const char* kUsage =
    "Usage: talvero-cli COMMAND [ARGS]\n"
    "Works in the current directory with TalveroConfig.txt and the dictionary files, as the\n"
    "Talvero window would.\n"
    "\n"
    "Commands:\n"
    "  local TEXT                  Translate TEXT with the local dictionary of the stored pair.\n"
    "                              Prints the result (an empty line when there is none), then\n"
    "                              the near-search list, one phrase a line. Exit status 0 when a\n"
    "                              translation was found, 1 when not, 2 on misuse\n"
    "                              (see 'talvero-cli local --help').\n"
    "  index FILE                  Write the saved index of the dictionary file FILE\n"
    "                              (see 'talvero-cli index --help').\n"
    "  add ORIGINAL TRANSLATION    Add a pair to the personal dictionary of the stored pair\n"
    "                              (see 'talvero-cli add --help').\n"
    "  import FORMAT SOURCE [DIR]  Convert a Debian dictionary into phrase-pair files\n"
    "                              (see 'talvero-cli import --help').\n"
    "  translate TEXT              Run the whole Translate action with the ticked engines\n"
    "                              (see 'talvero-cli translate --help').\n"
    "  upload ORIGINAL TRANSLATION Upload a pair to the online dictionary\n"
    "                              (see 'talvero-cli upload --help').\n"
    "  check-update                Read the update page and tell whether a newer version exists\n"
    "                              (see 'talvero-cli check-update --help').\n"
    "  speak TEXT [OPTIONS]        Speak TEXT with the voice, or write it into a WAV file\n"
    "                              (see 'talvero-cli speak --help').\n"
    "  voices                      List the voices: name, tab, language.\n"
    "  dictate FILE.wav            Recognize the speech in FILE.wav: hypotheses as \"~ TEXT\",\n"
    "                              final results as lines (see 'talvero-cli dictate --help').\n"
    "  --help                      Show this text.\n";

}  // namespace

std::string CliFromTerminal(const std::string& text)
{
    return CodePageIsUtf8() ? text : Utf8ToCodePage(text);
}

void CliWrite(std::FILE* stream, std::string_view codePageText)
{
    std::string text =
        TerminalSafe(CodePageIsUtf8() ? std::string(codePageText) : CodePageToUtf8(codePageText));
    std::fwrite(text.data(), 1, text.size(), stream);
}

std::string OneLine(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c == '\n' || c == '\r') c = '?';
    return out;
}

namespace {

// Length of the well-formed UTF-8 sequence at `text[i]` (overlong forms, surrogates and code
// points past U+10FFFF are not), 0 when there is none.
size_t Utf8SequenceLength(std::string_view text, size_t i)
{
    const auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (at(i + 1) < low || at(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if ((at(i + k) & 0xC0) != 0x80) return 0;
    return length;
}

}  // namespace

std::string TerminalSafe(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += (c < 0x20 && c != '\n') || c == 0x7F ? '?' : static_cast<char>(c);
            ++i;
            continue;
        }
        const size_t length = Utf8SequenceLength(text, i);
        // A stray byte is CSI and its kin to a terminal in an 8-bit mode, and U+0080..U+009F
        // (C2 80..C2 9F) are the same controls to one in UTF-8.
        if (length == 0 || (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F)) {
            out += '?';
            i += length == 0 ? 1 : length;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

void CliError(const std::string& message)
{
    // Messages quote file names, file contents and server replies.
    std::fprintf(stderr, "talvero-cli: %s\n", TerminalSafe(message).c_str());
}

int RunCommand(const std::string& command, CliArgs args);

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    try {
        return RunCommand(command, CliArgs(argv + 2, argv + argc));
    } catch (const std::bad_alloc&) {
        // A dictionary or an import larger than memory: a clear failure, not an abort.
        CliError("not enough memory for this " + command);
        return 1;
    }
}

namespace talvero {

#ifdef TALVERO_CLI_FRONT
namespace {

// The commands that need the voice, the recognizer or the HTTP client are in programs of
// their own, so that the dictionary commands and the help start without loading those
// libraries, and speaking without the recognizer's and the HTTP client's: beside this one in a
// build, in the package's library directory once installed.
int RunHelper(const char* name, const std::string& command, const CliArgs& args)
{
    std::string self(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size());
    self.resize(n > 0 ? static_cast<size_t>(n) : 0);
    const std::string dir = self.substr(0, self.rfind('/') + 1);
    std::vector<std::string> argv{"talvero-cli", command};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    for (const std::string& helper : {dir + name, dir + TALVERO_CLI_HELPER_DIR "/" + name}) {
        ::execv(helper.c_str(), raw.data());
    }
    CliError(std::string("cannot run ") + name + " for '" + command + "': " + std::strerror(errno));
    return 1;
}

}  // namespace
#endif

int RunCommand(const std::string& command, CliArgs args)
{
#ifdef TALVERO_CLI_FRONT
    if (command == "speak" || command == "voices")
        return RunHelper("talvero-cli-voice", command, args);
    if (command != "local" && command != "import" && command != "index")
        return RunHelper("talvero-cli-full", command, args);
#endif
#ifdef TALVERO_CLI_VOICE
    if (command == "speak") return CliSpeak(args);
    if (command == "voices") return CliVoices(args);
#else
    // Phrases typed on the command line become code-page text; file names stay as given.
    if (command == "local" || command == "add" || command == "translate" || command == "upload")
        for (std::string& arg : args)
            arg = CliFromTerminal(arg);
    if (command == "local") return CliLocal(args);
    if (command == "index") return CliIndex(args);
    if (command == "import") return CliImport(args);
#endif
#if !defined(TALVERO_CLI_FRONT) && !defined(TALVERO_CLI_VOICE)
    if (command == "add") return CliAdd(args);
    if (command == "translate") return CliTranslate(args);
    if (command == "upload") return CliUpload(args);
    if (command == "check-update") return CliCheckUpdate(args);
    if (command == "speak") return CliSpeak(args);
    if (command == "voices") return CliVoices(args);
    if (command == "dictate") return CliDictate(args);
#endif
    CliError("unknown command '" + command + "' (try --help)");
    return 2;
}

}  // namespace talvero
