#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/speech/SpeechTestSupport.h"

namespace {

struct Result {
    int status;
    std::string out, err;
};

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Result RunCli(const std::string& args)
{
    std::string out = TempPath(".out"), err = TempPath(".err");
    int rc = std::system(("'" TALVERO_CLI "' " + args + " >" + out + " 2>" + err).c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, Slurp(out), Slurp(err)};
}

TEST(CliSpeak, WritesTheChosenFormatAndReportsIt)
{
    std::string wav = TempPath("cli.wav");
    Result r =
        RunCli("speak 'el perro come' --voice es --rate 3 --volume 80 --format 5 --out " + wav);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    WavFile w = ReadWav(wav);
    EXPECT_EQ(w.rate, 11025);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.subformat, SF_FORMAT_PCM_U8);
    EXPECT_GT(w.Seconds(), 0.5);
    EXPECT_GT(w.Rms(), 500);
    EXPECT_EQ(r.out.find(wav + ": "), 0u);
    EXPECT_NE(r.out.find(" s, 11025 Hz, 8 bit, stereo\n"), std::string::npos) << r.out;

    r = RunCli("voices");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\nSpanish (Spain)\tes\n"), std::string::npos);
}

TEST(CliSpeak, BadInputGetsAClearErrorAndNoFile)
{
    struct Case {
        std::string args, message;
        int status;
    } cases[] = {
        {"hi --format 36", "--format takes a row from 0 to 35", 2},
        {"hi --rate -11", "--rate takes a whole number from -10 to 10", 2},
        {"hi --voice nonesuch", "no voice named 'nonesuch'", 2},
        {"\"$(printf '\\377\\376')\"", "the text is not valid UTF-8", 2},
        {"hi --out /nonexistent/dir/x.wav", "cannot write the WAV file /nonexistent/dir/x.wav", 1},
    };
    for (const Case& c : cases) {
        std::string out =
            c.args.find("--out") == std::string::npos ? " --out " + TempPath("bad.wav") : "";
        Result r = RunCli("speak " + c.args + out);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    }
    // A megabyte of text is refused at once rather than spoken for hours.
    std::ofstream(TempPath("big.txt")) << std::string(1 << 20, 'a');
    Result r = RunCli("speak - --out " + TempPath("big.wav") + " <" + TempPath("big.txt"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("speak it in parts"), std::string::npos);
}

}  // namespace
