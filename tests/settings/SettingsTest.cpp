#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "base/TextFile.h"
#include "settings/Settings.h"
#include "tests/support/TempDir.h"

namespace talvero {

namespace {

Settings Load(const std::string& text)
{
    Settings s;
    ApplySettingsText(s, text);
    return s;
}

// Every field changed from its default, so that a round trip that drops any of them shows.
Settings NonDefaultSettings()
{
    Settings s;
    s.useLocalDictionary = s.useGoogle = s.useBabelfish = s.useFreeTranslation = true;
    s.localPairPosition = 142;
    s.localDictionaryFile = "localdictionary_du_hr.txt";
    s.personalDictionaryFile = "personaldictionary_du_hr.txt";
    s.googlePairPosition = 48;
    s.babelfishPairPosition = 16;
    s.freeTranslationPairPosition = 17;
    s.topmostWindow = true;
    s.maxWordsInCombinations = 5;
    s.minimizeToTray = false;
    s.showTranslationBanner = false;
    s.bannerSource = 3;
    s.searchCombinations = false;
    s.confirmBeforeAdding = true;
    s.hotkeyBaseKeyCode = 7;
    s.hotkeyAlt = false;
    s.hotkeyCtrl = false;
    s.hotkeyShift = true;
    s.hotkeyWin = true;
    s.activateSpeechRecognition = s.launchTranslationAutomatically = true;
    s.translationDelay = 1500000;
    s.translateHypothesis = s.speakGoogle = s.speakBabelfish = s.speakFreeTranslation = true;
    s.speakLocal = s.nearSearch = s.hotkeyFillsBoxes = s.addAutomaticallyWhenFilled = true;
    s.translateHistorySelection = true;
    s.checkForUpdates = false;
    s.fontSize = 12;
    s.speakRecognizedText = true;
    s.showOriginalTextBanner = false;
    s.suspendRecognitionDuringTts = s.copyRecognizedOnlyToHistory = true;
    s.onlineUsername = "jörg";
    s.onlinePassword = "s3cret pass";
    s.uploadNewTranslations = true;
    s.uploadLanguageFrom = 22;
    s.uploadLanguageTo = 2;
    return s;
}

void ExpectSame(const Settings& a, const Settings& b)
{
    // Formatting is a complete serialisation: equal text means every key matched.
    EXPECT_EQ(FormatSettings(a), FormatSettings(b));
    EXPECT_EQ(a.translationDelay, b.translationDelay);
}

}  // namespace

TEST(Settings, SavedFileListsTheKeysInOrderWithoutFinalLineEnd)
{
    std::string text = FormatSettings(Settings());
    std::vector<std::string_view> lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 86u);
    EXPECT_EQ(lines[0], "USE LOCAL DICTIONARY");
    EXPECT_EQ(lines[1], "NO");
    EXPECT_EQ(lines[8], "LOCAL DICTIONARY LANGUAGE PAIR");
    EXPECT_EQ(lines[9], "ARABIC TO BULGARIAN");
    EXPECT_EQ(lines[44], "TIME DELAY BEFORE AUTOMATIC TRANSLATION");
    EXPECT_EQ(lines[45], "1000");
    EXPECT_EQ(lines[84], "UPLOAD TRANSLATION PAIRS FILE LANGUAGE TO");
    EXPECT_EQ(lines[85], "ARABIC");
    EXPECT_NE(text.back(), '\n');
}

TEST(Settings, RoundTripThroughTheFileReproducesEverySetting)
{
    TempDir dir;
    Settings original = NonDefaultSettings();
    ASSERT_TRUE(SaveSettings(original, dir.File("TalveroConfig.txt")));
    Settings loaded;
    ASSERT_TRUE(LoadSettings(loaded, dir.File("TalveroConfig.txt")));
    ExpectSame(original, loaded);
    EXPECT_EQ(loaded.translationDelay, 1500000.0);
    EXPECT_EQ(loaded.localDictionaryFile, "localdictionary_du_hr.txt");
    EXPECT_EQ(loaded.personalDictionaryFile, "personaldictionary_du_hr.txt");
    EXPECT_EQ(loaded.onlinePassword, "s3cret pass");

    // Defaults survive too.
    ASSERT_TRUE(SaveSettings(Settings(), dir.File("TalveroConfig.txt")));
    Settings again = NonDefaultSettings();
    LoadSettings(again, dir.File("TalveroConfig.txt"));
    ExpectSame(Settings(), again);
}

TEST(Settings, MissingFileKeepsDefaults)
{
    TempDir dir;
    Settings s;
    EXPECT_FALSE(LoadSettings(s, dir.File("absent.txt")));
    ExpectSame(Settings(), s);
    EXPECT_EQ(s.hotkeyBaseKeyCode, 34);
    EXPECT_TRUE(s.hotkeyCtrl && s.hotkeyAlt);
    EXPECT_EQ(s.fontSize, 18);
    EXPECT_EQ(s.translationDelay, 1000.0);
    EXPECT_EQ(s.localDictionaryFile, "localdictionary_es_en.txt");
}

TEST(Settings, LoadingRules)
{
    // One key only; everything else stays.
    Settings s = Load("USE GOOGLE\nYES");
    EXPECT_TRUE(s.useGoogle);
    Settings expected;
    expected.useGoogle = true;
    ExpectSame(expected, s);

    // Flags: only exactly "YES" is on.
    EXPECT_FALSE(Load("MINIMIZE TO SYSTEM TRAY\nyes\n").minimizeToTray);
    EXPECT_FALSE(Load("MINIMIZE TO SYSTEM TRAY\nYES \n").minimizeToTray);
    EXPECT_TRUE(Load("USE BABELFISH\r\nYES\r\n").useBabelfish) << "CR LF lines";

    // Any order, unknown and empty lines skipped, the later of a repeated key wins.
    s = Load(
        "\n\nnonsense\nFONT SIZE FOR MAIN TEXT BOXES\n12\n\nUSE GOOGLE\nYES\n"
        "FONT SIZE FOR MAIN TEXT BOXES\n14\n");
    EXPECT_EQ(s.fontSize, 14);
    EXPECT_TRUE(s.useGoogle);

    // Keys are compared exactly.
    EXPECT_FALSE(Load("use google\nYES").useGoogle);
    EXPECT_FALSE(Load(" USE GOOGLE\nYES").useGoogle);

    // Numbers: the C library's integer conversion.
    EXPECT_EQ(Load("MAX NUMBER OF WORDS IN COMBINATIONS\n  -12abc").maxWordsInCombinations, -12);
    EXPECT_EQ(Load("MAX NUMBER OF WORDS IN COMBINATIONS\nabc").maxWordsInCombinations, 0);
    EXPECT_EQ(Load("MAX NUMBER OF WORDS IN COMBINATIONS\n99999999999999").maxWordsInCombinations,
              INT_MAX);
    EXPECT_EQ(Load("POPUP BANNER SOURCE\n+2").bannerSource, 2);

    // Delay: written in full, read back unchanged; junk after the number ignored.
    EXPECT_EQ(Load("TIME DELAY BEFORE AUTOMATIC TRANSLATION\n2500").translationDelay, 2500.0);
    EXPECT_EQ(Load("TIME DELAY BEFORE AUTOMATIC TRANSLATION\n1.5e+06").translationDelay, 1.5e6);
    EXPECT_EQ(Load("TIME DELAY BEFORE AUTOMATIC TRANSLATION\n12ms").translationDelay, 12.0);
    EXPECT_EQ(Load("TIME DELAY BEFORE AUTOMATIC TRANSLATION\n0x10").translationDelay, 0.0);
    EXPECT_EQ(Load("TIME DELAY BEFORE AUTOMATIC TRANSLATION\nnan").translationDelay, 0.0);
    EXPECT_EQ(Load("TIME DELAY BEFORE AUTOMATIC TRANSLATION\n1e999").translationDelay, 0.0);
    Settings d;
    d.translationDelay = 2500;
    EXPECT_NE(FormatSettings(d).find("\n2500\n"), std::string::npos);
}

TEST(Settings, PairsAndUploadLanguages)
{
    Settings s = Load("GOOGLE LANGUAGE PAIR\nCHINESE_SIMPLIFIED TO CHINESE_TRADITIONAL");
    EXPECT_EQ(s.googlePairPosition, 48);
    s = Load("GOOGLE LANGUAGE PAIR\nCHINESE SIMPLIFIED TO CHINESE_TRADITIONAL");
    EXPECT_EQ(s.googlePairPosition, 0) << "no match leaves the selection";

    s = Load("LOCAL DICTIONARY LANGUAGE PAIR\nDUTCH TO CROATIAN");
    EXPECT_EQ(s.localPairPosition, 142);
    EXPECT_EQ(s.localDictionaryFile, "localdictionary_du_hr.txt");
    EXPECT_EQ(s.personalDictionaryFile, "personaldictionary_du_hr.txt");

    s = Load(
        "BABELFISH LANGUAGE PAIR\nFRENCH TO DUTCH\nFREETRANSLATION LANGUAGE PAIR\n"
        "SPANISH TO ENGLISH");
    EXPECT_EQ(s.babelfishPairPosition, 16);
    EXPECT_EQ(s.freeTranslationPairPosition, 17);

    s = Load(
        "UPLOAD TRANSLATION PAIRS FILE LANGUAGE FROM\nCHINESE SIMPLIFIED\n"
        "UPLOAD TRANSLATION PAIRS FILE LANGUAGE TO\nKLINGON");
    EXPECT_EQ(s.uploadLanguageFrom, 2);
    EXPECT_EQ(s.uploadLanguageTo, 0);

    // No selection is written as English to Spanish.
    Settings none;
    none.googlePairPosition = -1;
    EXPECT_NE(FormatSettings(none).find("GOOGLE LANGUAGE PAIR\nENGLISH TO SPANISH\n"),
              std::string::npos);
}

TEST(Settings, KeyOnTheLastLineGetsAnEmptyValue)
{
    Settings start = NonDefaultSettings();
    Settings s = start;
    ApplySettingsText(s, "USE GOOGLE");
    EXPECT_FALSE(s.useGoogle);
    s = start;
    ApplySettingsText(s, "FONT SIZE FOR MAIN TEXT BOXES\n");
    EXPECT_EQ(s.fontSize, 0);
    s = start;
    ApplySettingsText(s, "ONLINE DICTIONARIES USERNAME");
    EXPECT_EQ(s.onlineUsername, "");
    s = start;
    ApplySettingsText(s, "GOOGLE LANGUAGE PAIR");
    EXPECT_EQ(s.googlePairPosition, 48);
    s = start;
    ApplySettingsText(s, "UPLOAD TRANSLATION PAIRS FILE LANGUAGE TO");
    EXPECT_EQ(s.uploadLanguageTo, 2);
}

TEST(Settings, ValuesThatWouldBreakTheFileStayOnTheirLine)
{
    Settings s;
    s.onlineUsername = "two\nlines";
    s.uploadLanguageFrom = 99;  // outside the table
    Settings loaded;
    ApplySettingsText(loaded, FormatSettings(s));
    EXPECT_EQ(loaded.onlineUsername, "two lines");
    EXPECT_EQ(loaded.uploadLanguageFrom, 0);
    EXPECT_EQ(loaded.uploadLanguageTo, 0);
    EXPECT_EQ(SplitLines(FormatSettings(s)).size(), 86u);
}

TEST(Settings, BadFilesLoadWithoutHarm)
{
    TempDir dir;
    // Binary with NUL bytes around a real key, a very long line, no line ends.
    std::string binary("\x00\xff\xfe\x01garbage\x00", 12);
    binary += "\nUSE GOOGLE\nYES\n";
    binary += std::string(900 << 10, 'x');
    binary += "\nUSE BABELFISH\nYES";
    dir.Write("c.txt", binary);
    Settings s;
    EXPECT_TRUE(LoadSettings(s, dir.File("c.txt")));
    EXPECT_TRUE(s.useGoogle);
    EXPECT_TRUE(s.useBabelfish);
    EXPECT_EQ(s.fontSize, 18);

    dir.Write("nul.txt", std::string("USE GOOGLE\0\nYES", 16));
    Settings n;
    LoadSettings(n, dir.File("nul.txt"));
    EXPECT_FALSE(n.useGoogle) << "a key with a NUL byte is not the key";

    Settings fromDir;
    EXPECT_FALSE(LoadSettings(fromDir, dir.Path().string())) << "a directory is not a file";
}

TEST(Settings, FailedSaveLeavesTheOldFileUntouched)
{
    TempDir dir;
    std::string path = dir.File("TalveroConfig.txt");
    dir.Write("TalveroConfig.txt", "USE GOOGLE\nYES");
    chmod(path.c_str(), 0640);

    // A file-size limit makes every write fail the way a full disk does, even for root.
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = old;
    tiny.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    bool saved = SaveSettings(NonDefaultSettings(), path);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(dir.Read("TalveroConfig.txt"), "USE GOOGLE\nYES");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
        (void)e, ++files;
    EXPECT_EQ(files, 1) << "no temporary file left behind";

    // A save into a directory that does not exist fails without creating anything.
    EXPECT_FALSE(SaveSettings(Settings(), dir.File("missing/TalveroConfig.txt")));
}

TEST(Settings, SavedFileIsPrivateWhenItHoldsAPassword)
{
    TempDir dir;
    std::string path = dir.File("TalveroConfig.txt");
    ASSERT_TRUE(SaveSettings(Settings(), path));
    struct stat st {};
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    chmod(path.c_str(), 0644);
    ASSERT_TRUE(SaveSettings(Settings(), path));
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "an existing readable file is narrowed";

    Settings noPassword;
    noPassword.onlinePassword.clear();
    chmod(path.c_str(), 0644);
    ASSERT_TRUE(SaveSettings(noPassword, path));
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0644u) << "otherwise the file keeps its permissions";
}

TEST(Settings, APipeInThePlaceOfTheFileIsNotWaitedFor)
{
    TempDir dir;
    std::string path = dir.File("TalveroConfig.txt");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    Settings s;
    EXPECT_FALSE(LoadSettings(s, path));
    EXPECT_FALSE(SaveSettings(s, path)) << "a pipe is not replaced by a file either";
}

TEST(Settings, AFileThatCannotBeReadIsNotTakenForAMissingOne)
{
    TempDir dir;
    const std::string path = dir.File("TalveroConfig.txt");
    Settings s;
    EXPECT_EQ(LoadSettingsFile(s, path), SettingsLoad::Missing);
    std::filesystem::create_directory(path);
    EXPECT_EQ(LoadSettingsFile(s, path), SettingsLoad::Unreadable);
    EXPECT_EQ(UnreadableSettingsMessage(path), path + " exists but cannot be read (a directory)");
    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(LoadSettingsFile(s, path), SettingsLoad::Unreadable);
    std::filesystem::remove(path);
    dir.Write("TalveroConfig.txt", "FONT SIZE FOR MAIN TEXT BOXES\n20");
    EXPECT_EQ(LoadSettingsFile(s, path), SettingsLoad::Read);
    EXPECT_EQ(s.fontSize, 20);
}

TEST(Settings, TemporariesOfAnInterruptedSaveGoAtTheNextLoad)
{
    TempDir dir;
    const std::string path = dir.File("TalveroConfig.txt");
    dir.Write("TalveroConfig.txt.tmp0badf00d", "ONLINE DICTIONARIES PASSWORD\nsecret");
    dir.Write("TalveroConfig.txt.tmp12345678", "still being written");
    dir.Write("TalveroConfig.txt.tmpnothex!!", "not ours");
    dir.Write("Other.txt.tmp0badf00d", "another file's");
    // A save that is still running holds a lock on its temporary.
    int busy = open(dir.File("TalveroConfig.txt.tmp12345678").c_str(), O_RDONLY);
    ASSERT_GE(busy, 0);
    ASSERT_EQ(flock(busy, LOCK_EX), 0);
    Settings s;
    EXPECT_EQ(LoadSettingsFile(s, path), SettingsLoad::Missing);
    close(busy);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"Other.txt.tmp0badf00d", "TalveroConfig.txt.tmp12345678",
                                        "TalveroConfig.txt.tmpnothex!!"}));
}

namespace {

// What "Unicode" and "UTF-8" mean in the editors users save with.
std::string Utf16(std::string_view ascii, bool bigEndian, bool mark)
{
    std::string out = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (char c : ascii) {
        if (bigEndian) out += '\0';
        out += c;
        if (!bigEndian) out += '\0';
    }
    return out;
}

}  // namespace

TEST(Settings, UnicodeFilesFromEditorsAreReadAsWhatTheyAre)
{
    TempDir dir;
    const std::string path = dir.File("TalveroConfig.txt");
    const std::string text = "USE GOOGLE\r\nYES\r\nONLINE DICTIONARIES USERNAME\r\nana\r\n";
    const std::vector<std::string> files = {Utf16(text, false, true), Utf16(text, true, true),
                                            Utf16(text, false, false), Utf16(text, true, false),
                                            "\xEF\xBB\xBF" + text};
    for (const std::string& bytes : files) {
        dir.Write("TalveroConfig.txt", bytes);
        Settings s;
        std::string message;
        EXPECT_EQ(LoadSettingsFile(s, path, &message), SettingsLoad::Read);
        EXPECT_TRUE(s.useGoogle);
        EXPECT_EQ(s.onlineUsername, "ana");
        EXPECT_EQ(message, "");
        EXPECT_EQ(dir.Read("TalveroConfig.txt"), bytes);
    }
}

TEST(Settings, AFileWithNoKnownKeyIsKeptAsideUnderAFreeName)
{
    TempDir dir;
    const std::string path = dir.File("TalveroConfig.txt");
    std::string binary;
    for (int i = 0; i < 100000; ++i)
        binary += static_cast<char>((i * 7919) >> 3);
    const std::string nuls(4096, '\0');
    dir.Write("TalveroConfig.txt", nuls);
    Settings s;
    std::string message;
    EXPECT_EQ(LoadSettingsFile(s, path, &message), SettingsLoad::SetAside);
    EXPECT_EQ(dir.Read("TalveroConfig.txt.bad"), nuls);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_NE(message.find("TalveroConfig.txt.bad"), std::string::npos) << message;

    // A later bad file never replaces the first one kept aside.
    dir.Write("TalveroConfig.txt", binary);
    message.clear();
    EXPECT_EQ(LoadSettingsFile(s, path, &message), SettingsLoad::SetAside);
    EXPECT_EQ(dir.Read("TalveroConfig.txt.bad"), nuls);
    EXPECT_EQ(dir.Read("TalveroConfig.txt.bad2"), binary);
    EXPECT_NE(message.find("TalveroConfig.txt.bad2"), std::string::npos) << message;
    EXPECT_EQ(s.onlineUsername, "username");

    // Empty or blank files hold nothing to lose, and a file with one known key is read.
    for (std::string kept : {"", "\r\n\n", "junk\nFONT SIZE FOR MAIN TEXT BOXES\n12"}) {
        dir.Write("TalveroConfig.txt", kept);
        EXPECT_EQ(LoadSettingsFile(s, path), SettingsLoad::Read);
        EXPECT_EQ(dir.Read("TalveroConfig.txt"), kept);
    }
    EXPECT_EQ(s.fontSize, 12);
}

TEST(Settings, AnOversizedFileIsRefusedAndLeftAlone)
{
    TempDir dir;
    const std::string path = dir.File("TalveroConfig.txt");
    dir.Write("TalveroConfig.txt", "USE GOOGLE\nYES\n");
    // Sparse: four gigabytes that cost no disk.
    ASSERT_EQ(truncate(path.c_str(), 4LL << 30), 0);
    Settings s;
    std::string message;
    EXPECT_EQ(LoadSettingsFile(s, path, &message), SettingsLoad::Unreadable);
    EXPECT_FALSE(s.useGoogle);
    EXPECT_EQ(message, path + " exists but cannot be read (larger than 1 MB)");
    EXPECT_EQ(std::filesystem::file_size(path), 4ULL << 30);
}

TEST(Settings, ValuesTheOptionsDialogWouldRefuseAreMendedWithOneMessage)
{
    TempDir dir;
    const std::string path = dir.File("TalveroConfig.txt");
    dir.Write("TalveroConfig.txt",
              "FONT SIZE FOR MAIN TEXT BOXES\n2147483647\nHOTKEY BASE KEY CODE\n-2147483648");
    Settings s;
    std::string message;
    EXPECT_EQ(LoadSettingsFile(s, path, &message), SettingsLoad::Read);
    EXPECT_EQ(s.fontSize, 20);
    EXPECT_EQ(s.hotkeyBaseKeyCode, -1);
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 0) << message;
    EXPECT_NE(message.find("FONT SIZE FOR MAIN TEXT BOXES"), std::string::npos) << message;
    EXPECT_NE(message.find("HOTKEY BASE KEY CODE"), std::string::npos) << message;

    // In range, or "no key" as the dialog stores it: taken silently.
    dir.Write("TalveroConfig.txt", "FONT SIZE FOR MAIN TEXT BOXES\n6\nHOTKEY BASE KEY CODE\n-1");
    message.clear();
    EXPECT_EQ(LoadSettingsFile(s, path, &message), SettingsLoad::Read);
    EXPECT_EQ(s.fontSize, 6);
    EXPECT_EQ(s.hotkeyBaseKeyCode, -1);
    EXPECT_EQ(message, "");
    dir.Write("TalveroConfig.txt", "FONT SIZE FOR MAIN TEXT BOXES\n-4");
    LoadSettingsFile(s, path, &message);
    EXPECT_EQ(s.fontSize, 6);
}

}  // namespace talvero
