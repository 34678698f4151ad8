#pragma once
// Events that the speech layer posts to the main window from its own threads: a recognition
// result, the voice's progress and a recognition engine loaded after an engine change.
#include <wx/event.h>

namespace talvero {

wxDECLARE_EVENT(TALVERO_EVT_RECOGNITION, wxThreadEvent);
wxDECLARE_EVENT(TALVERO_EVT_VOICE, wxThreadEvent);
wxDECLARE_EVENT(TALVERO_EVT_ENGINE_LOADED, wxThreadEvent);

}  // namespace talvero
