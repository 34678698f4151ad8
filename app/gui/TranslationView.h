#pragma once
// The main window's translation side on its controls: the input box, Translate and Clear, the
// four result boxes, the banner, the near list, the automatic pass's delay and the local pair's
// dictionary loads. What happens is decided by TranslationPresenter; this shows it.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/TranslationPresenter.h"

class wxButton;
class wxChoice;
class wxCommandEvent;
class wxListBox;
class wxTextCtrl;
class wxTimer;
class wxWindow;

namespace talvero {

class IBanners;
class CSortedListFiller;

class CTranslationView : public ITranslationView {
public:
    struct Controls {
        wxWindow* window = nullptr;  // the main window: the parent of messages and the cursor's
        wxTextCtrl* input = nullptr;
        wxButton* translateButton = nullptr;
        std::array<wxTextCtrl*, 4> resultBoxes{};
        std::array<wxChoice*, 4> pairCombos{};
        wxListBox* nearList = nullptr;
    };
    CTranslationView(Controls controls, ITranslationEngines& engines, ILocalDictionary& dictionary,
                     ISpeech& speech, IBanners& banners, Settings& settings, PostToOwner post);
    ~CTranslationView() override;

    TranslationPresenter& Presenter() { return presenter; }
    // The near list measured once and filled in steps that never hold the window.
    void SetUpNearList();
    void OpenNearEntry();
    // Start-up: the dictionary of the settings' pair loads while the window appears.
    void StartDictionaryLoad();
    // A new local pair: its dictionary loads aside, Translate and the pair list off meanwhile.
    void SwitchLocalPair();
    // The window is ending.
    void Stop();
    // Who runs the automatic pass's delay; the view's own timer when empty.
    using DelayStarter = std::function<void(int ms, std::function<void()> elapsed)>;
    void UseDelay(DelayStarter starter) { startDelay = std::move(starter); }

    // ITranslationView
    std::string ReadInput() override;
    void SetInput(const std::string& text) override;
    void ReadPairPositions(Settings& settings) override;
    void SayInputEmpty() override;
    void ShowTranslating(bool on) override;
    void SetResult(int engine, const std::string& text) override;
    void ShowBanner(const BannerDecision& banner) override;
    void ClearNearList() override;
    void FillNearList(std::vector<std::string> phrases) override;
    void StartDelay(int ms) override;

private:
    void OnClear(wxCommandEvent& event);
    void ShowLoadMessages(const std::vector<std::string>& messages);
    void LoadFinished(const std::vector<std::string>& messages);

    Controls c;
    ILocalDictionary& dictionary;
    IBanners& banners;
    Settings& settings;
    PostToOwner post;
    TranslationPresenter presenter;
    std::unique_ptr<CSortedListFiller> nearFiller;
    std::unique_ptr<wxTimer> delay;  // the automatic pass's
    DelayStarter startDelay;
    bool buttonWasEnabled = true;  // Translate's button before the running Translate
    // A pair's dictionary is loading; one asked for meanwhile follows it.
    bool pairLoading = false;
    bool pairQueued = false;
};

}  // namespace talvero
