#include <cstdio>
#include <string>

#include "app/cli/Commands.h"
#include "base/CodePage.h"
#include "base/TextFile.h"
#include "speech/LanguageModelTrainer.h"
#include "speech/Recognizer.h"

namespace talvero {

namespace {

const char* kDictateUsage =
    "Usage: talvero-cli dictate FILE.wav [--trained TEXTFILE]\n"
    "Recognizes the speech in FILE.wav (any rate, width and channel count) with the first\n"
    "recognition engine, as the window does with the microphone: each hypothesis while speech\n"
    "goes on is printed as \"~ TEXT\", each final result at the end of an utterance as a line of\n"
    "its own. A model trained earlier in the current directory is used.\n"
    "\n"
    "  --trained TEXTFILE   First train the engine with TEXTFILE (as \"Train with text file\"\n"
    "                       does) and keep the model in the current directory. Only the\n"
    "                       first 10 MB of a longer text are used (a note says so).\n"
    "\n"
    "Exit status: 0 when the audio was recognized (even if nothing was said), 1 when the audio,\n"
    "the engine or the text could not be used, 2 on misuse.\n";

}  // namespace

// talvero-cli dictate FILE.wav [--trained TEXTFILE]
int CliDictate(const CliArgs& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kDictateUsage, stdout);
        return 0;
    }
    std::string wav, textFile;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--trained" && i + 1 < args.size())
            textFile = args[++i];
        else if (wav.empty() && args[i].rfind("--", 0) != 0)
            wav = args[i];
        else {
            CliError(
                "usage: talvero-cli dictate FILE.wav [--trained TEXTFILE] (try 'dictate --help')");
            return 2;
        }
    }
    if (wav.empty()) {
        CliError("usage: talvero-cli dictate FILE.wav [--trained TEXTFILE] (try 'dictate --help')");
        return 2;
    }
    auto engines = ListRecognizerEngines();
    if (engines.empty()) {
        CliError("no recognition engine is installed");
        return 1;
    }
    if (!textFile.empty()) {
        // Training uses the head of the text only: a file of gigabytes costs no more.
        std::string bytes;
        long long size = 0;
        if (!ReadTrainingFile(textFile, bytes, size)) {
            CliError("Could not open the file: " + textFile);
            return 1;
        }
        TrainingProgress progress;
        TrainingResult trained = TrainLanguageModel(bytes, engines[0], ".", progress);
        bytes.clear();
        bytes.shrink_to_fit();
        if (trained.truncated)
            CliError(textFile + " is longer than " + std::to_string(kTrainingTextMegabytes) +
                     " MB: only its first " + std::to_string(kTrainingTextMegabytes) +
                     " MB were used");
        if (!trained.ok) {
            CliError(trained.error);
            return 1;
        }
    }
    std::string error;
    auto audio = OpenRecognizerWav(wav, false, error);
    if (!audio) {
        CliError(error);
        return 1;
    }
    Recognizer recognizer;
    if (!recognizer.Load(engines[0], ".", error)) {
        CliError(error);
        return 1;
    }
    recognizer.RecognizeToEnd(std::move(audio), [](const RecognitionEvent& event) {
        std::string line = Utf8ToCodePage(event.text);
        if (event.kind == RecognitionEvent::Kind::Hypothesis) line = "~ " + line;
        CliWrite(stdout, line + "\n");
        std::fflush(stdout);
    });
    return 0;
}

}  // namespace talvero
