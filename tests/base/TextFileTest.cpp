#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/TextFile.h"
#include "tests/support/TempDir.h"

namespace talvero {

TEST(TextFile, SplitLinesTakesLfAndCrLfAlike)
{
    using V = std::vector<std::string_view>;
    EXPECT_EQ(SplitLines("a\nb\r\nc"), (V{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\n"), (V{"a"}));
    EXPECT_EQ(SplitLines("a\n\nb\n"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitLines(""), V{});
    EXPECT_EQ(SplitLines("\r\n"), (V{""}));
    EXPECT_EQ(SplitLines("a\rb"), (V{"a\rb"})) << "a lone CR is not a line end";
}

TEST(TextFile, AtomicWriteReplacesAndKeepsPermissions)
{
    TempDir dir;
    std::string path = dir.File("f.txt");
    ASSERT_TRUE(AtomicWriteFile(path, "one"));
    EXPECT_EQ(dir.Read("f.txt"), "one");
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(AtomicWriteFile(path, "two"));
    EXPECT_EQ(dir.Read("f.txt"), "two");
    struct stat st {};
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_FALSE(AtomicWriteFile(dir.Path().string(), "x")) << "never replaces a directory";
}

TEST(TextFile, AtomicWriteThroughASymbolicLinkReplacesTheTarget)
{
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "real");
    dir.Write("real/f.txt", "old");
    std::filesystem::create_symlink(dir.Path() / "real/f.txt", dir.Path() / "link.txt");
    ASSERT_TRUE(AtomicWriteFile(dir.File("link.txt"), "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "link.txt"));
    EXPECT_EQ(dir.Read("real/f.txt"), "new");
}

}  // namespace talvero
