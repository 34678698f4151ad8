#include "settings/Settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/TextFile.h"
#include "catalogue/Catalogue.h"
#include "settings/Hotkey.h"
#include "settings/Options.h"

namespace talvero {

namespace {

enum class Form { Flag, Number, Delay, Text, Pair, UploadLanguage };

struct Key {
    const char* text;
    Form form;
    // Exactly one of these is used, according to the form.
    bool Settings::*flag = nullptr;
    int Settings::*number = nullptr;
    std::string Settings::*textValue = nullptr;
    PairList list = PairList::Google;
};

Key FlagKey(const char* t, bool Settings::*m)
{
    return Key{t, Form::Flag, m, nullptr, nullptr};
}
Key NumberKey(const char* t, int Settings::*m)
{
    return Key{t, Form::Number, nullptr, m, nullptr};
}
Key TextKey(const char* t, std::string Settings::*m)
{
    return Key{t, Form::Text, nullptr, nullptr, m};
}
Key PairKey(const char* t, int Settings::*m, PairList l)
{
    return Key{t, Form::Pair, nullptr, m, nullptr, l};
}
Key UploadKey(const char* t, int Settings::*m)
{
    return Key{t, Form::UploadLanguage, nullptr, m, nullptr};
}

const std::array<Key, kSettingsKeyCount>& KeyTable()
{
    static const std::array<Key, kSettingsKeyCount> keys = {{
        FlagKey("USE LOCAL DICTIONARY", &Settings::useLocalDictionary),
        FlagKey("USE GOOGLE", &Settings::useGoogle),
        FlagKey("USE BABELFISH", &Settings::useBabelfish),
        FlagKey("USE FREETRANSLATION", &Settings::useFreeTranslation),
        PairKey("LOCAL DICTIONARY LANGUAGE PAIR", &Settings::localPairPosition, PairList::Local),
        PairKey("GOOGLE LANGUAGE PAIR", &Settings::googlePairPosition, PairList::Google),
        PairKey("BABELFISH LANGUAGE PAIR", &Settings::babelfishPairPosition, PairList::Babelfish),
        PairKey("FREETRANSLATION LANGUAGE PAIR", &Settings::freeTranslationPairPosition,
                PairList::FreeTranslation),
        FlagKey("TOPMOST WINDOW", &Settings::topmostWindow),
        NumberKey("MAX NUMBER OF WORDS IN COMBINATIONS", &Settings::maxWordsInCombinations),
        FlagKey("MINIMIZE TO SYSTEM TRAY", &Settings::minimizeToTray),
        FlagKey("SHOW TRANSLATION POPUP BANNER", &Settings::showTranslationBanner),
        NumberKey("POPUP BANNER SOURCE", &Settings::bannerSource),
        FlagKey("SEARCH COMBINATIONS IN THE LOCAL DICTIONARY", &Settings::searchCombinations),
        FlagKey("ASK FOR CONFIRMATION BEFORE ADDING NEW TRANSLATION",
                &Settings::confirmBeforeAdding),
        NumberKey("HOTKEY BASE KEY CODE", &Settings::hotkeyBaseKeyCode),
        FlagKey("HOTKEY ALT MODIFIER", &Settings::hotkeyAlt),
        FlagKey("HOTKEY CTRL MODIFIER", &Settings::hotkeyCtrl),
        FlagKey("HOTKEY SHIFT MODIFIER", &Settings::hotkeyShift),
        FlagKey("HOTKEY WIN MODIFIER", &Settings::hotkeyWin),
        FlagKey("ACTIVATE SPEECH RECOGNITION", &Settings::activateSpeechRecognition),
        FlagKey("LAUNCH TRANSLATION AUTOMATICALLY", &Settings::launchTranslationAutomatically),
        Key{"TIME DELAY BEFORE AUTOMATIC TRANSLATION", Form::Delay},
        FlagKey("TRANSLATE HYPOTHESIS", &Settings::translateHypothesis),
        FlagKey("SPEAK GOOGLE TRANSLATION", &Settings::speakGoogle),
        FlagKey("SPEAK BABELFISH TRANSLATION", &Settings::speakBabelfish),
        FlagKey("SPEAK FREETRANSLATION TRANSLATION", &Settings::speakFreeTranslation),
        FlagKey("SPEAK LOCAL DICTIONARY TRANSLATION", &Settings::speakLocal),
        FlagKey("ACTIVATE LOCAL DICTIONARY NEAR SEARCH", &Settings::nearSearch),
        FlagKey("ACTIVATE HOTKEY TO FILL BOXES", &Settings::hotkeyFillsBoxes),
        FlagKey("ADD AUTOMATICALLY TO DICTIONARY WHEN BOXES ARE FILLED",
                &Settings::addAutomaticallyWhenFilled),
        FlagKey("TRANSLATE TEXT SELECTED IN HISTORY", &Settings::translateHistorySelection),
        FlagKey("CHECK FOR UPDATES AT STARTUP", &Settings::checkForUpdates),
        NumberKey("FONT SIZE FOR MAIN TEXT BOXES", &Settings::fontSize),
        FlagKey("SPEAK RECOGNIZED TEXT WITH TTS", &Settings::speakRecognizedText),
        FlagKey("SHOW ORIGINAL TEXT BANNER", &Settings::showOriginalTextBanner),
        FlagKey("SUSPEND TEXT RECOGNITION DURING TTS", &Settings::suspendRecognitionDuringTts),
        FlagKey("COPY RECOGNIZED SPEECH ONLY TO HISTORY", &Settings::copyRecognizedOnlyToHistory),
        TextKey("ONLINE DICTIONARIES USERNAME", &Settings::onlineUsername),
        TextKey("ONLINE DICTIONARIES PASSWORD", &Settings::onlinePassword),
        FlagKey("UPLOAD NEW TRANSLATIONS", &Settings::uploadNewTranslations),
        UploadKey("UPLOAD TRANSLATION PAIRS FILE LANGUAGE FROM", &Settings::uploadLanguageFrom),
        UploadKey("UPLOAD TRANSLATION PAIRS FILE LANGUAGE TO", &Settings::uploadLanguageTo),
    }};
    return keys;
}

// The C library's integer conversion (optional blanks, sign, digits; 0 without digits),
// clamped to int instead of overflowing.
int ParseNumber(std::string_view value)
{
    std::string s(value.substr(0, 64));
    errno = 0;
    long v = std::strtol(s.c_str(), nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

// A decimal number with an optional fraction and exponent, so that every delay the writer
// produces reads back unchanged; hexadecimal, "inf" and "nan" are not numbers here.
double ParseDelay(std::string_view value)
{
    size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
        ++i;
    size_t start = i;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
    auto digits = [&] {
        size_t from = i;
        while (i < value.size() && value[i] >= '0' && value[i] <= '9')
            ++i;
        return i - from;
    };
    size_t intDigits = digits();
    size_t fracDigits = 0;
    if (i < value.size() && value[i] == '.') {
        ++i;
        fracDigits = digits();
    }
    if (intDigits + fracDigits == 0) return 0.0;
    if (i < value.size() && (value[i] == 'e' || value[i] == 'E')) {
        size_t mark = i++;
        if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
        if (digits() == 0) i = mark;
    }
    std::string number(value.substr(start, i - start));
    double d = std::strtod(number.c_str(), nullptr);
    return std::isfinite(d) ? d : 0.0;
}

void ApplyValue(Settings& s, const Key& key, std::string_view value, bool present)
{
    switch (key.form) {
        case Form::Flag:
            s.*key.flag = value == "YES";
            break;
        case Form::Number:
            s.*key.number = ParseNumber(value);
            break;
        case Form::Delay:
            s.translationDelay = ParseDelay(value);
            break;
        case Form::Text:
            s.*key.textValue = std::string(value);
            break;
        case Form::Pair: {
            if (!present) break;
            auto pos = PositionOfSettingsName(key.list, value);
            if (!pos) break;
            s.*key.number = *pos;
            if (key.list == PairList::Local) {
                const PairEntry* e = PairAt(PairList::Local, *pos);
                s.localDictionaryFile = LocalDictionaryFileName(e->dictionaryCode);
                s.personalDictionaryFile = PersonalDictionaryFileName(e->dictionaryCode);
            }
            break;
        }
        case Form::UploadLanguage:
            if (!present) break;
            if (auto index = UploadLanguageIndex(value)) s.*key.number = *index;
            break;
    }
}

const Key* FindKey(std::string_view line)
{
    for (const Key& key : KeyTable())
        if (line == key.text) return &key;
    return nullptr;
}

std::string FormatDelay(double delay)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", delay);
    return buf;
}

// A line break inside a text value would split it into lines that read back as other keys.
std::string SingleLine(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (c == '\n' || c == '\r') c = ' ';
    return out;
}

}  // namespace

int ApplySettingsText(Settings& settings, std::string_view text)
{
    int applied = 0;
    std::vector<std::string_view> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Key* key = FindKey(lines[i]);
        if (!key) continue;
        bool present = i + 1 < lines.size();
        ApplyValue(settings, *key, present ? lines[i + 1] : std::string_view(), present);
        ++applied;
        ++i;
    }
    return applied;
}

std::string MendOutOfRangeSettings(Settings& settings)
{
    std::vector<std::string> mended;
    const int size = settings.fontSize;
    if (size < kOptionsMinFontSize || size > kOptionsMaxFontSize) {
        settings.fontSize = std::clamp(size, kOptionsMinFontSize, kOptionsMaxFontSize);
        mended.push_back("FONT SIZE FOR MAIN TEXT BOXES " + std::to_string(size) +
                         " is not between " + std::to_string(kOptionsMinFontSize) + " and " +
                         std::to_string(kOptionsMaxFontSize) + "; " +
                         std::to_string(settings.fontSize) + " is used");
    }
    // -1 is what the options dialog stores when its key box names no key of the list, and what
    // the window registers nothing for; any other position off the list becomes that.
    const int code = settings.hotkeyBaseKeyCode;
    if (code < -1 || code >= kHotkeyKeyCount) {
        settings.hotkeyBaseKeyCode = -1;
        mended.push_back("HOTKEY BASE KEY CODE " + std::to_string(code) +
                         " is not a key of the list (0 to " + std::to_string(kHotkeyKeyCount - 1) +
                         "); no hotkey is registered");
    }
    std::string text;
    for (const std::string& m : mended)
        text += (text.empty() ? "" : "; ") + m;
    return text;
}

namespace {

// Moves a file that holds nothing we can read out of the way under a name no earlier run has
// taken: "<path>.bad", "<path>.bad2", ... Returns that name, or "" with errno set.
std::string KeepAside(const std::string& path)
{
    for (int n = 1; n < 1000; ++n) {
        std::string aside = path + ".bad" + (n > 1 ? std::to_string(n) : std::string());
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS) return {};
        // A file system without the no-replace rename: a link never replaces either.
        if (::link(path.c_str(), aside.c_str()) != 0) {
            if (errno == EEXIST) continue;
            return {};
        }
        if (::unlink(path.c_str()) == 0) return aside;
        const int saved = errno;
        ::unlink(aside.c_str());
        errno = saved;
        return {};
    }
    errno = EEXIST;
    return {};
}

void Tell(std::string* message, const std::string& text)
{
    if (message) *message = text;
}

}  // namespace

SettingsLoad LoadSettingsFile(Settings& settings, const std::string& path, std::string* message)
{
    if (message) message->clear();
    RemoveStaleTemporaries(path);
    std::string content;
    switch (ReadFileIfPresent(path, content, kMaxKeyFileSize)) {
        case FileRead::Read:
            break;
        case FileRead::Missing:
            return SettingsLoad::Missing;
        case FileRead::Unreadable:
        case FileRead::TooLarge:
            Tell(message, UnreadableSettingsMessage(path));
            return SettingsLoad::Unreadable;
    }
    const std::string text = KeyFileText(std::move(content));
    if (ApplySettingsText(settings, text) == 0 && !TrimWhiteSpace(text).empty()) {
        // Not one key: another program's file, a damaged one, or an encoding we do not know.
        // Saving the defaults over it at exit would lose the account and everything else in it.
        const std::string aside = KeepAside(path);
        if (aside.empty()) {
            Tell(message, path + " holds no setting Talvero knows and could not be kept aside (" +
                              std::strerror(errno) + ")");
            return SettingsLoad::Unreadable;
        }
        Tell(message, path + " holds no setting Talvero knows; it was kept as " + aside +
                          " and the defaults apply");
        return SettingsLoad::SetAside;
    }
    const std::string mended = MendOutOfRangeSettings(settings);
    if (!mended.empty()) Tell(message, path + ": " + mended);
    return SettingsLoad::Read;
}

bool LoadSettings(Settings& settings, const std::string& path)
{
    return LoadSettingsFile(settings, path) == SettingsLoad::Read;
}

std::string UnreadableSettingsMessage(const std::string& path)
{
    std::string reason;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? "a directory" : "not a plain file";
    } else if (st.st_size > static_cast<off_t>(kMaxKeyFileSize)) {
        reason = "larger than " + std::to_string(kMaxKeyFileSize >> 20) + " MB";
    } else {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        reason = fd < 0 ? std::strerror(errno) : "read error";
        if (fd >= 0) ::close(fd);
    }
    return path + " exists but cannot be read (" + reason + ")";
}

std::string FormatSettings(const Settings& s)
{
    std::string out;
    const auto& keys = KeyTable();
    for (size_t k = 0; k < keys.size(); ++k) {
        const Key& key = keys[k];
        out += key.text;
        out += kLineEnd;
        std::string value;
        switch (key.form) {
            case Form::Flag:
                value = s.*key.flag ? "YES" : "NO";
                break;
            case Form::Number:
                value = std::to_string(s.*key.number);
                break;
            case Form::Delay:
                value = FormatDelay(s.translationDelay);
                break;
            case Form::Text:
                value = SingleLine(s.*key.textValue);
                break;
            case Form::Pair: {
                const PairEntry* e = PairAt(key.list, s.*key.number);
                value = e ? e->settingsName : "ENGLISH TO SPANISH";
                break;
            }
            case Form::UploadLanguage:
                // An index outside the table leaves the value line empty rather than out: a
                // missing line would make the next key read as this value and be lost.
                value = UploadLanguageWord(s.*key.number);
                break;
        }
        out += value;
        if (k + 1 < keys.size()) out += kLineEnd;
    }
    return out;
}

bool SaveSettings(const Settings& settings, const std::string& path)
{
    return AtomicWriteFile(path, FormatSettings(settings), 0600, !settings.onlinePassword.empty());
}

}  // namespace talvero
