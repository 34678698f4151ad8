// The upload request, the single upload and the batch upload against a recording loopback server.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "online/Upload.h"
#include "tests/online/OnlineTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempDir.h"

namespace talvero {

using loopback::Field;

namespace {

constexpr const char* kPassword = "s3cr&t=pw";

TEST(UploadCodes, PairCodeIsCutByItsLength)
{
    struct Case {
        const char* code;
        const char* from;
        const char* to;
    };
    for (const Case& c : {Case{"sv_es", "sv", "es"}, Case{"du_en", "du", "en"},
                          Case{"zh-CN_zh-TW", "zh-CN", "zh-TW"}, Case{"ar_zh-CN", "ar", "zh-CN"},
                          Case{"zh-CN_es", "zh-CN", "es"}, Case{"es_zh-TW", "es", "zh-TW"}}) {
        auto codes = SplitPairCode(c.code);
        ASSERT_TRUE(codes) << c.code;
        EXPECT_EQ(codes->from, c.from) << c.code;
        EXPECT_EQ(codes->to, c.to) << c.code;
    }
    EXPECT_FALSE(SplitPairCode(""));
    EXPECT_FALSE(SplitPairCode("es_e"));
    EXPECT_EQ(UploadLanguageCode(7, true), "du");
    EXPECT_EQ(UploadLanguageCode(23, false), "sv");
    EXPECT_EQ(UploadLanguageCode(24, true), "es");
    EXPECT_EQ(UploadLanguageCode(-1, false), "en");
}

class UploadTest : public testing::Test {
protected:
    UploadTest() : uploader(LoopbackServices(server.BaseAddress(), "http://www.site.example:81"))
    {
        uploader.Hooks().caption = &captions;
        server.SetReply({200, "Result:OK"});
    }
    loopback::HttpServer server;
    CaptionRecorder captions;
    CUploader uploader;
    UploadAccount account{"ana", kPassword};
};

TEST_F(UploadTest, SingleUploadSendsSixEncodedFieldsWithItsAgentAndFreshCopy)
{
    // "&" and "=" would start or overwrite fields if they went out raw.
    const std::string original = "gato & perro=x&password_data=no \xC3\xB1";
    UploadResult r = UploadPair(uploader, "ar_zh-CN", original, "cat and dog", account);
    EXPECT_TRUE(r.sent && r.read && r.stored);

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& q = requests[0];
    EXPECT_EQ(q.method, "GET");
    EXPECT_EQ(q.path, "/upload_es.php");
    EXPECT_EQ(q.form.size(), 6u);
    EXPECT_EQ(Field(q.form, "texttotranslate"), original);
    EXPECT_EQ(Field(q.form, "translation"), "cat and dog");
    EXPECT_EQ(Field(q.form, "from"), "ar");
    EXPECT_EQ(Field(q.form, "to"), "zh-CN");
    EXPECT_EQ(Field(q.form, "user_name_data"), "ana");
    EXPECT_EQ(Field(q.form, "password_data"), kPassword);
    EXPECT_EQ(q.target.find(' '), std::string::npos);
    EXPECT_EQ(Field(q.headers, "User-Agent"), "Upload new translations");
    EXPECT_EQ(Field(q.headers, "Cache-Control"), "no-cache");

    auto seen = captions.Captions();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), "Uploading new translation...");
    EXPECT_EQ(seen.back(), "Talvero (www.site.example)");
}

TEST_F(UploadTest, NothingIsSentWithoutUserNameOrPassword)
{
    for (UploadAccount a : {UploadAccount{"", "pw"}, UploadAccount{"ana", ""}}) {
        UploadResult r = UploadPair(uploader, "es_en", "gato", "cat", a);
        EXPECT_FALSE(r.sent);
    }
    EXPECT_FALSE(UploadPair(uploader, "", "gato", "cat", account).sent);  // no pair selected
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(captions.Captions().empty());
}

// A server that fails, never answers or floods: the uploader's own limits end it, a plain
// failure, and the password in no caption or error text.
TEST_F(UploadTest, FailedRequestsEndInTimeAndNeverShowThePassword)
{
    HttpLimits quick = OnlineLimits();
    quick.connectTimeoutMs = 1000;
    // Past the default: a hang can only be ended first by the total limit set here, which tells
    // these limits from the defaults without a clock.
    quick.stallTimeoutMs = 60000;
    quick.totalTimeoutMs = 3000;
    uploader.Hooks().limits = quick;

    loopback::RawServer silent("", true);
    struct Case {
        const char* what;
        loopback::Reply reply;
        bool useSilent;
        const char* ending;  // how the error text begins; "": the server's own answer
    };
    const Case cases[] = {
        {"500", {500, "Internal error"}, false, ""},
        {"hang", {200, "", "text/plain", 0, false, true}, false, "Operation timed out"},
        {"20 MB", {200, std::string(20u << 20, 'x')}, false, "Reply larger than the allowed size"},
        {"no HTTP at all", {}, true, "Operation timed out"},
    };
    for (const Case& c : cases) {
        server.SetReply(c.reply);
        CUploader u(LoopbackServices(c.useSilent ? silent.BaseAddress() : server.BaseAddress(),
                                     "http://site.example"));
        CaptionRecorder seen;
        u.Hooks().caption = &seen;
        u.Hooks().limits = quick;
        UploadResult r = u.Send("gato", "cat", {"es", "en"}, account);
        EXPECT_TRUE(r.sent) << c.what;
        EXPECT_FALSE(r.stored) << c.what;
        if (*c.ending)
            EXPECT_EQ(r.error.rfind(c.ending, 0), 0u) << c.what << ": " << r.error;
        else
            EXPECT_EQ(r.status, 500u) << c.what;
        for (const std::string& text : seen.Captions()) {
            EXPECT_EQ(text.find("s3cr"), std::string::npos) << c.what << ": " << text;
            EXPECT_EQ(text.find("password_data"), std::string::npos) << c.what << ": " << text;
        }
        EXPECT_EQ(r.error.find("s3cr"), std::string::npos) << c.what << ": " << r.error;
        EXPECT_EQ(seen.Captions().back(), "Talvero (site.example)") << c.what;
    }
}

// --- Batch ---------------------------------------------------------------------------------------

// Answers the dialog from a script: each step may change the fields and picks the button.
struct Step {
    bool ok = true;  // false: Skip
    int action = UploadDialogFields::Upload;
    int from = -2;  // -2: leave the selection
    int to = -2;
    int reverse = -1;  // -1: leave the check box
    std::string editOriginal{};
};

class ScriptedDialog : public IUploadDialog {
public:
    explicit ScriptedDialog(std::deque<Step> steps) : steps(std::move(steps)) {}
    bool Run(UploadDialogFields& f) override
    {
        shown.push_back(f);
        Step s = steps.empty() ? Step{false} : steps.front();
        if (!steps.empty()) steps.pop_front();
        if (s.from != -2) f.fromIndex = s.from;
        if (s.to != -2) f.toIndex = s.to;
        if (s.reverse >= 0) f.reverse = s.reverse != 0;
        if (!s.editOriginal.empty()) f.originalText = s.editOriginal;
        f.action = s.action;
        return s.ok;
    }
    std::deque<Step> steps;
    std::vector<UploadDialogFields> shown;
};

class BatchTest : public UploadTest {
protected:
    BatchUploadReport Run(ScriptedDialog& dialog, const UploadAccount& a)
    {
        return RunBatchUpload(
            dir.File("pairs.txt"), state, dialog, uploader, a,
            [this](const std::string& t) { spoken.push_back(t); }, dir.Path().string());
    }
    TempDir dir;
    BatchUploadState state;
    std::vector<std::string> spoken;
};

TEST_F(BatchTest, SkipUploadWithReverseRepeatAndAbort)
{
    dir.Write("pairs.txt", "uno\none\r\ndos\ntwo\ntres\nthree\ncuatro\nfour\ncinco");
    state.uploadReverse = false;
    ScriptedDialog dialog({
        Step{false, 0, 22, 8},                              // uno: Skip, but Spanish/English stay
        Step{true, UploadDialogFields::Upload, -2, -2, 1},  // dos: Upload, reverse ticked
        Step{true, UploadDialogFields::Repeat, -2, -2, 0, "DOS?"},  // tres: Repeat (edit lost)
        Step{true, UploadDialogFields::Upload},                     // tres again
        Step{true, UploadDialogFields::Abort},                      // cuatro: Abort
    });
    BatchUploadReport report = Run(dialog, account);
    EXPECT_TRUE(report.aborted);
    ASSERT_EQ(dialog.shown.size(), 5u);
    EXPECT_EQ(dialog.shown[1].fromIndex, 22);  // carried over from the skipped pair
    EXPECT_EQ(dialog.shown[1].toIndex, 8);
    EXPECT_TRUE(dialog.shown[2].reverse);  // remembered from the pair before
    EXPECT_EQ(dialog.shown[3].originalText, "tres");
    EXPECT_FALSE(dialog.shown[3].reverse);
    EXPECT_EQ(dialog.shown[4].originalText, "cuatro");

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);  // dos and its reverse, the edited tres, tres
    EXPECT_EQ(Field(requests[0].form, "texttotranslate"), "dos");
    EXPECT_EQ(Field(requests[0].form, "from"), "es");
    EXPECT_EQ(Field(requests[0].form, "to"), "en");
    EXPECT_EQ(Field(requests[1].form, "texttotranslate"), "two");
    EXPECT_EQ(Field(requests[1].form, "translation"), "dos");
    EXPECT_EQ(Field(requests[1].form, "from"), "en");
    EXPECT_EQ(Field(requests[1].form, "to"), "es");
    EXPECT_EQ(Field(requests[2].form, "texttotranslate"), "DOS?");
    EXPECT_EQ(Field(requests[3].form, "texttotranslate"), "tres");

    EXPECT_EQ(dir.Read("originals.txt"), "dos\nDOS?\ntres\n");
    EXPECT_EQ(dir.Read("translations.txt"), "two\nthree\nthree\n");
    EXPECT_EQ(spoken, (std::vector<std::string>{"two", "three", "three"}));
    EXPECT_EQ(state.uploadFromIndex, 22);
    EXPECT_FALSE(state.uploadReverse);
}

TEST_F(BatchTest, WithoutCredentialsPairsAreRecordedButNotSent)
{
    dir.Write("pairs.txt", "uno\none\ndos");
    ScriptedDialog dialog({Step{}, Step{}});
    Run(dialog, UploadAccount{"", kPassword});
    EXPECT_TRUE(server.Requests().empty());
    ASSERT_EQ(dialog.shown.size(), 2u);
    EXPECT_EQ(dialog.shown[1].translatedText, "");  // odd last line
    EXPECT_EQ(dir.Read("originals.txt"), "uno\ndos\n");
    EXPECT_EQ(dir.Read("translations.txt"), "one\n\n");
}

TEST_F(BatchTest, AnUnreadablePairsFileEndsBeforeAnythingIsWritten)
{
    std::filesystem::create_directory(dir.File("pairs.txt"));
    ScriptedDialog dialog({});
    BatchUploadReport report = Run(dialog, account);
    EXPECT_FALSE(report.opened);
    EXPECT_TRUE(dialog.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("originals.txt")));
    EXPECT_EQ(state.lastPairsFile, dir.File("pairs.txt"));
}

}  // namespace

}  // namespace talvero
