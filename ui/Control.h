#pragma once
// Looks up a control of a window by id as the type the caller needs. A control missing from its
// window or of another kind is a fault in the window's tables, not a state to carry on from: a
// plain cast would turn it into a crash far from the cause, so it stops here and says which.
#include <cstdio>
#include <cstdlib>

#include <wx/window.h>

namespace talvero {

// Stops the program: control `id` should have been a `expected` and is `found` (none if null).
[[noreturn]] inline void StopOnWrongControl(int id, const wxClassInfo* expected,
                                            const wxWindow* found)
{
    const wxString wanted = expected->GetClassName();
    const wxString actual =
        found ? wxString(found->GetClassInfo()->GetClassName()) : wxString("nothing");
    std::fprintf(stderr, "control %d: expected %s, found %s\n", id, wanted.utf8_str().data(),
                 actual.utf8_str().data());
    wxFAIL_MSG(wxString::Format("control %d: expected %s, found %s", id, wanted, actual));
    std::abort();
}

// `window`, which is control `id`, as the type the caller needs.
template <class T>
T* ControlAs(wxWindow* window, int id)
{
    if (auto* control = dynamic_cast<T*>(window)) return control;
    StopOnWrongControl(id, wxCLASSINFO(T), window);
}

template <class T>
T* Control(wxWindow* parent, int id)
{
    return ControlAs<T>(parent ? parent->FindWindow(id) : nullptr, id);
}

}  // namespace talvero
