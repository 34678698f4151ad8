#include "settings/Services.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "base/TextFile.h"

namespace talvero {

namespace {

bool StartsWithNoCase(std::string_view v, std::string_view prefix)
{
    if (v.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(v[i])) != prefix[i]) return false;
    return true;
}

// Accepts only scheme://host[:port] with an http or https scheme; anything else keeps the
// default so that a typo cannot point the program at a file or another protocol.
bool IsBaseAddress(std::string_view v)
{
    std::string_view rest;
    if (StartsWithNoCase(v, "http://"))
        rest = v.substr(7);
    else if (StartsWithNoCase(v, "https://"))
        rest = v.substr(8);
    else
        return false;
    while (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    if (rest.empty()) return false;
    for (char c : rest)
        if (c == '/' || c == ' ' || c == '?' || c == '#' || static_cast<unsigned char>(c) < 0x21)
            return false;
    return true;
}

// Schemes are case-insensitive; the lower-case form is what the clients expect.
std::string Normalized(std::string_view v)
{
    while (!v.empty() && v.back() == '/')
        v.remove_suffix(1);
    std::string out(v);
    for (size_t i = 0; i < out.size() && out[i] != ':'; ++i)
        out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[i])));
    return out;
}

}  // namespace

void ApplyServicesText(Services& services, std::string_view text)
{
    std::vector<std::string_view> lines = SplitLines(text);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        std::string_view key = lines[i];
        std::string_view value = lines[i + 1];
        std::string* address = nullptr;
        if (key == "GOOGLE FORM ADDRESS")
            address = &services.googleFormAddress;
        else if (key == "BABELFISH FORM ADDRESS")
            address = &services.babelfishFormAddress;
        else if (key == "FREETRANSLATION FORM ADDRESS")
            address = &services.freeTranslationFormAddress;
        else if (key == "UPLOAD SERVER ADDRESS")
            address = &services.uploadServerAddress;
        else if (key == "UPDATE SITE ADDRESS")
            address = &services.updateSiteAddress;
        if (address) {
            if (IsBaseAddress(value))
                *address = Normalized(value);
            else
                services.problems.push_back(std::string(key) + " \"" +
                                            std::string(value.substr(0, 200)) +
                                            "\" is not scheme://host[:port] with http or https; "
                                            "using " +
                                            *address);
            ++i;
        } else if (key == "USE PROXY") {
            services.useProxy = value == "YES";
            ++i;
        } else if (key == "PROXY SERVER") {
            services.proxyServer = std::string(value.substr(0, 1024));
            ++i;
        } else if (key == "CA FILE") {
            std::string path(value.substr(0, 4096));
            std::string pem;
            // A CA file that cannot be read would fail every https request with a puzzling
            // certificate error; it is named instead and the system's authorities stay.
            if (ReadWholeFile(path, pem) &&
                pem.find("-----BEGIN CERTIFICATE-----") != std::string::npos)
                services.caFile = path;
            else
                services.problems.push_back("CA FILE \"" + path.substr(0, 200) +
                                            "\" is not a readable PEM file of certificates");
            ++i;
        } else if (key == "PROXY PORT") {
            std::string v(value.substr(0, 32));
            long port = std::strtol(v.c_str(), nullptr, 10);
            if (port >= 0 && port <= 65535)
                services.proxyPort = static_cast<unsigned short>(port);
            else
                services.problems.push_back("PROXY PORT \"" + v + "\" is not a port number");
            ++i;
        }
    }
}

Services LoadServices(const std::string& path)
{
    Services services;
    std::string content;
    switch (ReadFileIfPresent(path, content, kMaxKeyFileSize)) {
        case FileRead::Read:
            ApplyServicesText(services, KeyFileText(std::move(content)));
            break;
        case FileRead::TooLarge:
            services.problems.push_back("the file is larger than " +
                                        std::to_string(kMaxKeyFileSize >> 20) +
                                        " MB and was not read; every service keeps its default");
            break;
        case FileRead::Missing:
        case FileRead::Unreadable:
            break;
    }
    return services;
}

}  // namespace talvero
