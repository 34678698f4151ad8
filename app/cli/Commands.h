#pragma once
// Subcommands of talvero-cli. Each gets the arguments after its own name and returns the exit
// status (0 success, 1 "not found"/failed, 2 misuse).
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

using CliArgs = std::vector<std::string>;

int CliLocal(const CliArgs& args);        // talvero-cli local TEXT
int CliAdd(const CliArgs& args);          // talvero-cli add ORIGINAL TRANSLATION
int CliImport(const CliArgs& args);       // talvero-cli import ...
int CliTranslate(const CliArgs& args);    // talvero-cli translate TEXT
int CliUpload(const CliArgs& args);       // talvero-cli upload ORIGINAL TRANSLATION
int CliCheckUpdate(const CliArgs& args);  // talvero-cli check-update
int CliSpeak(const CliArgs& args);        // talvero-cli speak TEXT [options]
int CliVoices(const CliArgs& args);       // talvero-cli voices

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
void CliWrite(std::FILE* stream, std::string_view codePageText);

// Code-page text with every control character (C0, DEL, and C1 where the code page is UTF-8)
// shown as '?': what a server sends must not steer the terminal.
std::string TerminalSafe(std::string_view codePageText);
