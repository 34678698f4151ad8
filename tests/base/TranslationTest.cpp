#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "base/Translation.h"

// glibc's count of catalogue changes: raising it drops the lookups it keeps, which a change of
// LANGUAGE inside the process would otherwise not reach.
extern "C" int _nl_msg_cat_cntr;

namespace talvero {

namespace {

// Sets (or, with nullptr, removes) an environment variable for one test.
class EnvScope {
public:
    EnvScope(const char* name, const char* value) : name(name)
    {
        if (const char* old = std::getenv(name)) saved = old, had = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
        ++_nl_msg_cat_cntr;
    }
    ~EnvScope()
    {
        if (had)
            setenv(name, saved.c_str(), 1);
        else
            unsetenv(name);
        ++_nl_msg_cat_cntr;
    }

private:
    const char* name;
    std::string saved;
    bool had = false;
};

// The process's locale for one test: gettext honours LANGUAGE only outside the C locale.
class LocaleScope {
public:
    explicit LocaleScope(const char* locale) : saved(std::setlocale(LC_ALL, nullptr))
    {
        std::setlocale(LC_ALL, locale);
    }
    ~LocaleScope() { std::setlocale(LC_ALL, saved.c_str()); }

private:
    std::string saved;
};

}  // namespace

TEST(Translation, CataloguesAreFoundByOverrideThenBuildTreeThenInstallation)
{
    EnvScope none("TALVERO_LOCALE_DIR", nullptr);
    EXPECT_EQ(TranslationsDirectory("/usr/bin/talvero-cli"), TALVERO_INSTALL_LOCALE_DIR);
    EXPECT_EQ(TranslationsDirectory(std::string(TALVERO_BUILD_DIR) + "/app/talvero-cli"),
              TALVERO_BUILD_LOCALE_DIR);
    // A neighbour whose name merely begins like the build directory is not inside it.
    EXPECT_EQ(TranslationsDirectory(std::string(TALVERO_BUILD_DIR) + "-other/talvero"),
              TALVERO_INSTALL_LOCALE_DIR);
    EnvScope set("TALVERO_LOCALE_DIR", "/opt/locale");
    EXPECT_EQ(TranslationsDirectory("/usr/bin/talvero-cli"), "/opt/locale");
}

TEST(Translation, TextsComeInTheEnvironmentsLanguageWithItsPluralsOrElseInEnglish)
{
    EnvScope none("TALVERO_LOCALE_DIR", nullptr);
    ASSERT_EQ(BindTranslations(), TALVERO_BUILD_LOCALE_DIR);
    LocaleScope utf8("C.UTF-8");
    {
        EnvScope es("LANGUAGE", "es");
        EXPECT_STREQ(Tr("Translate"), "Traducir");
        EXPECT_EQ(FormatText(Tr("Could not open the file: %s"), "a.txt"),
                  "No se pudo abrir el archivo: a.txt");
        // Not in the catalogue: the very text given.
        const char* unknown = "No such text in any catalogue";
        EXPECT_EQ(Tr(unknown), unknown);
        EXPECT_STREQ(TrContext("no such context", "Translate"), "Translate");
    }
    {
        EnvScope de("LANGUAGE", "de");
        EXPECT_STREQ(TrContext("language pair", "%s to %s"), "%s nach %s");
        EXPECT_EQ(FormatText(TrPlural("Read %d bytes", "Read %d bytes", 0), 0), "0 Bytes gelesen");
        EXPECT_EQ(FormatText(TrPlural("Read %d bytes", "Read %d bytes", 1), 1), "1 Byte gelesen");
    }
    {
        EnvScope fr("LANGUAGE", "fr");
        EXPECT_EQ(FormatText(TrPlural("Read %d bytes", "Read %d bytes", 0), 0), "0 octet lu");
        EXPECT_EQ(FormatText(TrPlural("Read %d bytes", "Read %d bytes", 2), 2), "2 octets lus");
    }
    {
        // A language without a catalogue, and the C locale whatever LANGUAGE says: English.
        EnvScope xx("LANGUAGE", "xx");
        EXPECT_STREQ(Tr("Translate"), "Translate");
        EXPECT_STREQ(TrPlural("Read %d bytes", "Read %d bytes", 2), "Read %d bytes");
        EnvScope es("LANGUAGE", "es");
        LocaleScope c("C");
        EXPECT_STREQ(Tr("Translate"), "Translate");
    }
}

}  // namespace talvero
