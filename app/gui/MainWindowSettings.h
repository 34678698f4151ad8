#pragma once
// The main window's controls and its settings record: the pair lists and punctuation patterns
// filled, the check boxes and pair lists set from the settings file and read back at exit, and
// the text boxes' font.
#include <array>

class wxChoice;
class wxComboBox;
class wxFont;
class wxWindow;

namespace talvero {

struct Settings;

using PairCombos = std::array<wxChoice*, 4>;

void FillPairLists(const PairCombos& pairCombos, wxComboBox* punctuation);
// Reads the settings file into `settings` and the controls, saying once what did not take.
// Returns false when the file is there but could not be read: it must not be saved over.
bool LoadSettingsIntoControls(wxWindow* window, Settings& settings, const PairCombos& pairCombos);
void ReadControlsIntoSettings(wxWindow* window, Settings& settings, const PairCombos& pairCombos);
// A check box was clicked: the flag it holds follows at once.
void TakeCheckedFlag(Settings& settings, int id, bool checked);
// The delay as the delay dialog shows it: truncated into an int (1500.7 shows 1500).
int ShownDelay(double ms);
// Arial bold (or the like) at `size` points, kept drawable.
wxFont TextBoxFont(int size);

}  // namespace talvero
