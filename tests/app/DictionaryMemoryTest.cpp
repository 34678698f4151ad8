// A dictionary larger than the memory the program may use is reported with its name and the
// program goes on, whether it is loaded in the background at start-up or when the pair changes.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/WindowServices.h"
#include "dictionary/LocalDictionary.h"
#include "tests/support/TempDir.h"

namespace talvero {

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // their shadow memory cannot live under an address limit
#else
constexpr bool kSanitized = false;
#endif

TEST(DictionaryMemory, AFileLargerThanMemoryIsNamedAndTheProgramGoesOn)
{
    if (kSanitized) GTEST_SKIP() << "address-space limit under a sanitizer";
    TempDir temp;
    const std::string big = (temp.Path() / "localdictionary_es_en.txt").string();
    const std::string personal = (temp.Path() / "personaldictionary_es_en.txt").string();
    {
        std::ofstream(personal) << "gato\ncat";
        std::ofstream out(big);
        out << "perro\ndog\n";
    }
    std::filesystem::resize_file(big, 1536ull << 20);  // sparse: takes no room on the disk

    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        rlimit limit{256ull << 20, 256ull << 20};
        setrlimit(RLIMIT_AS, &limit);
        std::string report;
        auto dictionary = MakeLocalDictionary();
        std::vector<std::string> later;
        dictionary->LoadInBackground(big, personal,
                                     [&](std::vector<std::string> m) { later = std::move(m); });
        dictionary->Find("x");  // waits for the load
        for (const std::string& m : later)
            report += "background: " + m + "\n";
        for (const std::string& m : dictionary->Load(big, personal))
            report += "switch: " + m + "\n";
        if (!dictionary->Find("gato")) report += "lookup after: none\n";
        (void)!write(pipeFds[1], report.data(), report.size());
        _exit(0);
    }
    close(pipeFds[1]);
    std::string report;
    char buf[512];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;)
        report.append(buf, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the load ended the program: " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string message = NotEnoughMemoryMessage(big);
    EXPECT_EQ(report, "background: " + message + "\nswitch: " + message + "\nlookup after: none\n");
}

// The window's start: the load runs on a thread of its own (also under ThreadSanitizer, where the
// test above is skipped); the calls after it see its entries, and a file that cannot be opened is
// said at once and once only.
TEST(DictionaryMemory, ABackgroundLoadIsWhatTheCallsAfterItSee)
{
    TempDir temp;
    const std::string local = (temp.Path() / "localdictionary_es_en.txt").string();
    const std::string missing = (temp.Path() / "personaldictionary_es_en.txt").string();
    std::ofstream(local) << "perro\ndog\ngato\ncat";
    auto dictionary = MakeLocalDictionary();
    std::vector<std::string> later;
    EXPECT_EQ(dictionary->LoadInBackground(local, missing,
                                           [&](std::vector<std::string> m) { later = m; }),
              std::vector<std::string>{CouldNotOpenMessage(missing)});
    EXPECT_EQ(dictionary->Find("perro"), "dog");
    EXPECT_TRUE(later.empty());
    // A second load at once after the first waits for it; the engine is the loaded one.
    EXPECT_TRUE(dictionary->LoadInBackground(local, local, nullptr).empty());
    ASSERT_NE(dictionary->Engine(), nullptr);
    EXPECT_EQ(dictionary->Find("gato"), "cat");
}

}  // namespace

}  // namespace talvero
