#pragma once
// "Upload dictionary file" (dialog 138): one pair of a translation-pairs file, its languages and
// whether to upload it, skip it, repeat it or abort the batch.
#include <cstdint>
#include <string>

#include <wx/dialog.h>

#include "online/Upload.h"

class wxCheckBox;
class wxChoice;
class wxTextCtrl;

namespace talvero {

class CUploadDictionaryDlg : public wxDialog {
public:
    explicit CUploadDictionaryDlg(wxWindow* parent);

    int32_t fromIndex = 0;
    int32_t toIndex = 0;
    std::string originalText;
    std::string translatedText;
    int action = UploadDialogFields::Upload;
    bool reverse = false;

    // Selects fromIndex and toIndex in the lists of the 24 languages; shows the pair.
    bool TransferDataToWindow() override;
    // Takes the edits and the check box back (the list selections are stored as they change).
    bool TransferDataFromWindow() override;

private:
    void OnUpload(wxCommandEvent& event);
    void OnRepeat(wxCommandEvent& event);
    void OnAbort(wxCommandEvent& event);
    void OnSkip(wxCommandEvent& event);
    void OnFromChanged(wxCommandEvent& event);
    void OnToChanged(wxCommandEvent& event);
    void CloseWithOk(int withAction);

    wxChoice* fromList = nullptr;
    wxChoice* toList = nullptr;
    wxCheckBox* reverseBox = nullptr;
    wxTextCtrl* originalEdit = nullptr;
    wxTextCtrl* translationEdit = nullptr;

    wxDECLARE_EVENT_TABLE();
};

// Runs the dialog for one pair of the batch (the window's IUploadDialog).
class CUploadDialogRunner : public IUploadDialog {
public:
    explicit CUploadDialogRunner(wxWindow* parent) : parent(parent) {}
    bool Run(UploadDialogFields& fields) override;

private:
    wxWindow* parent;
};

}  // namespace talvero
