// The three translators: pair codes, form bodies (percent-encoded), the URL, the marker cuts,
// and every kind of failing server ending as "Error parsing content" with an empty result.
#include <gtest/gtest.h>

#include <memory>

#include "base/CodePage.h"
#include "tests/support/LoopbackServer.h"
#include "web/HttpRetriever.h"
#include "web/Translators.h"

namespace talvero {

using loopback::Field;
using loopback::HttpServer;
using loopback::Reply;

namespace {

struct CodeCase {
    int pair;
    const char* google;
    const char* babelfish;
    const char* freeTranslation;
};

class PairCodes : public testing::TestWithParam<CodeCase> {};

TEST_P(PairCodes, EachEngine)
{
    const CodeCase& c = GetParam();
    if (c.google) {
        EXPECT_EQ(Translator::PairCode(c.pair), c.google);
    }
    if (c.babelfish) {
        EXPECT_EQ(BabelfishTranslator::PairCode(c.pair), c.babelfish);
    }
    if (c.freeTranslation) {
        EXPECT_EQ(FreeTranslationTranslator::PairName(c.pair), c.freeTranslation);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PairCodes,
    testing::Values(
        CodeCase{0, "ar|bg", "zh_en", "Dutch/English"},
        CodeCase{1, "ar|zh-CN", "zt_en", "English/SimplifiedChinese"},
        CodeCase{2, "ar|zh-TW", "en_zh", "English/TraditionalChinese"},
        CodeCase{3, nullptr, nullptr, "English/Dutch"}, CodeCase{14, nullptr, "nl_en", nullptr},
        CodeCase{16, nullptr, "fr_en", "Portuguese/English"},
        CodeCase{17, nullptr, nullptr, "Russian/English"},
        CodeCase{18, nullptr, nullptr, "Spanish/English"}, CodeCase{19, nullptr, nullptr, ""},
        CodeCase{21, nullptr, "", nullptr},  // French to Dutch has no code
        CodeCase{35, nullptr, "es_fr", nullptr}, CodeCase{36, nullptr, "", nullptr},
        CodeCase{46, "zh-CN|ar", nullptr, nullptr}, CodeCase{48, "zh-CN|zh-TW", nullptr, nullptr},
        CodeCase{69, "hr|ar", nullptr, nullptr}, CodeCase{132, "da|pl", nullptr, nullptr},
        CodeCase{255, "el|zh-CN", "", ""}, CodeCase{357, "ko|el", nullptr, nullptr},
        CodeCase{435, "pt|es", nullptr, nullptr}, CodeCase{528, "sv|es", nullptr, nullptr},
        CodeCase{529, "", nullptr, nullptr}, CodeCase{-1, "", "", ""}));

TEST(Translators, GoogleTableHasNoTraditionalChineseSourceAndNoSelfPairs)
{
    for (int pair = 0; pair < 529; ++pair) {
        std::string code = Translator::PairCode(pair);
        size_t bar = code.find('|');
        ASSERT_NE(bar, std::string::npos) << pair;
        EXPECT_NE(code.substr(0, bar), "zh-TW") << pair;
        EXPECT_NE(code.substr(0, bar), code.substr(bar + 1)) << pair;
        if (pair > 0) {
            EXPECT_NE(code, Translator::PairCode(pair - 1));
        }
    }
}

TEST(Translators, FormBodiesEncodeEveryValue)
{
    Translator google("a&b=c d+é", 132, "http://h");
    EXPECT_EQ(google.RequestUrl(), "http://h/translate_t");
    EXPECT_EQ(google.RequestBody(),
              "hl=en&ie=UTF8&oe=UTF8&submit=Translate&langpair=da%7Cpl&text=a%26b%3Dc%20d%2B" +
                  PercentEncode("é"));
    Translator none("x", -1, "http://h/");
    EXPECT_EQ(none.RequestUrl(), "http://h/translate_t");
    EXPECT_EQ(none.RequestBody(), "hl=en&ie=UTF8&oe=UTF8&submit=Translate&langpair=&text=x");

    BabelfishTranslator babel("x&lp=en_fr", 255, "https://b:8443");
    EXPECT_EQ(babel.RequestUrl(), "https://b:8443/translate_txt");
    EXPECT_EQ(babel.RequestBody(), "doit=done&intl=1&lp=&trtext=x%26lp%3Den_fr");

    FreeTranslationTranslator free("a b", 3, "http://f");
    EXPECT_EQ(free.RequestUrl(), "http://f/");
    EXPECT_EQ(free.RequestBody(),
              "Language=English%2FDutch&Sequence=core&Mode=html&template=TextResults2.htm&"
              "SrcText=a%20b");
}

enum class Kind { Google, Babelfish, FreeTranslation };

std::unique_ptr<CWebTranslator> Make(Kind kind, const std::string& text, int pair,
                                     const std::string& base)
{
    switch (kind) {
        case Kind::Google:
            return std::make_unique<Translator>(text, pair, base);
        case Kind::Babelfish:
            return std::make_unique<BabelfishTranslator>(text, pair, base);
        case Kind::FreeTranslation:
            return std::make_unique<FreeTranslationTranslator>(text, pair, base);
    }
    return nullptr;
}

std::string Page(Kind kind, const std::string& translation)
{
    switch (kind) {
        case Kind::Google:
            return loopback::GooglePage(translation);
        case Kind::Babelfish:
            return loopback::BabelfishPage(translation);
        case Kind::FreeTranslation:
            return loopback::FreeTranslationPage(translation);
    }
    return {};
}

const char* TextField(Kind kind)
{
    return kind == Kind::Google ? "text" : kind == Kind::Babelfish ? "trtext" : "SrcText";
}

std::string Upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

class EachTranslator : public testing::TestWithParam<Kind> {
protected:
    HttpLimits FastLimits()
    {
        HttpLimits limits;
        limits.connectTimeoutMs = 2000;
        limits.stallTimeoutMs = 300;
        return limits;
    }
    void ExpectFailure(CWebTranslator& t)
    {
        t.SetLimits(FastLimits());
        t.Retrieve();
        EXPECT_EQ(t.GetErrorFlag(), 1);
        EXPECT_EQ(t.GetErrorText(), "Error parsing content");
        EXPECT_EQ(t.GetResult(), "");
    }
    HttpServer server;
};

TEST_P(EachTranslator, PostsTheFormAndCutsTheResult)
{
    Kind kind = GetParam();
    server.SetReply({200, Page(kind, "\n  Hello,\r\n <b>dear</b> &amp; caf&eacute;  \n")});
    auto t = Make(kind, "Hola & adiós=bye", 0, server.BaseAddress());
    t->Retrieve();
    EXPECT_EQ(t->GetErrorFlag(), 0) << t->GetErrorText();
    EXPECT_EQ(t->GetResult(), "Hello,\r  dear & caf" + CodePageChar(0xE9));

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& r = requests[0];
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, kind == Kind::Google      ? "/translate_t"
                      : kind == Kind::Babelfish ? "/translate_txt"
                                                : "/");
    EXPECT_EQ(Field(r.headers, "Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(Field(r.headers, "Accept"), "*/*");
    EXPECT_EQ(Field(r.headers, "User-Agent"), kHttpRetrieverAgent);
    EXPECT_EQ(r.headers.count("Expect"), 0u);
    // The whole text arrives in its own field: "&" and "=" inject nothing.
    EXPECT_EQ(Field(r.form, TextField(kind)), "Hola & adiós=bye");
    EXPECT_EQ(r.form.count("adiós"), 0u);
}

TEST_P(EachTranslator, MarkersMatchInAnyLetterCase)
{
    Kind kind = GetParam();
    // Markers in capitals; the translation itself keeps its letters.
    std::string page = Upper(Page(kind, "@@"));
    page.replace(page.find("@@"), 2, "Mixed Case");
    server.SetReply({200, page});
    auto t = Make(kind, "x", 0, server.BaseAddress());
    t->Retrieve();
    EXPECT_EQ(t->GetErrorFlag(), 0);
    EXPECT_EQ(t->GetResult(), "Mixed Case");
}

TEST_P(EachTranslator, PageWithoutMarkers)
{
    server.SetReply({200, "<html><body>The service has moved.</body></html>"});
    auto t = Make(GetParam(), "x", 0, server.BaseAddress());
    ExpectFailure(*t);
}

TEST_P(EachTranslator, ErrorStatusEvenWithMarkers)
{
    // A failed fetch shows as the parse failure: the parse runs after every fetch.
    server.SetReply({503, "<html>busy</html>"});
    auto t = Make(GetParam(), "x", 0, server.BaseAddress());
    ExpectFailure(*t);
}

TEST_P(EachTranslator, CutBody)
{
    Reply reply{200, Page(GetParam(), "complete")};
    reply.cut = true;
    server.SetReply(reply);
    auto t = Make(GetParam(), "x", 0, server.BaseAddress());
    ExpectFailure(*t);
}

TEST_P(EachTranslator, ServerThatNeverAnswers)
{
    Reply reply;
    reply.hang = true;
    server.SetReply(reply);
    auto t = Make(GetParam(), "x", 0, server.BaseAddress());
    ExpectFailure(*t);
}

TEST_P(EachTranslator, BodyOverTheCap)
{
    server.SetReply({200, Page(GetParam(), "fine") + std::string(5000, ' ')});
    auto t = Make(GetParam(), "x", 0, server.BaseAddress());
    HttpLimits limits = FastLimits();
    limits.maxBodyBytes = 4096;
    t->SetLimits(limits);
    t->Retrieve();
    EXPECT_EQ(t->GetErrorFlag(), 1);
    EXPECT_EQ(t->GetErrorText(), "Error parsing content");
}

TEST_P(EachTranslator, GarbageAndRefusals)
{
    {
        loopback::RawServer garbage(std::string("\x00\xff\x13garbage\r\n\r\n", 14), false);
        auto t = Make(GetParam(), "x", 0, garbage.BaseAddress());
        ExpectFailure(*t);
    }
    {
        int port = loopback::FreePort();  // nobody listens there
        auto t = Make(GetParam(), "x", 0, "http://127.0.0.1:" + std::to_string(port));
        ExpectFailure(*t);
    }
    {
        // Binary noise with a proper status line: parsed, markers missing.
        server.SetReply({200, std::string("\x01\x02\x00\x03<div", 8), "application/octet-stream"});
        auto t = Make(GetParam(), "x", 0, server.BaseAddress());
        ExpectFailure(*t);
    }
}

TEST_P(EachTranslator, TlsFollowsTheSchemeNotThePort)
{
    // A plain server on a port other than 80 is reached over plain HTTP...
    server.SetReply({200, Page(GetParam(), "plain")});
    auto t = Make(GetParam(), "x", 0, server.BaseAddress());
    t->Retrieve();
    EXPECT_EQ(t->GetResult(), "plain");
    // ...and https:// to a server that speaks no TLS fails instead of falling back.
    std::string https = "https://127.0.0.1:" + std::to_string(server.Port());
    auto tls = Make(GetParam(), "x", 0, https);
    ExpectFailure(*tls);
}

INSTANTIATE_TEST_SUITE_P(Services, EachTranslator,
                         testing::Values(Kind::Google, Kind::Babelfish, Kind::FreeTranslation),
                         [](const testing::TestParamInfo<Kind>& info) {
                             return info.param == Kind::Google ? std::string("Google")
                                    : info.param == Kind::Babelfish
                                        ? std::string("Babelfish")
                                        : std::string("FreeTranslation");
                         });

TEST(Translators, BabelfishResultIsTheInnerDivisionOnly)
{
    HttpServer server;
    server.SetReply({200, loopback::BabelfishPage("<div>inner</div> outer")});
    BabelfishTranslator t("x", 5, server.BaseAddress());
    t.Retrieve();
    EXPECT_EQ(t.GetErrorFlag(), 0);
    EXPECT_EQ(t.GetResult(), "inner");  // the first "</div>" ends the result
}

}  // namespace

}  // namespace talvero
