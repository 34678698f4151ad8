#include "app/AutoTranslate.h"

#include "catalogue/Settings.h"

namespace {

// Clears the busy flag on every way out of a pass.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

void AutoTranslate(IAutoTranslateHost& host, AutoTranslateState& state, const Settings& settings)
{
    for (;;) {
        if (state.dictionaryLoading || state.autoTranslateBusy) return;
        const std::string first = host.ReadInput();
        BusyScope busy(state.autoTranslateBusy);
        if (first.empty()) return;
        if (!host.WaitPumping(settings.translationDelay)) return;
        if (host.ReadInput() != first) continue;  // not settled: wait a full delay again
        if (settings.speakRecognizedText) host.SpeakRecognizedText();
        if (!settings.launchTranslationAutomatically) return;
        host.Translate();
        host.EmptyInput();
        return;
    }
}
