#pragma once
// Long lists without long waits. The toolkit's drop-down list sizes itself by measuring every
// entry at every layout, and its sorted list box inserts items one at a time, comparing each
// with the others and sizing each row: with hundreds of pairs or thousands of near matches that
// is most of a window's start-up, or seconds of a frozen window. These keep what the lists show
// and in which order, and take the measuring and sorting out of the toolkit's hands.
#include <wx/string.h>

#include <wx/arrstr.h>
#include <wx/timer.h>

#include <functional>
#include <string>
#include <vector>

class wxChoice;
class wxListBox;
#ifdef __WXGTK__
typedef struct _GtkTreeModel GtkTreeModel;
#endif

namespace talvero {

// Fixes a filled drop-down list's width at what its widest entry needs, measured once; from
// then on the toolkit measures only the entry shown.
void FixChoiceWidth(wxChoice* choice);

// Readies a list box made to keep its items sorted for SetSortedItems: its rows all take one
// height and are not measured one by one.
void PrepareSortedList(wxListBox* list);

// Replaces the items of a list box readied by PrepareSortedList with `items`, in the order in
// which the sorted list box would show them had they been appended one by one, in one step.
void SetSortedItems(wxListBox* list, const std::vector<wxString>& items);

// Fills a list box readied by PrepareSortedList as SetSortedItems does, but a long list is
// converted, ordered and appended a step of items per turn of the event loop, so that tens of
// thousands of items never hold the window; a short one is filled at once. A later Fill or
// Cancel abandons what is still to come.
class CSortedListFiller {
public:
    using Convert = std::function<wxString(const std::string&)>;
    CSortedListFiller(wxListBox* list, Convert convert, size_t step = 4000);
    ~CSortedListFiller();
    CSortedListFiller(const CSortedListFiller&) = delete;
    CSortedListFiller& operator=(const CSortedListFiller&) = delete;

    // Empties the list and starts filling it with `phrases`.
    void Fill(std::vector<std::string> phrases);
    void Cancel();
    bool Busy() const { return stage != Stage::Idle; }

private:
    enum class Stage { Idle, Convert, Append };
    struct StepTimer : wxTimer {
        explicit StepTimer(CSortedListFiller& filler) : filler(filler) {}
        void Notify() override { filler.Step(); }
        CSortedListFiller& filler;
    };
    void Schedule();
    void Step();

    wxListBox* list;
    Convert convert;
    size_t step;
    Stage stage = Stage::Idle;
    size_t done = 0;
    std::vector<std::string> pending;
    std::vector<wxString> items;
    std::vector<std::string> keys;
    wxArrayString sorted;
    StepTimer timer;
#ifdef __WXGTK__
    GtkTreeModel* detached = nullptr;
#endif
};

}  // namespace talvero
