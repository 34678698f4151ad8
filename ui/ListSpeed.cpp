#include "ui/ListSpeed.h"

#include <wx/choice.h>
#include <wx/listbox.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#include <wx/version.h>
#endif

#ifdef __WXGTK__
// What follows reads the list box's tree view and store straight from wx's GTK port, and relies
// on how its 3.2 series fills and sorts that store. Another series may lay them out otherwise:
// the build stops here until the code and tests/ui (which checks the order against the toolkit's
// own sorting) have been gone through again for it.
static_assert(wxCHECK_VERSION(3, 2, 0) && !wxCHECK_VERSION(3, 3, 0),
              "ui/ListSpeed.cpp reads wxListBox's GTK internals of wx 3.2 only");
#endif

namespace talvero {

void FixChoiceWidth(wxChoice* choice)
{
    if (!choice) return;
#ifdef __WXGTK__
    GtkWidget* widget = choice->GetHandle();
    if (widget && GTK_IS_COMBO_BOX(widget)) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
        if (child && GTK_IS_CELL_VIEW(child))
            gtk_cell_view_set_fit_model(GTK_CELL_VIEW(child), FALSE);
    }
#endif
    // The best width still covers the widest entry: it is taken from the entries' text.
    choice->InvalidateBestSize();
    choice->SetMinSize(wxSize(choice->GetBestSize().x, -1));
}

#ifdef __WXGTK__
namespace {

// The key the sorted list box orders an item by: the collation key of its case-folded text.
std::string SortKeyOf(const char* utf8)
{
    gchar* folded = g_utf8_casefold(utf8, -1);
    gchar* key = g_utf8_collate_key(folded, -1);
    std::string out(key);
    g_free(key);
    g_free(folded);
    return out;
}

bool IsSortedList(wxListBox* list)
{
    return list && list->m_treeview && list->m_liststore;
}

}  // namespace
#endif

void PrepareSortedList(wxListBox* list)
{
#ifdef __WXGTK__
    if (!IsSortedList(list)) return;
    // The items come in their final order: the store keeps them as given.
    gtk_tree_sortable_set_sort_column_id(GTK_TREE_SORTABLE(list->m_liststore),
                                         GTK_TREE_SORTABLE_UNSORTED_SORT_COLUMN_ID,
                                         GTK_SORT_ASCENDING);
    list->SetWindowStyleFlag(list->GetWindowStyleFlag() & ~wxLB_SORT);
    GtkTreeViewColumn* column = gtk_tree_view_get_column(list->m_treeview, 0);
    if (column) {
        gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
        gtk_tree_view_set_fixed_height_mode(list->m_treeview, TRUE);
    }
#else
    (void)list;
#endif
}

#ifdef __WXGTK__
namespace {

// The order in which the sorted list box would show `keys`' items: ascending keys, and among
// equal keys the later item first (each new item goes before the first one whose key is not
// smaller).
std::vector<size_t> SortedOrder(const std::vector<std::string>& keys)
{
    std::vector<size_t> order(keys.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&keys](size_t a, size_t b) {
        const int c = std::strcmp(keys[a].c_str(), keys[b].c_str());
        return c != 0 ? c < 0 : a > b;
    });
    return order;
}

// Rows are not measured one by one: the column is as wide as the longest items need, measured
// for the few longest.
void FixColumnWidth(wxListBox* list, const wxArrayString& items)
{
    GtkTreeViewColumn* column = gtk_tree_view_get_column(list->m_treeview, 0);
    if (!column || items.empty()) return;
    std::vector<size_t> byLength(items.size());
    std::iota(byLength.begin(), byLength.end(), size_t{0});
    const size_t measured = std::min<size_t>(32, items.size());
    std::partial_sort(
        byLength.begin(), byLength.begin() + measured, byLength.end(),
        [&items](size_t a, size_t b) { return items[a].length() > items[b].length(); });
    PangoLayout* layout = gtk_widget_create_pango_layout(GTK_WIDGET(list->m_treeview), nullptr);
    int widest = 0;
    for (size_t k = 0; k < measured; ++k) {
        const wxScopedCharBuffer utf8 = items[byLength[k]].utf8_str();
        pango_layout_set_text(layout, utf8.data(), -1);
        int w = 0, h = 0;
        pango_layout_get_pixel_size(layout, &w, &h);
        widest = std::max(widest, w);
    }
    g_object_unref(layout);
    // What a row adds to its text: the cell's padding on both sides and the space the view
    // keeps between columns.
    gint xpad = 0, separator = 0;
    gtk_widget_style_get(GTK_WIDGET(list->m_treeview), "horizontal-separator", &separator, nullptr);
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column));
    if (cells) {
        gtk_cell_renderer_get_padding(GTK_CELL_RENDERER(cells->data), &xpad, nullptr);
        g_list_free(cells);
    }
    gtk_tree_view_column_set_fixed_width(column, widest + 2 * xpad + separator);
}

// Without the model attached the view does no work per row.
void DetachModel(wxListBox* list, GtkTreeModel*& detached)
{
    if (detached) return;
    detached = gtk_tree_view_get_model(list->m_treeview);
    g_object_ref(detached);
    gtk_tree_view_set_model(list->m_treeview, nullptr);
}

void AttachModel(wxListBox* list, GtkTreeModel*& detached)
{
    if (!detached) return;
    gtk_tree_view_set_model(list->m_treeview, detached);
    g_object_unref(detached);
    detached = nullptr;
}

}  // namespace
#endif

void SetSortedItems(wxListBox* list, const std::vector<wxString>& items)
{
    if (!list) return;
#ifdef __WXGTK__
    if (IsSortedList(list) && !list->HasFlag(wxLB_SORT)) {
        std::vector<std::string> keys;
        keys.reserve(items.size());
        for (const wxString& item : items)
            keys.push_back(SortKeyOf(item.utf8_str().data()));
        wxArrayString sorted;
        sorted.reserve(items.size());
        for (size_t i : SortedOrder(keys))
            sorted.Add(items[i]);
        FixColumnWidth(list, sorted);
        GtkTreeModel* detached = nullptr;
        DetachModel(list, detached);
        list->Clear();
        list->Append(sorted);
        AttachModel(list, detached);
        return;
    }
#endif
    list->Clear();
    for (const wxString& item : items)
        list->Append(item);
}

CSortedListFiller::CSortedListFiller(wxListBox* list, Convert convert, size_t step)
    : list(list), convert(std::move(convert)), step(std::max<size_t>(step, 1)), timer(*this)
{
}

CSortedListFiller::~CSortedListFiller()
{
    // The list may already be gone with its window: the model is let go, not given back.
    timer.Stop();
#ifdef __WXGTK__
    if (detached) g_object_unref(detached);
#endif
}

void CSortedListFiller::Fill(std::vector<std::string> phrases)
{
    Cancel();
    if (!list) return;
    list->Clear();
    if (phrases.size() <= step) {
        std::vector<wxString> items;
        items.reserve(phrases.size());
        for (const std::string& phrase : phrases)
            items.push_back(convert(phrase));
        SetSortedItems(list, items);
        return;
    }
    pending = std::move(phrases);
    items.clear();
    keys.clear();
    items.reserve(pending.size());
    keys.reserve(pending.size());
    stage = Stage::Convert;
    done = 0;
    Schedule();
}

void CSortedListFiller::Cancel()
{
    timer.Stop();
    stage = Stage::Idle;
#ifdef __WXGTK__
    if (list) AttachModel(list, detached);
#endif
    pending.clear();
    items.clear();
    keys.clear();
    sorted.Clear();
}

void CSortedListFiller::Schedule()
{
    // A timer, not a queued call: queued calls made while the queue is processed run in the
    // same turn of the event loop, which would put all the steps back into one.
    timer.StartOnce(1);
}

void CSortedListFiller::Step()
{
    switch (stage) {
        case Stage::Idle:
            return;
        case Stage::Convert: {
            const size_t end = std::min(pending.size(), done + step);
            for (; done < end; ++done) {
                items.push_back(convert(pending[done]));
#ifdef __WXGTK__
                keys.push_back(SortKeyOf(items.back().utf8_str().data()));
#endif
            }
            if (done == pending.size()) {
                pending.clear();
                stage = Stage::Append;
#ifdef __WXGTK__
                if (IsSortedList(list) && !list->HasFlag(wxLB_SORT)) {
                    sorted.reserve(items.size());
                    for (size_t i : SortedOrder(keys))
                        sorted.Add(std::move(items[i]));
                    FixColumnWidth(list, sorted);
                } else
#endif
                {
                    for (wxString& item : items)
                        sorted.Add(std::move(item));
                }
                items.clear();
                keys.clear();
                done = 0;
            }
            break;
        }
        case Stage::Append: {
            const size_t end = std::min(sorted.size(), done + step);
            wxArrayString part;
            part.reserve(end - done);
            for (size_t i = done; i < end; ++i)
                part.Add(sorted[i]);
#ifdef __WXGTK__
            if (IsSortedList(list) && !list->HasFlag(wxLB_SORT)) DetachModel(list, detached);
#endif
            list->Append(part);
            done = end;
            if (done == sorted.size()) {
#ifdef __WXGTK__
                AttachModel(list, detached);
#endif
                sorted.Clear();
                stage = Stage::Idle;
                return;
            }
            break;
        }
    }
    Schedule();
}

}  // namespace talvero
