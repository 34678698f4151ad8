#include <gtest/gtest.h>

#include <cstdlib>

#include "base/CodePage.h"

namespace talvero {

namespace {

// Switches the code page for one test and back.
class CodePageScope {
public:
    explicit CodePageScope(const char* name)
    {
        if (const char* old = std::getenv("TALVERO_CODEPAGE")) saved_ = old, had_ = true;
        setenv("TALVERO_CODEPAGE", name, 1);
        ResetCodePageForTesting();
    }
    ~CodePageScope()
    {
        if (had_)
            setenv("TALVERO_CODEPAGE", saved_.c_str(), 1);
        else
            unsetenv("TALVERO_CODEPAGE");
        ResetCodePageForTesting();
    }

private:
    std::string saved_;
    bool had_ = false;
};

}  // namespace

TEST(CodePage, Cp1252IsOneBytePerCharacter)
{
    CodePageScope scope("CP1252");
    EXPECT_EQ(CodePageName(), "CP1252");
    EXPECT_FALSE(CodePageIsUtf8());
    EXPECT_EQ(CodePageChar(U'\u00BF'), "\xBF");
    EXPECT_EQ(CodePageChar(U'\u00E5'), "\xE5");
    EXPECT_EQ(CodePageChar(U'\u20AC'), "\x80");
    EXPECT_EQ(CodePageToUtf8("\xBF"
                             "Qu\xE9?"),
              "\xC2\xBF"
              "Qu\xC3\xA9?");
    EXPECT_EQ(Utf8ToCodePage("Gr\xC3\xBC\xC3\x9F"
                             "e"),
              "Gr\xFC\xDF"
              "e");
    EXPECT_EQ(Utf8ToCodePage("\xE4\xB8\xAD"), "?") << "a character CP1252 lacks";
    EXPECT_EQ(CodePageToWide("\xFC"), L"\u00FC");
    EXPECT_EQ(WideToCodePage(L"a\u4E2Db"), "a?b");
}

TEST(CodePage, Utf8IsTheIdentityAndRepairsInvalidBytes)
{
    CodePageScope scope("UTF-8");
    EXPECT_TRUE(CodePageIsUtf8());
    EXPECT_EQ(CodePageChar(U'\u00BF'), "\xC2\xBF");
    EXPECT_EQ(CodePageToUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(CodePageToUtf8("a\xFF"
                             "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(CodePageToWide("\xE4\xB8\xAD"), L"\u4E2D");
    EXPECT_EQ(WideToCodePage(L"\u4E2D"), "\xE4\xB8\xAD");
    EXPECT_EQ(CodePageToUtf8(""), "");
}

TEST(CodePage, DefaultsToTheLocaleCharacterSet)
{
    unsetenv("TALVERO_CODEPAGE");
    ResetCodePageForTesting();
    EXPECT_FALSE(CodePageName().empty());
}

}  // namespace talvero
