#include "ui/ListSpeed.h"

#include <wx/choice.h>
#include <wx/listbox.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

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

void SetSortedItems(wxListBox* list, const std::vector<wxString>& items)
{
    if (!list) return;
#ifdef __WXGTK__
    if (IsSortedList(list) && !list->HasFlag(wxLB_SORT)) {
        // The sorted list box puts each new item before the first one whose key is not
        // smaller: ascending keys, and among equal keys the later item first.
        std::vector<std::string> keys;
        keys.reserve(items.size());
        size_t longest = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            const wxScopedCharBuffer utf8 = items[i].utf8_str();
            keys.push_back(SortKeyOf(utf8.data()));
            if (items[i].length() > items[longest].length()) longest = i;
        }
        std::vector<size_t> order(items.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::sort(order.begin(), order.end(), [&keys](size_t a, size_t b) {
            const int c = std::strcmp(keys[a].c_str(), keys[b].c_str());
            return c != 0 ? c < 0 : a > b;
        });
        wxArrayString sorted;
        sorted.reserve(items.size());
        for (size_t i : order)
            sorted.Add(items[i]);

        // Rows are not measured one by one: the column is as wide as the longest items need,
        // measured for the few longest.
        GtkTreeViewColumn* column = gtk_tree_view_get_column(list->m_treeview, 0);
        if (column && !items.empty()) {
            std::vector<size_t> byLength(items.size());
            std::iota(byLength.begin(), byLength.end(), size_t{0});
            const size_t measured = std::min<size_t>(32, items.size());
            std::partial_sort(
                byLength.begin(), byLength.begin() + measured, byLength.end(),
                [&items](size_t a, size_t b) { return items[a].length() > items[b].length(); });
            PangoLayout* layout =
                gtk_widget_create_pango_layout(GTK_WIDGET(list->m_treeview), nullptr);
            int widest = 0;
            for (size_t k = 0; k < measured; ++k) {
                const wxScopedCharBuffer utf8 = items[byLength[k]].utf8_str();
                pango_layout_set_text(layout, utf8.data(), -1);
                int w = 0, h = 0;
                pango_layout_get_pixel_size(layout, &w, &h);
                widest = std::max(widest, w);
            }
            g_object_unref(layout);
            // What a row adds to its text: the cell's padding on both sides and the space the
            // view keeps between columns.
            gint xpad = 0, separator = 0;
            gtk_widget_style_get(GTK_WIDGET(list->m_treeview), "horizontal-separator", &separator,
                                 nullptr);
            GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column));
            if (cells) {
                gtk_cell_renderer_get_padding(GTK_CELL_RENDERER(cells->data), &xpad, nullptr);
                g_list_free(cells);
            }
            gtk_tree_view_column_set_fixed_width(column, widest + 2 * xpad + separator);
        }

        // Without the model attached the view does no work per row.
        GtkTreeModel* model = gtk_tree_view_get_model(list->m_treeview);
        g_object_ref(model);
        gtk_tree_view_set_model(list->m_treeview, nullptr);
        list->Clear();
        list->Append(sorted);
        gtk_tree_view_set_model(list->m_treeview, model);
        g_object_unref(model);
        return;
    }
#endif
    list->Clear();
    for (const wxString& item : items)
        list->Append(item);
}
