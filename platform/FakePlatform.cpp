#include "platform/FakePlatform.h"

namespace talvero {

namespace {

class FakeHotkey : public IGlobalHotkey {
public:
    explicit FakeHotkey(FakeDesktop& d) : desktop(d) {}
    void SetHandler(std::function<void()> onPressed) override
    {
        desktop.hotkeyHandler = std::move(onPressed);
    }
    HotkeyStatus Register(const HotkeyCombo& combo) override
    {
        desktop.registered.reset();
        desktop.registrations.push_back(combo);
        if (desktop.nextStatus == HotkeyStatus::Registered) desktop.registered = combo;
        return desktop.nextStatus;
    }
    void Unregister() override
    {
        desktop.registered.reset();
        ++desktop.unregistrations;
    }
    void SetTranslateSelectionHandler(std::function<void()> onPressed) override
    {
        desktop.translateSelectionHandler = std::move(onPressed);
    }
    void SetOutcomeHandler(std::function<void(HotkeyStatus)> outcome) override
    {
        desktop.outcomeHandler = std::move(outcome);
    }

private:
    FakeDesktop& desktop;
};

class FakeKeyboard : public IKeyboard {
public:
    explicit FakeKeyboard(FakeDesktop& d) : desktop(d) {}
    bool ReleaseKeys(const HotkeyCombo& combo) override
    {
        desktop.keyLog.push_back("release " + std::to_string(combo.virtualKey) + "/" +
                                 std::to_string(combo.modifiers));
        return true;
    }

private:
    FakeDesktop& desktop;
};

class FakeClipboard : public IClipboard {
public:
    explicit FakeClipboard(FakeDesktop& d) : desktop(d) {}
    void CaptureSelection(int, std::function<void(const CapturedText&)> done) override
    {
        ++desktop.captures;
        CapturedText found;
        if (desktop.selection && desktop.selectionIsPicture) {
            found.outcome = CaptureOutcome::NotText;
        } else if (desktop.selection || desktop.clipboardText) {
            found.fromClipboard = !desktop.selection;
            found.text = desktop.selection ? *desktop.selection : *desktop.clipboardText;
            found.outcome = found.text.size() > kMaxCaptureBytes ? CaptureOutcome::TooLarge
                                                                 : CaptureOutcome::Text;
            if (found.outcome == CaptureOutcome::TooLarge) found.text.clear();
        }
        if (!desktop.captureAnswersLater) {
            done(found);
            return;
        }
        desktop.answerCapture = [found, done = std::move(done)] { done(found); };
    }
    void CancelCapture() override { desktop.answerCapture = nullptr; }
    ~FakeClipboard() override { CancelCapture(); }

private:
    FakeDesktop& desktop;
};

class FakeNotificationArea : public INotificationArea {
public:
    std::optional<ScreenRect> DockPanel() override { return std::nullopt; }
};

}  // namespace

Platform MakeFakePlatform(FakeDesktop& desktop)
{
    Platform p;
    p.hotkey = std::make_unique<FakeHotkey>(desktop);
    p.keyboard = std::make_unique<FakeKeyboard>(desktop);
    p.clipboard = std::make_unique<FakeClipboard>(desktop);
    p.notificationArea = std::make_unique<FakeNotificationArea>();
    return p;
}

}  // namespace talvero
