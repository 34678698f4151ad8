#pragma once
// Shared pieces of the window tests: a private working directory, recording stand-ins for the
// engines, dictionary, speech and banners, a message-box recorder and event helpers.
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>

#include "app/gui/TalveroDlg.h"
#include "platform/FakePlatform.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitPumping.h"
#include "ui/MessageBox.h"

namespace talvero {

struct TranslateCall {
    std::string text;  // the input as handed over (trimmed by the action itself)
    Settings settings;
};

struct Recorder {
    std::vector<TranslateCall> requests;
    TranslateOutcome outcome;
    std::vector<std::pair<std::string, std::string>> loads;
    std::vector<std::string> loadMessages;
    std::map<std::string, std::string> entries;
    std::vector<std::string> spoken;
    std::vector<BannerDecision> banners;
    std::vector<std::pair<std::string, unsigned>> additionBanners;
    int bannersCreated = 0;
    int voiceEvents = 0;
    int discards = 0;
    std::function<void()> duringLoad;
    std::function<void()> duringTranslate;
};

class RecordingEngines : public ITranslationEngines {
public:
    explicit RecordingEngines(Recorder& r) : rec(r) {}
    TranslateOutcome Translate(std::string_view input, const Settings& settings) override
    {
        rec.requests.push_back({TrimInput(input), settings});
        if (rec.duringTranslate) rec.duringTranslate();
        return rec.outcome;
    }
    Recorder& rec;
};

class RecordingDictionary : public ILocalDictionary {
public:
    explicit RecordingDictionary(Recorder& r) : rec(r) {}
    std::vector<std::string> Load(const std::string& local, const std::string& personal) override
    {
        rec.loads.emplace_back(local, personal);
        if (rec.duringLoad) rec.duringLoad();
        return rec.loadMessages;
    }
    std::optional<std::string> Find(const std::string& original) override
    {
        auto it = rec.entries.find(original);
        if (it == rec.entries.end()) return std::nullopt;
        return it->second;
    }
    void Discard() override { ++rec.discards; }
    LocalDictionary* Engine() override { return nullptr; }
    Recorder& rec;
};

class RecordingSpeech : public ISpeech {
public:
    explicit RecordingSpeech(Recorder& r) : rec(r) {}
    bool SetUp() override { return false; }
    void SpeakText(const std::string& text) override { rec.spoken.push_back(text); }
    void OnVoiceEvent(const Settings&) override { ++rec.voiceEvents; }
    bool SpeechSuspended() override { return held; }
    void SuspendRecognition(bool on) override { held = on; }
    bool held = false;
    Recorder& rec;
};

class RecordingBanners : public IBanners {
public:
    explicit RecordingBanners(Recorder& r) : rec(r) {}
    void Create(wxWindow*) override { ++rec.bannersCreated; }
    void ShowTranslation(const BannerDecision& banner) override { rec.banners.push_back(banner); }
    void ShowAddition(const std::string& text, unsigned lines) override
    {
        rec.additionBanners.emplace_back(text, lines);
    }
    Recorder& rec;
};

// Runs each test in a fresh working directory; answers message boxes with OK and records them.
class WindowTest : public ::testing::Test {
protected:
    std::filesystem::path oldDir;
    TempDir temp;
    std::filesystem::path dir;
    std::vector<MessageBoxCall> boxes;
    Recorder rec;
    FakeDesktop desktop;

    void SetUp() override
    {
        oldDir = std::filesystem::current_path();
        dir = temp.Path();
        std::filesystem::current_path(dir);
        SetMessageBoxHook([this](const MessageBoxCall& call) {
            boxes.push_back(call);
            return wxOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHook({});
        std::filesystem::current_path(oldDir);
    }

    CTalveroDlg::Parts FakeServices()
    {
        CTalveroDlg::Parts s;
        s.engines = std::make_unique<RecordingEngines>(rec);
        s.dictionary = std::make_unique<RecordingDictionary>(rec);
        s.speech = std::make_unique<RecordingSpeech>(rec);
        s.banners = std::make_unique<RecordingBanners>(rec);
        s.platform = MakeFakePlatform(desktop);
        return s;
    }

    static void WriteFile(const std::string& name, const std::string& content)
    {
        FILE* f = fopen(name.c_str(), "wb");
        ASSERT_TRUE(f);
        fwrite(content.data(), 1, content.size(), f);
        fclose(f);
    }
    static std::string ReadFile(const std::string& name)
    {
        std::string out;
        if (FILE* f = fopen(name.c_str(), "rb")) {
            char buf[4096];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, f)) > 0)
                out.append(buf, n);
            fclose(f);
        }
        return out;
    }
    static bool Exists(const std::string& name) { return std::filesystem::exists(name); }
};

// Runs `body` inside the dialog's modal loop, as the program runs it, then ends the dialog
// without saving. Start-up has run when `body` starts.
inline int RunModal(CTalveroDlg& dlg, std::function<void()> body)
{
    dlg.CallAfter([&dlg, body] {
        body();
        dlg.EndWithoutSaving();
    });
    return dlg.ShowModal();
}

template <typename T>
T* Ctl(wxWindow* dlg, int id)
{
    wxWindow* w = dlg->FindWindow(id);
    EXPECT_NE(w, nullptr) << "no control " << id;
    T* t = dynamic_cast<T*>(w);
    EXPECT_NE(t, nullptr) << "control " << id << " has another kind";
    return t;
}

inline void Click(wxWindow* dlg, int id)
{
    wxWindow* w = dlg->FindWindow(id);
    ASSERT_NE(w, nullptr);
    wxCommandEvent ev(wxEVT_BUTTON, id);
    ev.SetEventObject(w);
    w->GetEventHandler()->ProcessEvent(ev);
}

inline void Toggle(wxWindow* dlg, int id, bool on)
{
    auto* box = Ctl<wxCheckBox>(dlg, id);
    box->SetValue(on);
    wxCommandEvent ev(wxEVT_CHECKBOX, id);
    ev.SetEventObject(box);
    ev.SetInt(on ? 1 : 0);
    box->GetEventHandler()->ProcessEvent(ev);
}

inline void Choose(wxWindow* dlg, int id, int position)
{
    auto* choice = Ctl<wxChoice>(dlg, id);
    choice->SetSelection(position);
    wxCommandEvent ev(wxEVT_CHOICE, id);
    ev.SetEventObject(choice);
    ev.SetInt(position);
    choice->GetEventHandler()->ProcessEvent(ev);
}

inline std::string Text(wxWindow* dlg, int id)
{
    return Ctl<wxTextCtrl>(dlg, id)->GetValue().utf8_string();
}

}  // namespace talvero
