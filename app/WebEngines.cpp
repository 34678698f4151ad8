#include <algorithm>
#include <memory>

#include "app/TranslationDispatch.h"
#include "web/Translators.h"

namespace talvero {

WebEngineRunner MakeWebEngineRunner(const Services& services, const HttpLimits& limits)
{
    HttpLimits formLimits = limits;
    formLimits.totalTimeoutMs = std::min(formLimits.totalTimeoutMs, kFormPostTotalMs);
    if (formLimits.caFile.empty()) formLimits.caFile = services.caFile;
    return [services, limits = formLimits](Engine engine, const std::string& text, int pairNumber) {
        std::unique_ptr<CWebTranslator> translator;
        switch (engine) {
            case Engine::Google:
                translator =
                    std::make_unique<Translator>(text, pairNumber, services.googleFormAddress);
                break;
            case Engine::Babelfish:
                translator = std::make_unique<BabelfishTranslator>(text, pairNumber,
                                                                   services.babelfishFormAddress);
                break;
            case Engine::FreeTranslation:
                translator = std::make_unique<FreeTranslationTranslator>(
                    text, pairNumber, services.freeTranslationFormAddress);
                break;
            case Engine::Local:
                return WebAnswer{true, {}, "Not a web engine", {}};
        }
        translator->SetLimits(limits);
        translator->Retrieve();
        if (translator->GetErrorFlag() != 0)
            return WebAnswer{true, {}, translator->GetErrorText(), translator->GetFailureReason()};
        return WebAnswer{false, translator->GetResult(), {}, {}};
    };
}

}  // namespace talvero
