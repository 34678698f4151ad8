#pragma once
// The settings that the options dialog edits, and the proxy members it carries through
// unchanged.
#include <cstddef>
#include <string>

#include "settings/Settings.h"

namespace talvero {

inline constexpr int kOptionsMinFontSize = 6;
inline constexpr int kOptionsMaxFontSize = 20;
inline constexpr size_t kOptionsMaxUsernameLength = 16;

// The connection members: no control, no settings key; read by the online services.
struct ProxyConnection {
    bool useProxy = false;
    unsigned short proxyPort = 0;
    std::string proxyServer;
};

// Copies every member the options dialog edits from `from` into `to`, and nothing else.
void CopyOptions(const Settings& from, Settings& to);

}  // namespace talvero
