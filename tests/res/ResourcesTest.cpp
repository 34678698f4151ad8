#include "res/Templates.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace talvero {

namespace {

TEST(Resources, MainWindowTableHoldsEveryControlOnceWithItsText)
{
    const res::Dialog& d = res::MainDialog();
    EXPECT_STREQ(d.caption, "Talvero");
    EXPECT_EQ(d.widthDu, 577);
    EXPECT_EQ(d.heightDu, 373);
    std::set<int> ids;
    for (const res::Control& c : d.controls)
        if (c.id >= 0) {
            EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id " << c.id;
        }
    // Every id that the window's workflow addresses.
    for (int id :
         {1,    2,    1000, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012,
          1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026,
          1027, 1028, 1032, 1034, 1035, 1036, 1038, 1039, 1048, 1050, 1051, 1052, 1053, 1054,
          1055, 1056, 1057, 1058, 1059, 1063, 1064, 1065, 1066, 1068, 1069, 1070, 1073})
        EXPECT_TRUE(ids.count(id)) << "missing " << id;
    EXPECT_STREQ(res::FindControl(d, 1032)->text, "Translate");
    EXPECT_EQ(res::FindControl(d, 1032)->kind, res::Kind::DefaultButton);
    EXPECT_STREQ(res::FindControl(d, 1021)->text, "Freetranslation translation");
    EXPECT_TRUE(res::FindControl(d, 2)->hidden);
    EXPECT_TRUE(res::FindControl(d, 1011)->hidden);
    EXPECT_TRUE(res::FindControl(d, 1013)->hidden);
    EXPECT_FALSE(res::FindControl(d, 1)->hidden);
}

TEST(Resources, EveryUnlabelledControlHasAnAccessibleName)
{
    for (const res::Dialog* d :
         {&res::MainDialog(), &res::DelayDialog(), &res::AboutDialog(), &res::OptionsDialog(),
          &res::ConfirmationDialog(), &res::VoiceSelectionDialog()})
        for (const res::Control& c : d->controls) {
            bool labelled = c.kind == res::Kind::Button || c.kind == res::Kind::DefaultButton ||
                            c.kind == res::Kind::Check;
            if (c.id >= 0 && !labelled) {
                EXPECT_NE(c.name, nullptr) << d->id << ": " << c.id;
            }
        }
}

TEST(Resources, StringsAndPatterns)
{
    EXPECT_STREQ(res::LoadString(101), "&About Talvero...");
    EXPECT_STREQ(res::LoadString(999), "");
    ASSERT_EQ(res::PunctuationPatterns().size(), 7u);
    EXPECT_STREQ(res::PunctuationPatterns()[1], "\xC2\xBFText?");
}

}  // namespace

}  // namespace talvero
