#pragma once
// Small look adjustments that wx does not offer, done on the toolkit's widgets.
class wxCheckBox;
class wxTopLevelWindow;

// Lets a check box's label wrap onto further lines beyond `maxChars` characters.
void WrapCheckBoxLabel(wxCheckBox* box, int maxChars);

// A fixed-size window: the window manager offers no resizing and no maximize button.
void MakeNotResizable(wxTopLevelWindow* window);
