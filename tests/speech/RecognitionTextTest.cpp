#include <gtest/gtest.h>
#include <stdlib.h>

#include "base/CodePage.h"
#include "speech/RecognitionText.h"

namespace talvero {

namespace {

TEST(RecognitionTextTest, TidiesWithEveryPattern)
{
    const std::string inverted_q = CodePageChar(U'\u00BF'), inverted_e = CodePageChar(U'\u00A1');
    const std::string expected[] = {
        "Hello world?", inverted_q + "Hello world?", "Hello world ?", "Hello world;",
        "Hello world!", inverted_e + "Hello world!", "Hello world."};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(TidyRecognizedText("  hello world ", true, i), expected[i]) << i;
    // No selection in the list (or the box unchecked): nothing added; trimmed all the same.
    EXPECT_EQ(TidyRecognizedText("hello world ", false, -1), "hello world");
    EXPECT_EQ(TidyRecognizedText("hello", false, 7), "hello");
    EXPECT_EQ(TidyRecognizedText("   ", true, 6), ".");
}

TEST(RecognitionTextTest, InvertedMarksAreCharactersOfTheCodePage)
{
    setenv("TALVERO_CODEPAGE", "CP1252", 1);
    ResetCodePageForTesting();
    EXPECT_EQ(TidyRecognizedText("hola", true, 1), "\xBFHola?");
    EXPECT_EQ(TidyRecognizedText("\xE9t\xE9", true, 5), "\xA1\xC9t\xE9!");
    setenv("TALVERO_CODEPAGE", "UTF-8", 1);
    ResetCodePageForTesting();
    EXPECT_EQ(TidyRecognizedText("hola", true, 5), "\xC2\xA1Hola!");
    EXPECT_EQ(TidyRecognizedText("\xC3\xA9t\xC3\xA9", true, -1), "\xC3\x89t\xC3\xA9");
    unsetenv("TALVERO_CODEPAGE");
    ResetCodePageForTesting();
}

}  // namespace

}  // namespace talvero
