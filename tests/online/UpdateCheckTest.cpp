// The update page rule and the update worker against a loopback site.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "online/UpdateCheck.h"
#include "tests/online/OnlineTestSupport.h"
#include "tests/support/LoopbackServer.h"

namespace talvero {

namespace {

TEST(UpdatePage, VersionFollowsTheMarkerAfterOneSeparator)
{
    struct Case {
        const char* page;
        long version;
        bool marker;
    };
    const Case cases[] = {
        {"<p>Current Version Update 100001</p>", 100001, true},
        {"Current Version Update 100000", 100000, true},
        {"Current Version Update:099999", 99999, true},
        {"Current Version Update100001", 1, true},  // no separator: the first digit is lost
        {"Current Version Update 1234567", 123456, true},
        {"Current Version Update -12", -12, true},
        {"Current Version Update x1", 0, true},
        {"page ends with Current Version Update", 0, true},
        {"Current Version Update ", 0, true},
        {"Current Version Update 5 ... Current Version Update 200000", 5, true},  // the first
        {"current version update 200000", 0, false},
        {"", 0, false},
    };
    for (const Case& c : cases) {
        bool found = false;
        EXPECT_EQ(VersionOnUpdatePage(c.page, &found), c.version) << c.page;
        EXPECT_EQ(found, c.marker) << c.page;
    }
}

class Host : public IUpdateCheckHost {
public:
    void SetCaption(const std::string& caption) override { captions.SetStatusText(caption); }
    void AnnounceNewVersion(const std::string& message) override
    {
        captions.SetStatusText("ANNOUNCE " + message);
    }
    CaptionRecorder captions;
};

class UpdateWorker : public testing::Test {
protected:
    Services SiteServices()
    {
        return LoopbackServices("http://upload.example", site.BaseAddress());
    }
    std::vector<std::string> RunToEnd(const std::string& page, int status = 200)
    {
        site.SetReply({status, page});
        CUpdateCheck check;
        check.Start(SiteServices(), host);
        for (int i = 0; i < 500 && !check.Finished(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(check.Finished());
        return host.captions.Captions();
    }
    loopback::HttpServer site;
    Host host;
};

TEST_F(UpdateWorker, AnnouncesANewerVersionThenShowsTheUsualTitle)
{
    auto seen = RunToEnd("Current Version Update 100001");
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), "Checking for updates...");
    EXPECT_EQ(seen[seen.size() - 2],
              "ANNOUNCE There is available a new version of the program. "
              "Please, visit " +
                  site.BaseAddress() + " and download it.");
    EXPECT_EQ(seen.back(), "Talvero (127.0.0.1)");
    auto requests = site.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/autoupdate.html");
    EXPECT_EQ(loopback::Field(requests[0].headers, "User-Agent"), "Download new version");
}

TEST_F(UpdateWorker, NoAnnouncementForAnEqualVersionOrAFailedPage)
{
    for (auto [page, status] : {std::pair{"Current Version Update 100000", 200},
                                std::pair{"Current Version Update 200000", 404}}) {
        Host fresh;
        site.SetReply({status, page});
        CUpdateCheck check;
        check.Start(SiteServices(), fresh);
        for (int i = 0; i < 500 && !check.Finished(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        auto seen = fresh.captions.Captions();
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back(), "Talvero (127.0.0.1)");
        for (const std::string& c : seen)
            EXPECT_NE(c.rfind("ANNOUNCE", 0), 0u) << page;
    }
}

// Quitting while the site never answers: the check ends without waiting for an answer or a
// time-out (either would end in the usual title) and its thread is gone, so nothing more can come.
TEST_F(UpdateWorker, CancelStopsAStalledCheckPromptly)
{
    site.SetReply({200, "", "text/html", 0, false, true});
    auto check = std::make_unique<CUpdateCheck>();
    check->Start(SiteServices(), host);
    while (site.Requests().empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    check.reset();  // what the window does when it closes
    for (const std::string& c : host.captions.Captions())
        EXPECT_NE(c, "Talvero (127.0.0.1)");
}

}  // namespace

}  // namespace talvero
