#pragma once
// The user interface's templates as data: string table and the control tables of the
// dialogs (ids, kinds, texts). The window layer builds its controls from these tables, so a test
// can check every control against them. No GUI code here.
#include <span>

#include "res/Ids.h"

namespace talvero {

namespace res {

inline constexpr const char* kAppName = "Talvero";

enum class Kind {
    Label,          // static text (id -1)
    Group,          // group box (id -1)
    Icon,           // static icon (id -1)
    Edit,           // single-line edit
    ReadOnlyEdit,   // single-line edit, read-only
    PasswordEdit,   // single-line edit that hides its characters
    MultiEdit,      // multi-line edit, Enter inserts a line break
    ReadOnlyMulti,  // multi-line edit, read-only
    RichEdit,       // multi-line rich edit, editable
    ReadOnlyRich,   // multi-line rich edit, read-only
    Button,
    DefaultButton,
    Check,
    DropList,        // drop-down list without edit field
    SortedDropList,  // the same, kept sorted
    DropDown,        // drop-down with an edit field
    SortedListBox,   // list box that keeps its items sorted
    Trackbar,        // horizontal slider
};

struct Control {
    int id;  // -1 for labels and groups
    Kind kind;
    const char* text;  // label or caption (UTF-8); "" for none
    bool hidden;
    const char* name;  // accessible name for controls without a label of their own, or nullptr
};

struct Dialog {
    int id;
    const char* caption;
    int widthDu;  // size in dialog units
    int heightDu;
    std::span<const Control> controls;
};

const Dialog& MainDialog();
const Dialog& DelayDialog();
const Dialog& AboutDialog();
const Dialog& UploadDictionaryDialog();
const Dialog& OptionsDialog();
const Dialog& ConfirmationDialog();
const Dialog& VoiceSelectionDialog();
const Dialog& TrainingDialog();

// The control of `dialog` with `id`, or nullptr.
const Control* FindControl(const Dialog& dialog, int id);

// String table; "" for an unknown id.
const char* LoadString(int id);

// Entries of the punctuation pattern list 1065, in order (UTF-8).
std::span<const char* const> PunctuationPatterns();

// Entries of the options dialog's banner source list 1054, in order.
std::span<const char* const> BannerSourceNames();

}  // namespace res

}  // namespace talvero
