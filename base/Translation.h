#pragma once
// The texts people read, in their language: lookups in the gettext catalogues of the domain
// "talvero" (po/), for code that has no wx (the command line, the gateway, the core's messages).
// English is the program's own text: a text without a catalogue, or under LANG=C, comes back
// byte for byte as written.
//
// A text is marked where it is written, so that xgettext finds it:
//   Tr("Could not open the file: %s")           looked up now
//   TrNoop("Local dictionary")                   a table entry, looked up with Tr() where shown
//   TrPlural("%zu byte", "%zu bytes", n)         one of the language's plural forms
//   TrContext("language pair", "%s to %s")       an English text with more than one meaning
// A translated format string goes through FormatText(); the compiler checks the arguments
// against the English text (format_arg), and msgfmt checks each translation against it.
#include <string>

namespace talvero {

inline constexpr const char* kTextDomain = "talvero";

// Where the catalogues are: $TALVERO_LOCALE_DIR when set; else the build tree's when the
// program runs from the build tree; else the installed share/locale. `programPath` is the
// running program's absolute path.
std::string TranslationsDirectory(const std::string& programPath);

// Binds the domain to TranslationsDirectory() of this process, with UTF-8 texts, and returns
// that directory. Call it once, after setlocale(LC_ALL, "").
std::string BindTranslations();

const char* Tr(const char* text) __attribute__((format_arg(1)));
const char* TrPlural(const char* one, const char* many, unsigned long n)
    __attribute__((format_arg(1))) __attribute__((format_arg(2)));
const char* TrContext(const char* context, const char* text) __attribute__((format_arg(2)));
constexpr const char* TrNoop(const char* text)
{
    return text;
}

// printf into a string, for texts whose format comes from a catalogue.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace talvero
