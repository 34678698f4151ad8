#include "app/gui/TalveroApp.h"

wxIMPLEMENT_APP(CTalveroApp);
