#pragma once
// The settings that the options dialog edits, as a table from its controls to the settings
// record, and the proxy members it carries through unchanged.
#include <span>
#include <string>

#include "catalogue/Settings.h"

struct OptionsCheck {
    int id;  // check box of the options dialog
    bool Settings::*member;
};

// The dialog's check boxes in the order it shows them.
std::span<const OptionsCheck> OptionsChecks();

// Control ids of the options dialog other than the check boxes.
inline constexpr int kOptionsBannerSource = 1054;
inline constexpr int kOptionsMaxWords = 1050;
inline constexpr int kOptionsFontSize = 1060;
inline constexpr int kOptionsHotkeyKey = 1043;
inline constexpr int kOptionsUsername = 1071;
inline constexpr int kOptionsPassword = 1072;
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
