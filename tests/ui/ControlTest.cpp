#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

#include <string>

#include "res/Ids.h"
#include "res/Templates.h"
#include "ui/Control.h"
#include "ui/DialogBuilder.h"

namespace talvero {

namespace {

using res::ctl::kInput;

// A control built or looked up as the kind its table gives comes back as itself; as another
// kind, or missing, the program stops and names the id and both kinds rather than carry on.
TEST(ControlDeathTest, WrongKindStopsWithTheIdAndTheKinds)
{
    // The child starts afresh: a forked one would share the parent's display connection.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto* frame = new wxFrame(nullptr, wxID_ANY, "controls");
    const res::Dialog& t = res::MainDialog();
    wxTextCtrl* input = CreateTemplateControl<wxTextCtrl>(frame, t, kInput);
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->GetId(), kInput);
    EXPECT_EQ(Control<wxTextCtrl>(frame, kInput), input);
    const std::string id = std::to_string(kInput);
    EXPECT_DEATH(CreateTemplateControl<wxButton>(frame, t, kInput),
                 "control " + id + ": expected wxButton, found wxTextCtrl");
    EXPECT_DEATH(Control<wxButton>(frame, kInput),
                 "control " + id + ": expected wxButton, found wxTextCtrl");
    EXPECT_DEATH(Control<wxTextCtrl>(frame, 4321),
                 "control 4321: expected wxTextCtrl, found nothing");
    frame->Destroy();
}

}  // namespace

}  // namespace talvero
