#include <gtest/gtest.h>

#include <string>

#include "tests/speech/SpeechTestSupport.h"
#include "tests/support/CliRunner.h"

namespace talvero {

namespace {

TEST(CliSpeak, WritesTheChosenFormatAndReportsIt)
{
    TempDir dir;
    CliRun r = RunCli(dir.Path(),
                      "speak 'el perro come' --voice es --rate 3 --volume 80 "
                      "--format 5 --out dog.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    WavFile w = ReadWav(dir.File("dog.wav"));
    EXPECT_EQ(w.rate, 11025);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.subformat, SF_FORMAT_PCM_U8);
    EXPECT_GT(w.Seconds(), 0.5);
    EXPECT_GT(w.Rms(), 500);
    EXPECT_EQ(r.out.find("dog.wav: "), 0u);
    EXPECT_NE(r.out.find(" s, 11025 Hz, 8 bit, stereo\n"), std::string::npos) << r.out;

    r = RunCli(dir.Path(), "voices");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\nSpanish (Spain)\tes\n"), std::string::npos);
}

TEST(CliSpeak, BadInputGetsAClearError)
{
    TempDir dir;
    struct Case {
        std::string args, message;
        int status;
    } cases[] = {
        {"hi --format 36", "--format takes a row from 0 to 35", 2},
        {"hi --rate -11", "--rate takes a whole number from -10 to 10", 2},
        {"hi --voice nonesuch", "no voice named 'nonesuch'", 2},
        {"\"$(printf '\\377\\376')\"", "the text is not valid UTF-8", 2},
        // More text than an hour and a half of speech is refused at once.
        {std::string(120000, 'a'), "speak it in parts", 2},
        {"hi --out /nonexistent/dir/x.wav", "cannot write the WAV file /nonexistent/dir/x.wav", 1},
    };
    for (const Case& c : cases) {
        bool out = c.args.find("--out") != std::string::npos;
        CliRun r = RunCli(dir.Path(), "speak " + c.args + (out ? "" : " --out bad.wav"));
        EXPECT_EQ(r.status, c.status) << c.args.substr(0, 40);
        EXPECT_NE(r.err.find(c.message), std::string::npos)
            << c.args.substr(0, 40) << ": " << r.err;
    }
}

}  // namespace

}  // namespace talvero
