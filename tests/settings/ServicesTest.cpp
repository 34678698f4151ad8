#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "settings/Services.h"
#include "tests/support/TempDir.h"

namespace talvero {

TEST(Services, DefaultsWhenTheFileIsMissing)
{
    TempDir dir;
    Services s = LoadServices(dir.File("TalveroServices.txt"));
    Services d;
    EXPECT_EQ(s.googleFormAddress, d.googleFormAddress);
    EXPECT_FALSE(s.useProxy);
    EXPECT_EQ(s.proxyPort, 0);
}

TEST(Services, KeysOverrideTheirDefaultOnly)
{
    TempDir dir;
    dir.Write("TalveroServices.txt",
              "GOOGLE FORM ADDRESS\r\nhttp://127.0.0.1:8080/\r\n"
              "junk\nBABELFISH FORM ADDRESS\nHTTPS://fish.example.org\n"
              "USE PROXY\nYES\nPROXY SERVER\nproxy.local\nPROXY PORT\n3128");
    Services s = LoadServices(dir.File("TalveroServices.txt"));
    EXPECT_EQ(s.googleFormAddress, "http://127.0.0.1:8080");
    EXPECT_EQ(s.babelfishFormAddress, "https://fish.example.org");
    EXPECT_EQ(s.freeTranslationFormAddress, Services().freeTranslationFormAddress);
    EXPECT_TRUE(s.useProxy);
    EXPECT_EQ(s.proxyServer, "proxy.local");
    EXPECT_EQ(s.proxyPort, 3128);
}

TEST(Services, MalformedValuesKeepTheDefaults)
{
    Services s;
    ApplyServicesText(s,
                      "GOOGLE FORM ADDRESS\nfile:///etc/passwd\n"
                      "UPLOAD SERVER ADDRESS\nhttp://host/path\n"
                      "UPDATE SITE ADDRESS\nhttp://\n"
                      "PROXY PORT\n70000\nUSE PROXY\nyes\n"
                      "FREETRANSLATION FORM ADDRESS");
    Services d;
    EXPECT_EQ(s.googleFormAddress, d.googleFormAddress);
    EXPECT_EQ(s.uploadServerAddress, d.uploadServerAddress);
    EXPECT_EQ(s.updateSiteAddress, d.updateSiteAddress);
    EXPECT_EQ(s.freeTranslationFormAddress, d.freeTranslationFormAddress);
    EXPECT_EQ(s.proxyPort, 0);
    EXPECT_FALSE(s.useProxy);

    std::string binary(1 << 20, '\0');
    binary += "\nPROXY PORT\n8080";
    ApplyServicesText(s, binary);
    EXPECT_EQ(s.proxyPort, 8080);
}

TEST(Services, IgnoredValuesAreNamed)
{
    Services s;
    ApplyServicesText(s,
                      "GOOGLE FORM ADDRESS\nftp://x\nBABELFISH FORM ADDRESS\nHTTP://ok:81/\n"
                      "PROXY PORT\n-1\nCA FILE\n/nonexistent/ca.pem");
    ASSERT_EQ(s.problems.size(), 3u);
    EXPECT_NE(s.problems[0].find("GOOGLE FORM ADDRESS \"ftp://x\""), std::string::npos);
    EXPECT_NE(s.problems[1].find("PROXY PORT"), std::string::npos);
    EXPECT_NE(s.problems[2].find("CA FILE \"/nonexistent/ca.pem\""), std::string::npos);
    EXPECT_EQ(s.caFile, "");  // the system's authorities stay
    EXPECT_EQ(s.babelfishFormAddress, "http://ok:81");
}

TEST(Services, UnicodeFilesAreReadAndOversizedOnesRefusedWithAProblem)
{
    TempDir dir;
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("GOOGLE FORM ADDRESS\r\nhttp://127.0.0.1:9\r\n"))
        utf16 += std::string(1, c) + '\0';
    dir.Write("TalveroServices.txt", utf16);
    Services s = LoadServices(dir.File("TalveroServices.txt"));
    EXPECT_EQ(s.googleFormAddress, "http://127.0.0.1:9");
    EXPECT_TRUE(s.problems.empty());

    const std::string path = dir.File("TalveroServices.txt");
    ASSERT_EQ(truncate(path.c_str(), 100 << 20), 0);
    s = LoadServices(path);
    EXPECT_EQ(s.googleFormAddress, Services().googleFormAddress);
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_NE(s.problems[0].find("larger than 1 MB"), std::string::npos) << s.problems[0];
    EXPECT_EQ(std::filesystem::file_size(path), 100u << 20);
}

}  // namespace talvero
