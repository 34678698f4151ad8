#include "app/TalveroApp.h"

wxIMPLEMENT_APP(CTalveroApp);
