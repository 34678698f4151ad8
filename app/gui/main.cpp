#include "app/gui/TalveroApp.h"

wxIMPLEMENT_APP(talvero::CTalveroApp);
