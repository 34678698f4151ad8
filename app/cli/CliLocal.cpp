#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

#include "app/cli/Commands.h"
#include "dictionary/LocalDictionary.h"
#include "settings/Settings.h"

namespace talvero {

namespace {

const char* kLocalUsage =
    "Usage: talvero-cli local TEXT\n"
    "Translates TEXT with the local dictionary of the pair stored in TalveroConfig.txt in the\n"
    "current directory (Spanish to English without one), as the window's Translate button does:\n"
    "localdictionary_<code>.txt, then personaldictionary_<code>.txt, whose pairs win. The whole\n"
    "phrase first, then word groups when \"SEARCH COMBINATIONS IN THE LOCAL DICTIONARY\" is on.\n"
    "A phrase of more words than \"MAX NUMBER OF WORDS IN COMBINATIONS\" (8 by default; a\n"
    "negative number means no limit) gets no translation at all, only the list below.\n"
    "\n"
    "Prints the translation on the first line (an empty line when there is none), then every\n"
    "stored phrase that begins with TEXT, one a line. A dictionary file that cannot be read is\n"
    "reported on standard error and the other is still used; the combination-search trace\n"
    "(\"Resulting token: ...\") goes to standard error too.\n"
    "\n"
    "Exit status: 0 when a translation was found, 1 when not, 2 on misuse or a blank TEXT.\n";

bool WantsHelp(const CliArgs& args)
{
    return args.size() == 1 && (args[0] == "--help" || args[0] == "-h");
}

// Writing a dictionary's first saved index takes about as long again as loading it from its
// text, and the answer does not wait on it: a child writes the index once this process has
// answered and ended, so that the two never share the processor. The child runs this program
// afresh ("index"), which reads the text on its own, rather than working in a copy of this
// process: the copy would hold all the memory of the load. The index appears by a rename, so a
// run that starts meanwhile finds none and loads from the text. When the program cannot be run
// again, the copy writes the index; when there can be no child, this process does.
void WriteIndexInChild(const std::string& textPath, const std::function<void()>& write)
{
    std::fflush(nullptr);
    std::string self(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    self.resize(n > 0 ? static_cast<size_t>(n) : 0);
    // The child waits for the end of this pipe that only this process holds: it reads the end
    // of the file when this process has ended, whichever way it ends.
    int gate[2] = {-1, -1};
    if (::pipe2(gate, O_CLOEXEC) != 0) gate[0] = gate[1] = -1;
    const pid_t pid = ::fork();
    if (pid < 0) write();
    if (pid != 0) {
        if (gate[0] >= 0) ::close(gate[0]);
        return;
    }
    if (gate[1] >= 0) {
        ::close(gate[1]);
        char byte;
        while (::read(gate[0], &byte, 1) < 0 && errno == EINTR) {
        }
        ::close(gate[0]);
    }
    // Nothing of the child reaches the caller's terminal or pipes, which then end with this
    // process rather than with the child.
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    for (int fd = 0; fd <= 2; ++fd) {
        if (null >= 0)
            ::dup2(null, fd);
        else
            ::close(fd);
    }
    // The answer's process comes first on a busy machine.
    (void)!::nice(19);
    if (!self.empty()) {
        std::string command = "index", path = textPath, name = "talvero-cli";
        char* argv[] = {name.data(), command.data(), path.data(), nullptr};
        ::execv(self.c_str(), argv);
    }
    write();
    ::_exit(0);
}

const char* kIndexUsage =
    "Usage: talvero-cli index FILE\n"
    "Writes the saved index of the dictionary file FILE beside it (FILE.index), which later\n"
    "loads of FILE map instead of reading the text, unless a sound one is there already or\n"
    "another program is writing it. `local` has it written by itself after its first answer.\n"
    "\n"
    "Exit status: 0 when the index is there, 1 when it could not be written, 2 on misuse.\n";

}  // namespace

// talvero-cli index FILE: writes the saved index of a dictionary file.
int CliIndex(const CliArgs& args)
{
    if (WantsHelp(args)) {
        std::fputs(kIndexUsage, stdout);
        return 0;
    }
    if (args.size() != 1) {
        CliError("usage: talvero-cli index FILE (try 'index --help')");
        return 2;
    }
    switch (DictionaryIndex::WriteFor(args[0])) {
        case DictionaryIndex::Built::Written:
        case DictionaryIndex::Built::AlreadyThere:
            return 0;
        case DictionaryIndex::Built::Busy:
            CliError("another program is writing the index of " + args[0]);
            return 1;
        case DictionaryIndex::Built::Failed:
            break;
    }
    CliError("could not write the index of " + args[0]);
    return 1;
}

// talvero-cli local TEXT: the Translate action's local step for the stored pair.
int CliLocal(const CliArgs& args)
{
    if (WantsHelp(args)) {
        std::fputs(kLocalUsage, stdout);
        return 0;
    }
    if (args.size() != 1) {
        CliError("usage: talvero-cli local TEXT (try 'local --help')");
        return 2;
    }
    if (TrimWhiteSpace(args[0]).empty()) {
        CliError("Please enter the text you want to translate.");
        return 2;
    }
    Settings settings;
    std::string message;
    if (LoadSettingsFile(settings, kSettingsFileName, &message) == SettingsLoad::Unreadable)
        CliError(message + ": the defaults apply");
    else if (!message.empty())
        CliError(message);
    LocalDictionary dictionary;
    dictionary.indexWriter = [&dictionary](const std::function<void()>& write) {
        WriteIndexInChild(dictionary.localDictionaryFile, write);
    };
    dictionary.SetTraceSink([](std::string_view line) { CliWrite(stderr, line); });
    for (const std::string& message :
         dictionary.Load(settings.localDictionaryFile, settings.personalDictionaryFile)) {
        CliError(message);
    }
    LocalStepResult result = TranslateLocal(dictionary, args[0], settings);
    std::string out = result.translation + "\n";
    for (const std::string& phrase : result.nearList) {
        out += phrase;
        out += '\n';
    }
    CliWrite(stdout, out);
    return result.found ? 0 : 1;
}

}  // namespace talvero
