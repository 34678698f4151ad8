// What keeps start-up and long lists quick: the pair lists measured once, the near-match list
// filled in steps that never hold the window, and the dictionary loaded while the window appears.
#include <wx/choice.h>
#include <wx/listbox.h>

#include "app/gui/TalveroDlg.h"
#include "res/Templates.h"
#include "ui/DialogBuilder.h"
#include "ui/ListSpeed.h"
#include "ui/MessageBox.h"

void CTalveroDlg::SetUpListsForSpeed()
{
    for (wxChoice* combo : pairCombos)
        FixChoiceWidth(combo);
    PrepareSortedList(nearList);
    nearFiller = std::make_unique<CSortedListFiller>(
        nearList, [](const std::string& phrase) { return FromPhrase(phrase); });
}

void CTalveroDlg::FillNearList(std::vector<std::string> phrases)
{
    nearFiller->Fill(std::move(phrases));
}

void CTalveroDlg::ClearNearList()
{
    nearFiller->Cancel();
    nearList->Clear();
}

void CTalveroDlg::StartDictionaryLoad()
{
    // Whatever uses the dictionary before the load is done waits for it. A file that cannot be
    // opened is reported now, as a load here would; what only the load finds, once it is done.
    auto later = [this](std::vector<std::string> messages) {
        CallAfter([this, messages] {
            for (const std::string& message : messages)
                TalveroMessageBox(FromPhrase(message), res::kAppName, wxOK, this);
        });
    };
    for (const std::string& message : parts.dictionary->LoadInBackground(
             settings.localDictionaryFile, settings.personalDictionaryFile, later))
        TalveroMessageBox(FromPhrase(message), res::kAppName, wxOK, this);
}
