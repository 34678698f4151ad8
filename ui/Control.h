#pragma once
// Looks up a control of a window by id as the type the caller needs. A control missing from its
// window or of another kind is a fault in the window's tables, not a state to carry on from: a
// plain cast would turn it into a crash far from the cause, so it stops here and says which.
#include <cstdio>
#include <cstdlib>

#include <wx/window.h>

template <class T>
T* Control(wxWindow* parent, int id)
{
    wxWindow* found = parent ? parent->FindWindow(id) : nullptr;
    if (auto* control = dynamic_cast<T*>(found)) return control;
    const wxString expected = wxCLASSINFO(T)->GetClassName();
    const wxString actual =
        found ? wxString(found->GetClassInfo()->GetClassName()) : wxString("nothing");
    std::fprintf(stderr, "control %d: expected %s, found %s\n", id, expected.utf8_str().data(),
                 actual.utf8_str().data());
    wxFAIL_MSG(wxString::Format("control %d: expected %s, found %s", id, expected, actual));
    std::abort();
}
