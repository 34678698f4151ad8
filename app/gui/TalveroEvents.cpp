#include "app/gui/TalveroEvents.h"

namespace talvero {

wxDEFINE_EVENT(TALVERO_EVT_RECOGNITION, wxThreadEvent);
wxDEFINE_EVENT(TALVERO_EVT_VOICE, wxThreadEvent);
wxDEFINE_EVENT(TALVERO_EVT_ENGINE_LOADED, wxThreadEvent);

}  // namespace talvero
