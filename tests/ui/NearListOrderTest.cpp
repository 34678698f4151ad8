#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/listbox.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/support/WaitPumping.h"
#include "ui/ListSpeed.h"

namespace talvero {

namespace {

// Filled in one step, a list shows what a sorted list box shows after appending the same items
// one by one: case and accents folded as the toolkit folds them, and among items that fold to
// the same key the later one first.
TEST(NearListOrder, SameAsASortedListBoxFilledOneByOne)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "order");
    auto* plain = new wxListBox(frame, wxID_ANY, {}, {}, 0, nullptr, wxLB_SINGLE | wxLB_SORT);
    auto* fast = new wxListBox(frame, wxID_ANY, {}, {}, 0, nullptr, wxLB_SINGLE | wxLB_SORT);
    PrepareSortedList(fast);
    const char* words[] = {"haus", "Haus", "HAUS", "Straße", "strasse", "\xC3\xA9", "E",
                           "e",    "a b",  "a  b", "ab",     "a-b",     "Ärger",    "ärger",
                           "x1",   "x01",  "ß",    "ss",     "1",       "-"};
    std::mt19937 rng(5);
    std::vector<wxString> items;
    for (int i = 0; i < 600; ++i) {
        std::string s = words[rng() % std::size(words)];
        if (rng() % 3 == 0) s += std::string(" ") + words[rng() % std::size(words)];
        const wxString item = wxString::FromUTF8(s);
        if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(item);
    }
    for (const wxString& item : items)
        plain->Append(item);
    // Filled a few items per turn of the event loop, and started again half-way with another
    // list, it ends as the same list.
    auto* stepped = new wxListBox(frame, wxID_ANY, {}, {}, 0, nullptr, wxLB_SINGLE | wxLB_SORT);
    PrepareSortedList(stepped);
    CSortedListFiller filler(
        stepped, [](const std::string& s) { return wxString::FromUTF8(s); }, 50);
    std::vector<std::string> phrases;
    for (const wxString& item : items)
        phrases.push_back(item.utf8_string());
    filler.Fill({"stale", "older"});
    filler.Fill(std::vector<std::string>(200, "half-way"));
    while (filler.Busy() && stepped->GetCount() == 0)
        WaitPumping(1);
    filler.Fill(phrases);
    while (filler.Busy())
        WaitPumping(1);
    SetSortedItems(fast, items);
    ASSERT_EQ(stepped->GetCount(), plain->GetCount());
    for (unsigned i = 0; i < plain->GetCount(); ++i)
        ASSERT_EQ(stepped->GetString(i), plain->GetString(i)) << i;
    ASSERT_EQ(fast->GetCount(), plain->GetCount());
    for (unsigned i = 0; i < plain->GetCount(); ++i)
        ASSERT_EQ(fast->GetString(i), plain->GetString(i)) << i;
    SetSortedItems(fast, {});
    EXPECT_EQ(fast->GetCount(), 0u);
    frame->Destroy();
}

}  // namespace

}  // namespace talvero
