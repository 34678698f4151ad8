#include "settings/FieldValidation.h"

#include <cctype>
#include <string>

#include <gtest/gtest.h>

namespace talvero {

namespace {

struct FieldCase {
    const char* text;
    bool ok;
    int value;
    const char* message;
};

class DelayFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(DelayFieldTest, ChecksLikeTheDelayDialog)
{
    const FieldCase& c = GetParam();
    IntegerField f = CheckIntegerField(c.text, 0, 100000);
    EXPECT_EQ(f.ok, c.ok) << c.text;
    if (c.ok) {
        EXPECT_EQ(f.value, c.value) << c.text;
    }
    EXPECT_EQ(f.message, c.message) << c.text;
}

const char* const kInt = "Please enter an integer.";
const char* const kRange = "Please enter an integer between 0 and 100000.";

INSTANTIATE_TEST_SUITE_P(
    Cases, DelayFieldTest,
    ::testing::Values(FieldCase{"1000", true, 1000, ""}, FieldCase{"0", true, 0, ""},
                      FieldCase{"100000", true, 100000, ""}, FieldCase{" 42 ", true, 42, ""},
                      FieldCase{"+7", true, 7, ""}, FieldCase{"100001", false, 0, kRange},
                      FieldCase{"-1", false, 0, kRange}, FieldCase{"", false, 0, kInt},
                      FieldCase{"abc", false, 0, kInt}, FieldCase{"12abc", false, 0, kInt},
                      FieldCase{"1.5", false, 0, kInt}, FieldCase{"+-3", false, 0, kInt},
                      FieldCase{"99999999999999999999", false, 0, kInt},
                      FieldCase{"2147483648", false, 0, kInt}),
    // Named after the typed text, spelled out where it holds more than letters and digits.
    [](const ::testing::TestParamInfo<FieldCase>& info) {
        std::string name;
        for (const char* p = info.param.text; *p; ++p) {
            if (std::isalnum(static_cast<unsigned char>(*p)))
                name += *p;
            else if (*p == '+')
                name += "plus";
            else if (*p == '-')
                name += "minus";
            else if (*p == '.')
                name += "dot";
            else
                name += '_';
        }
        return name.empty() ? std::string("empty") : name;
    });

TEST(TrimWhite, RemovesTheCodePagesSpaceCharactersAtBothEnds)
{
    EXPECT_EQ(TrimWhite(" \t\r\n\v\fhola mundo \n"), "hola mundo");
    EXPECT_EQ(TrimWhite(" \t "), "");
    EXPECT_EQ(TrimWhite("\xC2\xA0x"), "\xC2\xA0x");  // bytes above 0x7F are not white space
}

}  // namespace

}  // namespace talvero
