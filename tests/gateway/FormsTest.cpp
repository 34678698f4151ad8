// The gateway's reading of the forms: every pair code the translators can send, decoding, and
// the character sets.
#include <gtest/gtest.h>

#include "gateway/Apertium.h"
#include "gateway/Forms.h"
#include "web/Translators.h"

namespace talvero {

namespace {

std::string Pair(const std::optional<ApertiumPair>& pair)
{
    return pair ? pair->LangPair() : "none";
}

TEST(GatewayPairs, EveryCodeTheTranslatorsSendNamesTwoDifferentLanguages)
{
    for (int n = 0; n < 529; ++n) {
        auto pair = PairFromGoogleCode(Translator::PairCode(n));
        ASSERT_TRUE(pair) << Translator::PairCode(n);
        EXPECT_NE(pair->source, pair->target);
    }
    for (int n = 0; n < 36; ++n)
        EXPECT_EQ(PairFromBabelfishCode(BabelfishTranslator::PairCode(n)).has_value(), n != 21)
            << n;
    for (int n = 0; n < 19; ++n)
        EXPECT_TRUE(PairFromFreeTranslationName(FreeTranslationTranslator::PairName(n))) << n;
}

TEST(GatewayPairs, MappingTable)
{
    EXPECT_EQ(Pair(PairFromGoogleCode("es|en")), "spa|eng");
    EXPECT_EQ(Pair(PairFromGoogleCode("zh-CN|zh-TW")), "zho|zho_TW");
    EXPECT_EQ(Pair(PairFromGoogleCode("no|hr")), "nob|hbs_HR");
    EXPECT_EQ(Pair(PairFromBabelfishCode("zt_en")), "zho_TW|eng");
    EXPECT_EQ(Pair(PairFromBabelfishCode("fr_es")), "fra|spa");
    EXPECT_EQ(Pair(PairFromFreeTranslationName("Spanish/English")), "spa|eng");
    EXPECT_EQ(Pair(PairFromFreeTranslationName("English/TraditionalChinese")), "eng|zho_TW");
    // Empty, unknown, one language twice, the wrong form's spelling, trailing bytes.
    for (const char* code : {"", "|", "es|", "es|es", "xx|en", "es_en", "es|en|fr", "ES|EN"})
        EXPECT_FALSE(PairFromGoogleCode(code)) << code;
    for (const char* code : {"", "_", "es|en", "zh-CN_en", "sv_en"})
        EXPECT_FALSE(PairFromBabelfishCode(code)) << code;
    for (const char* code : {"", "spanish/english", "Spanish/Spanish", "Swedish/English"})
        EXPECT_FALSE(PairFromFreeTranslationName(code)) << code;
    EXPECT_STREQ(UploadLanguage("du")->apertiumCode, "nld");
    EXPECT_STREQ(UploadLanguage("zh-TW")->apertiumCode, "zho_TW");
    EXPECT_EQ(UploadLanguage("xx"), nullptr);
}

TEST(GatewayApertiumMarks, SignsOpeningAWordGoUnlessTheSourceWroteThem)
{
    EXPECT_EQ(WithoutApertiumMarks("#\u00BFD\u00F3nde *xyzzy @casa (#pron) \u00BF#s\u00ED?", "q"),
              "\u00BFD\u00F3nde xyzzy casa (pron) \u00BFs\u00ED?");
    EXPECT_EQ(WithoutApertiumMarks("#*word", "q"), "word");  // stacked
    // Inside a word, alone, or at the end: not a mark.
    EXPECT_EQ(WithoutApertiumMarks("ana@example.org C# a * b 5*3 x#", "q"),
              "ana@example.org C# a * b 5*3 x#");
    // Written in the source: that sign stays everywhere, the others still go.
    EXPECT_EQ(WithoutApertiumMarks("#hello @ana *xyzzy", "#hola @ana"), "#hello @ana xyzzy");
    // What Apertium makes of the user's own signs: only the ones it added go.
    EXPECT_EQ(WithoutApertiumMarks("3*4 dog", "3*4 perro"), "3*4 dog");
    EXPECT_EQ(WithoutApertiumMarks("It eats *xyzzy*", "come xyzzy*"), "It eats xyzzy*");
    EXPECT_EQ(WithoutApertiumMarks("The *dog eats *xyzzy", "el *perro come xyzzy"),
              "The *dog eats xyzzy");
    EXPECT_EQ(WithoutApertiumMarks("#hello @*ana Looks", "#hola @ana mira"), "#hello @ana Looks");
    EXPECT_EQ(WithoutApertiumMarks("To * *b", "a * b"), "To * b");
}

TEST(GatewayForms, DecodingAndTheFieldsOfEachForm)
{
    EXPECT_EQ(PercentDecode("a+b%20c%26d%3D%zz%4"), "a b c&d=%zz%4");
    EXPECT_EQ(PercentDecode("%C3%B1%00x"), std::string("\xC3\xB1\0x", 4));
    auto form = ParseForm("a=1&&b&a=2&=x&c=%3D");
    EXPECT_EQ(form.find("a")->second, "1");  // the first value counts
    EXPECT_EQ(form.find("b")->second, "");
    EXPECT_EQ(form.find("c")->second, "=");

    // Exactly the bodies the translators post.
    Translator google("pan & vino", 491, "http://x");  // Spanish to English
    auto request = ReadTranslationForm(FormService::Google, google.RequestBody());
    EXPECT_EQ(Pair(request.pair), "spa|eng");
    EXPECT_EQ(request.text, "pan & vino");
    BabelfishTranslator babel("a=b", 34, "http://x");
    request = ReadTranslationForm(FormService::Babelfish, babel.RequestBody());
    EXPECT_EQ(Pair(request.pair), "spa|eng");
    EXPECT_EQ(request.text, "a=b");
    FreeTranslationTranslator free("50% más", 18, "http://x");
    request = ReadTranslationForm(FormService::FreeTranslation, free.RequestBody());
    EXPECT_EQ(Pair(request.pair), "spa|eng");
    EXPECT_EQ(request.text, "50% más");

    EXPECT_EQ(ReadTranslationForm(FormService::Babelfish, "lp=&trtext=x").problem,
              "No language pair was chosen.");
    EXPECT_EQ(ReadTranslationForm(FormService::Google, "langpair=de%7Cxx").problem,
              "No such language pair: de|xx");
    EXPECT_FALSE(ReadTranslationForm(FormService::FreeTranslation, "garbage\xff&&==").pair);
}

TEST(GatewayForms, CharacterSets)
{
    EXPECT_TRUE(IsUtf8("ni\xC3\xB1o \xE2\x82\xAC \xF0\x9F\x90\x95"));
    for (const char* bad : {"ni\xF1o", "\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\xF4\x90\x80\x80"})
        EXPECT_FALSE(IsUtf8(bad)) << bad;
    EXPECT_EQ(Windows1252ToUtf8("ni\xF1o \x80\x81"), "ni\xC3\xB1o \xE2\x82\xAC?");
    EXPECT_EQ(Utf8ToWindows1252("ni\xC3\xB1o \xE2\x82\xAC \xF0\x9F\x90\x95 \xFF"),
              "ni\xF1o \x80 ? ?");
}

TEST(GatewayForms, PagesCarryTheTranslationBetweenTheMarkersEscaped)
{
    std::string page = ResultPage(FormService::Babelfish, "a </div> & b");
    EXPECT_NE(page.find(std::string(kBabelfishStartMarker) + "a &lt;/div&gt; &amp; b</div>"),
              std::string::npos);
    EXPECT_EQ(ErrorPage("x").find("result"), std::string::npos);
    EXPECT_NE(UpdatePage(100000).find("Current Version Update 100000"), std::string::npos);
    EXPECT_NE(UpdatePage(7).find("Current Version Update 000007"), std::string::npos);
}

}  // namespace

}  // namespace talvero
