#pragma once
// Events that the speech layer posts to the main window from its own threads: a recognition
// result and the voice's progress.
#include <wx/event.h>

wxDECLARE_EVENT(TALVERO_EVT_RECOGNITION, wxThreadEvent);
wxDECLARE_EVENT(TALVERO_EVT_VOICE, wxThreadEvent);
