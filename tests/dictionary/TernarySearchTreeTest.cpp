#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ReferenceTree.h"
#include "dictionary/EntryTable.h"
#include "dictionary/TernarySearchTree.h"

namespace talvero {

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// How the tree gets its entries: all at load, one by one, or loaded and then added to.
enum class Fill { kBuild, kInsert, kBuildThenInsert };

class TreeFixture {
public:
    TreeFixture(const Pairs& pairs, Fill fill) : tree(table)
    {
        const size_t loaded = fill == Fill::kInsert  ? 0
                              : fill == Fill::kBuild ? pairs.size()
                                                     : pairs.size() / 2;
        for (size_t i = 0; i < loaded; ++i)
            table.Append(pairs[i].first, pairs[i].second);
        tree.Build();
        for (size_t i = loaded; i < pairs.size(); ++i) {
            uint32_t e = static_cast<uint32_t>(table.Append(pairs[i].first, pairs[i].second));
            tree.Insert(e);
        }
    }

    // The translation found for `text`; "<prefix>" when it only begins stored originals,
    // "<none>" when it is not in the tree.
    std::string Lookup(const std::string& text) const
    {
        auto pos = tree.Find(text);
        // The whole-phrase index answers exactly as the tree.
        EXPECT_EQ(tree.FindEntry(text), pos ? pos->entry : -1) << text;
        if (!pos) return "<none>";
        if (!pos->HasEntry()) return "<prefix>";
        return std::string(table.Translation(static_cast<uint32_t>(pos->entry)));
    }

    std::vector<std::string> Near(const std::string& text)
    {
        tree.nearList.clear();
        tree.CollectNear(text);
        return tree.nearList.Strings();
    }

    EntryTable table;
    CTernarySearchTree tree;
};

class TreeTest : public ::testing::TestWithParam<Fill> {};

TEST_P(TreeTest, PrefixesAndLongerPhrasesInEitherOrder)
{
    for (const Pairs& pairs :
         {Pairs{{"abc", "1"}, {"ab", "2"}}, Pairs{{"ab", "2"}, {"abc", "1"}}}) {
        TreeFixture t(pairs, GetParam());
        EXPECT_EQ(t.Lookup("abc"), "1");
        EXPECT_EQ(t.Lookup("ab"), "2");
        EXPECT_EQ(t.Lookup("a"), "<prefix>");
        EXPECT_EQ(t.Lookup("abcd"), "<none>");
    }
}

TEST_P(TreeTest, LaterEntryOfTheSameOriginalWins)
{
    TreeFixture t({{"perro", "dog"}, {"gato", "cat"}, {"perro", "hound"}, {"x", "1"}, {"x", "2"}},
                  GetParam());
    EXPECT_EQ(t.Lookup("perro"), "hound");
    EXPECT_EQ(t.Lookup("x"), "2");
    EXPECT_EQ(t.Near("perro"), std::vector<std::string>{"perro"});
}

TEST_P(TreeTest, FindAnswersEachCallAfresh)
{
    TreeFixture t({{"abc", "1"}, {"Hello", "2"}, {"hello", "3"}}, GetParam());
    EXPECT_EQ(t.Lookup("ab"), "<prefix>");
    EXPECT_EQ(t.Lookup("abx"), "<none>");
    EXPECT_EQ(t.Lookup("abc"), "1");
    EXPECT_EQ(t.Lookup("Hello"), "2");
    EXPECT_EQ(t.Lookup("hello"), "3");
    EXPECT_EQ(t.Lookup("HELLO"), "<none>");
    EXPECT_FALSE(t.tree.Find("").has_value());
}

TEST_P(TreeTest, EmptyOriginalKeepsItsIndexButIsNotIndexed)
{
    TreeFixture t({{"", "nothing"}, {"casa", "house"}}, GetParam());
    EXPECT_EQ(t.Lookup("casa"), "house");
    auto pos = t.tree.Find("casa");
    ASSERT_TRUE(pos.has_value());
    EXPECT_EQ(pos->entry, 1);
    EXPECT_TRUE(t.Near("c") == std::vector<std::string>{"casa"});
}

TEST_P(TreeTest, NearSearchOrder)
{
    TreeFixture t({{"ac", ""}, {"ab", ""}, {"abd", ""}, {"abc", ""}, {"b", ""}}, GetParam());
    EXPECT_EQ(t.Near("a"), (std::vector<std::string>{"abc", "abd", "ab", "ac"}));
    // Called twice without clearing, the same originals are appended twice.
    t.tree.nearList.clear();
    t.tree.CollectNear("ab");
    t.tree.CollectNear("ab");
    EXPECT_EQ(t.tree.nearList.Strings(),
              (std::vector<std::string>{"abc", "abd", "ab", "abc", "abd", "ab"}));
    EXPECT_TRUE(t.Near("abcd").empty());
    EXPECT_TRUE(t.Near("z").empty());
}

TEST_P(TreeTest, BytesAboveSevenBitsOrderFirst)
{
    // 0xE9 is negative as a signed byte, so it sorts before 'A' (0x41) and before 0x7F.
    TreeFixture t({{"caf\x7F", ""}, {"cafA", ""}, {"caf\xE9", ""}, {"caf\x80x", ""}, {"caf", ""}},
                  GetParam());
    EXPECT_EQ(t.Near("caf"),
              (std::vector<std::string>{"caf\x80x", "caf\xE9", "cafA", "caf\x7F", "caf"}));
}

TEST_P(TreeTest, TextEndingInsideASharedTail)
{
    TreeFixture t({{"international", "1"}, {"internet", "2"}}, GetParam());
    EXPECT_EQ(t.Lookup("internationa"), "<prefix>");
    EXPECT_EQ(t.Lookup("internationale"), "<none>");
    EXPECT_EQ(t.Lookup("internat"), "<prefix>");
    EXPECT_EQ(t.Near("internati"), std::vector<std::string>{"international"});
    EXPECT_EQ(t.Near("inter"), (std::vector<std::string>{"international", "internet"}));
}

// Random dictionaries against the plain tree: same Find answers, same near lists in order.
TEST_P(TreeTest, AgreesWithThePlainTree)
{
    std::mt19937 rng(1234 + static_cast<int>(GetParam()));
    std::string alphabet = std::string("ab \xE9\x80\xFF") + "A\x7F" + "c";
    auto randomPhrase = [&](size_t maxLen) {
        std::string s;
        size_t len = 1 + rng() % maxLen;
        for (size_t i = 0; i < len; ++i)
            s += alphabet[rng() % alphabet.size()];
        return s;
    };
    // Later rounds have long phrases over few characters: long shared beginnings.
    for (int round = 0; round < 30; ++round) {
        if (round == 20) alphabet = "ab\xE9";
        Pairs pairs;
        std::vector<std::string> probes;
        const int count = 1 + static_cast<int>(rng() % 400);
        for (int i = 0; i < count; ++i) {
            std::string original;
            const unsigned kind = rng() % 10;
            if (kind < 2 && !pairs.empty()) {
                original = pairs[rng() % pairs.size()].first;  // duplicate
            } else if (kind < 4 && !pairs.empty()) {
                const std::string& other = pairs[rng() % pairs.size()].first;
                original = other.substr(0, 1 + rng() % other.size());  // a prefix
            } else if (kind < 5 && !pairs.empty()) {
                original = pairs[rng() % pairs.size()].first + randomPhrase(3);  // longer
            } else {
                original = randomPhrase(round < 10 ? 4 : round < 20 ? 12 : 40);
            }
            pairs.emplace_back(original, "t" + std::to_string(i));
        }
        for (const auto& p : pairs) {
            for (size_t len = 0; len <= p.first.size() + 1; ++len) {
                probes.push_back(p.first.substr(0, len));
            }
            probes.push_back(p.first + alphabet[rng() % alphabet.size()]);
        }
        for (int i = 0; i < 200; ++i)
            probes.push_back(randomPhrase(5));

        ReferenceTree reference;
        for (const auto& p : pairs)
            reference.Insert(p.first, p.second);
        TreeFixture t(pairs, GetParam());
        for (const std::string& probe : probes) {
            ReferenceTree::Found found;
            std::string expected = !reference.Find(probe, found) ? "<none>"
                                   : found.hasEntry              ? found.translation
                                                                 : "<prefix>";
            ASSERT_EQ(t.Lookup(probe), expected) << "round " << round;
            std::vector<std::string> expectedNear;
            reference.CollectNear(probe, expectedNear);
            ASSERT_EQ(t.Near(probe), expectedNear) << "round " << round;
        }
    }
}

// Additions far beyond the room a load leaves: the node arena and the added pairs grow by moving
// their pages, and every entry must still be where its index says.
TEST(TreeGrowth, ManyAdditionsAfterALoadKeepEveryEntry)
{
    auto original = [](int i) { return "w" + std::to_string(i * 7919 % 60000) + " x"; };
    EntryTable table;
    CTernarySearchTree tree(table);
    for (int i = 0; i < 1000; ++i)
        table.Append(original(i), std::to_string(i));
    tree.Build();
    const size_t loadedNodes = tree.NodeCount();
    for (int i = 1000; i < 60000; ++i)
        tree.Insert(static_cast<uint32_t>(table.Append(original(i), std::to_string(i))));
    ASSERT_GT(tree.NodeCount(), 4 * loadedNodes + 8192);
    for (int i = 0; i < 60000; i += 97) {
        const int32_t entry = tree.FindEntry(original(i));
        ASSERT_GE(entry, 0);
        ASSERT_EQ(table.Translation(static_cast<uint32_t>(entry)), std::to_string(i));
    }
    tree.CollectNear("w1234");
    EXPECT_EQ(tree.nearList.size(), 11u);  // w1234 x, w12340 x ... w12349 x
    tree.nearList.clear();
    tree.CollectNear("w");
    EXPECT_EQ(tree.nearList.size(), 60000u);
}

INSTANTIATE_TEST_SUITE_P(Fills, TreeTest,
                         ::testing::Values(Fill::kBuild, Fill::kInsert, Fill::kBuildThenInsert));

}  // namespace

}  // namespace talvero
