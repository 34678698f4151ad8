#pragma once
// Long lists without long waits. The toolkit's drop-down list sizes itself by measuring every
// entry at every layout, and its sorted list box inserts items one at a time, comparing each
// with the others and sizing each row: with hundreds of pairs or thousands of near matches that
// is most of a window's start-up, or seconds of a frozen window. These keep what the lists show
// and in which order, and take the measuring and sorting out of the toolkit's hands.
#include <wx/string.h>

#include <vector>

class wxChoice;
class wxListBox;

// Fixes a filled drop-down list's width at what its widest entry needs, measured once; from
// then on the toolkit measures only the entry shown.
void FixChoiceWidth(wxChoice* choice);

// Readies a list box made to keep its items sorted for SetSortedItems: its rows all take one
// height and are not measured one by one.
void PrepareSortedList(wxListBox* list);

// Replaces the items of a list box readied by PrepareSortedList with `items`, in the order in
// which the sorted list box would show them had they been appended one by one, in one step.
void SetSortedItems(wxListBox* list, const std::vector<wxString>& items);
