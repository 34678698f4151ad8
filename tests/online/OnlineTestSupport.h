#pragma once
// Pieces the online tests share: services aimed at loopback servers, a caption recorder.
#include <mutex>
#include <string>
#include <vector>

#include "settings/Services.h"
#include "web/WebGrab.h"

namespace talvero {

inline Services LoopbackServices(const std::string& upload, const std::string& site)
{
    Services s;
    s.uploadServerAddress = upload;
    s.updateSiteAddress = site;
    return s;
}

class CaptionRecorder : public CStatusWindow {
public:
    void SetStatusText(const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        captions.push_back(text);
    }
    std::vector<std::string> Captions() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return captions;
    }

private:
    mutable std::mutex mutex;
    std::vector<std::string> captions;
};

}  // namespace talvero
