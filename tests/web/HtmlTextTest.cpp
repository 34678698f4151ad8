// Cutting text out of pages: markers in any letter case, white-space tidying, tag removal and the
// entity steps with their exact-case test.
#include <gtest/gtest.h>

#include "base/CodePage.h"
#include "web/HttpCommon.h"
#include "web/WebResourceProvider.h"

namespace talvero {

namespace {

struct StripCase {
    const char* name;
    std::string in;
    std::string out;
};

std::string Cp(char32_t c)
{
    return CodePageChar(c);
}

class StripHtmlTable : public testing::TestWithParam<StripCase> {};

TEST_P(StripHtmlTable, Strips)
{
    std::string text = GetParam().in;
    CWebResourceProvider::StripHtml(text);
    EXPECT_EQ(text, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StripHtmlTable,
    testing::Values(
        StripCase{"TagsBetweenLettersVanish", "ab<b>cd</b>ef", "abcdef"},
        StripCase{"UnclosedOpenerVanishesAlone", "ab<cd", "abcd"},
        StripCase{"OpenerAsLastCharacter", "abc<", "abc"},
        StripCase{"CloserWithoutOpenerStays", "a>b", "a>b"},
        StripCase{"TagAtStartAndEnd", "<p>text</p>", "text"},
        StripCase{"NbspAndAmp", "a&nbsp;b &amp; c", "a b & c"},
        // Step 2 makes "&aring;" out of "&amp;aring;", step 3 then decodes it; "&nbsp;"
        // escaped the same way stays, since step 1 has already run.
        StripCase{"EscapedAringDecodedLater", "&amp;aring;", Cp(0xE5)},
        StripCase{"EscapedNbspStays", "&amp;nbsp;", "&nbsp;"},
        StripCase{"CapitalEntityAloneStays", "&AMP; x", "&AMP; x"},
        StripCase{"CapitalReplacedWhenLowerPresent", "&AMP; &amp;", "& &"},
        StripCase{"AllLetterEntities", "&auml;&eacute;&iacute;&igrave;&ograve;&ouml;&szlig;",
                  Cp(0xE4) + Cp(0xE9) + Cp(0xED) + Cp(0xEC) + Cp(0xF2) + Cp(0xF6) + Cp(0xDF)},
        StripCase{"ApostropheReference", "it&#39;s", "it's"},
        StripCase{"PaddedApostropheIsANumericReference", "it&#039;s", "it's"},
        StripCase{"PaddedApostropheWithNul", "it&#039;s&#0;", "it#39;s#;"},
        StripCase{"MarkupEscapesDecodedAfterTheTable", "si x &lt; 5 y &quot;z&quot; &gt; 3",
                  "si x < 5 y \"z\" > 3"},
        StripCase{"NumericReferences", "&#233;&#xE9;&#XF1;&#65;",
                  Cp(0xE9) + Cp(0xE9) + Cp(0xF1) + "A"},
        // Like the table's later steps, the references are read after "&amp;" is decoded; a
        // "&" decoded from a reference never starts another one. Unknown, malformed and
        // non-character references stay as written.
        StripCase{"DecodedAmpersandNotReread", "&amp;#65; &#38;lt;", "A &lt;"},
        StripCase{"NotReferences", "&#; &#x; &#12a; &#xD800; &#x110000; &LT; &copy; a & b",
                  "&#; &#x; &#12a; &#xD800; &#x110000; &LT; &copy; a & b"}),
    [](const testing::TestParamInfo<StripCase>& info) { return std::string(info.param.name); });

TEST(HtmlText, NormalizeWhitespaceJoinsLinesKeepsCarriageReturns)
{
    std::string text = " \t\r\n first line\r\nsecond\nthird \n\v\f";
    CWebResourceProvider::NormalizeWhitespace(text);
    EXPECT_EQ(text, "first line\r second third");
    text = " \n ";
    CWebResourceProvider::NormalizeWhitespace(text);
    EXPECT_EQ(text, "");
}

TEST(HtmlText, ReplaceNoCaseNeverRescansTheReplacement)
{
    using P = CWebResourceProvider;
    EXPECT_EQ(P::ReplaceNoCase("aXa xa", "xa", "XAxa"), "aXAxa XAxa");
    EXPECT_EQ(P::ReplaceNoCase("AbAB", "ab", ""), "");
    EXPECT_EQ(P::ReplaceNoCase("none", "zz", "y"), "none");
}

TEST(HtmlText, PageOfEntitiesAsLargeAsTheBodyCapIsDecoded)
{
    // Millions of entities in a reply at the size limit: each one replaced in place would move
    // the rest of the page, and the translation would never finish.
    HttpLimits limits;
    const std::string unit = "&AMP;x&amp;&nbsp;<b>y</b>&#39;";  // 29 bytes -> "&x& y'"
    const size_t count = limits.maxBodyBytes / unit.size();
    std::string text, expected;
    text.reserve(count * unit.size());
    for (size_t i = 0; i < count; ++i) {
        text += unit;
        expected += "&x& y'";
    }
    CWebResourceProvider::StripHtml(text);
    EXPECT_EQ(text.size(), expected.size());
    EXPECT_TRUE(text == expected);
}

TEST(HtmlText, FindNoCase)
{
    using P = CWebResourceProvider;
    EXPECT_EQ(P::FindNoCase("xxABcab", "ab", 0), 2);
    EXPECT_EQ(P::FindNoCase("xxABcab", "ab", 3), 5);
    EXPECT_EQ(P::FindNoCase("aaab", "aab", 0), 1);  // restart one past the previous start
    EXPECT_EQ(P::FindNoCase("abc", "abcd", 0), -1);
    EXPECT_EQ(P::FindNoCase("abc", "", 2), 2);
    EXPECT_EQ(P::FindNoCase("abc", "c", 9), -1);
}

// A provider over fixed content, to drive the cursor helpers.
class FixedPage : public CWebResourceProvider {
public:
    explicit FixedPage(std::string page) { content = std::move(page); }
    using CWebResourceProvider::ExtractUntil;
    using CWebResourceProvider::SkipPast;
    long Cursor() const { return cursor; }
    void SetCursor(long c) { cursor = c; }

protected:
    std::string GetResourceUrl() override { return {}; }
};

TEST(HtmlText, SkipPastAndExtractUntil)
{
    FixedPage page("<HTML><DIV ID=R>one</div>two</DIV>");
    EXPECT_TRUE(page.SkipPast("<div id=r>"));
    EXPECT_EQ(page.Cursor(), 16);
    std::string out = "untouched";
    EXPECT_TRUE(page.ExtractUntil("</DIV>", out));
    EXPECT_EQ(out, "one");
    out = "untouched";
    EXPECT_FALSE(page.SkipPast("<div id=r>"));
    EXPECT_TRUE(page.ExtractUntil("</div>", out));
    EXPECT_EQ(out, "two");
    out = "untouched";
    EXPECT_FALSE(page.ExtractUntil("</div>", out));  // cursor at the end
    EXPECT_EQ(out, "untouched");

    FixedPage shortPage("ab");
    shortPage.SetCursor(1);  // on the last byte: refused even though "b" follows
    EXPECT_FALSE(shortPage.ExtractUntil("b", out));
    shortPage.SetCursor(0);
    EXPECT_TRUE(shortPage.ExtractUntil("b", out));
    EXPECT_EQ(out, "a");
}

}  // namespace

}  // namespace talvero
