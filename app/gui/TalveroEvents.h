#pragma once
// Events that the speech layer posts to the main window from its own threads (on Windows these
// were the application messages WM_APP for recognition and WM_APP + 1 for the voice).
#include <wx/event.h>

wxDECLARE_EVENT(TALVERO_EVT_RECOGNITION, wxThreadEvent);
wxDECLARE_EVENT(TALVERO_EVT_VOICE, wxThreadEvent);
