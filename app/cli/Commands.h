#pragma once
// Subcommands of talvero-cli. Each gets the arguments after its own name and returns the exit
// status (0 success, 1 "not found"/failed, 2 misuse).
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace talvero {

using CliArgs = std::vector<std::string>;

int CliLocal(const CliArgs& args);        // talvero-cli local TEXT
int CliIndex(const CliArgs& args);        // talvero-cli index FILE
int CliAdd(const CliArgs& args);          // talvero-cli add ORIGINAL TRANSLATION
int CliImport(const CliArgs& args);       // talvero-cli import ...
int CliTranslate(const CliArgs& args);    // talvero-cli translate TEXT
int CliUpload(const CliArgs& args);       // talvero-cli upload ORIGINAL TRANSLATION
int CliCheckUpdate(const CliArgs& args);  // talvero-cli check-update
int CliSpeak(const CliArgs& args);        // talvero-cli speak TEXT [options]
int CliVoices(const CliArgs& args);       // talvero-cli voices
int CliDictate(const CliArgs& args);      // talvero-cli dictate FILE.wav [--trained TEXTFILE]

struct Settings;
// The dictionary code of the local pair whose files the settings name ("es_en"), or "".
std::string StoredLocalPairCode(const Settings& settings);
// The single upload with the stored pair and credentials and the services file's server;
// tells on standard error when the pair was not stored, and sets `stored` (when given).
std::function<void(const std::string&, const std::string&)> CliUploadHook(const Settings& settings,
                                                                          bool* stored = nullptr);

// One clear line on standard error.
void CliError(const std::string& message);

// The terminal speaks UTF-8; phrases are in the program's code page. These convert at that edge
// (identity when the code page is UTF-8).
std::string CliFromTerminal(const std::string& text);

// The one way text from files, dictionaries, servers and the recognizer reaches the terminal:
// code-page text, converted to UTF-8 and made TerminalSafe. Line feeds end its lines.
void CliWrite(std::FILE* stream, std::string_view codePageText);

// UTF-8 text with every control character (C0 except the line feed, DEL, C1) and every byte that
// is not part of well-formed UTF-8 shown as '?': what a file or a server holds must not move the
// cursor, retitle or clear the terminal.
std::string TerminalSafe(std::string_view utf8Text);

// A field of a line (a result, a message): its line breaks become '?' so that it stays one line.
std::string OneLine(std::string_view text);

}  // namespace talvero
