#pragma once
// Uploading phrase pairs to the online dictionary database: the request, the single upload of
// an added pair, and the batch upload of a translation-pairs file pair by pair.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "online/OnlineRequest.h"
#include "settings/Services.h"

namespace talvero {

inline constexpr const char* kUploadPath = "/upload_es.php";
inline constexpr const char* kUploadAgent = "Upload new translations";
inline constexpr const char* kUploadingCaption = "Uploading new translation...";
inline constexpr const char* kUploadStoredMarker = "Result:OK";
inline constexpr const char* kOriginalsFileName = "originals.txt";
inline constexpr const char* kTranslationsFileName = "translations.txt";

struct LanguageCodes {
    std::string from;
    std::string to;
};

// Source and target code of a local-dictionary pair code, cut by its length: "es_en",
// "zh-CN_es", "es_zh-TW", "zh-CN_zh-TW". Nothing for a code of any other length.
std::optional<LanguageCodes> SplitPairCode(std::string_view pairCode);

// Code sent for a language index of the upload dialog (0..23); outside that range the source is
// "es" and the target "en".
std::string UploadLanguageCode(int index, bool source);

// Path and query of one upload. Every value is percent-encoded (bytes of the code page), so that
// an "&" or "=" in a phrase stays inside its own field.
std::string UploadTarget(const std::string& original, const std::string& translation,
                         const LanguageCodes& codes, const std::string& userName,
                         const std::string& password);

struct UploadAccount {
    std::string userName;
    std::string password;
    bool Complete() const { return !userName.empty() && !password.empty(); }
};

struct UploadResult {
    bool sent = false;    // a request was made
    bool read = false;    // its reply was read
    bool stored = false;  // the reply says the server stored the pair
    unsigned long status = 0;
    std::string error;  // why nothing was sent, or why the request failed
};

// Sends uploads to the services' upload server. The caption hook shows "Uploading new
// translation...", the request's progress texts, then the usual title.
class CUploader {
public:
    explicit CUploader(Services services);
    OnlineHooks& Hooks() { return hooks; }
    const Services& GetServices() const { return services; }

    // One request; nothing is sent (and the caption stays) when the account is incomplete.
    UploadResult Send(const std::string& original, const std::string& translation,
                      const LanguageCodes& codes, const UploadAccount& account);

private:
    Services services;
    OnlineHooks hooks;
};

// The single upload of a pair added to the dictionary of `pairCode` (the local pair).
UploadResult UploadPair(CUploader& uploader, std::string_view pairCode, const std::string& original,
                        const std::string& translation, const UploadAccount& account);

// --- Batch upload -------------------------------------------------------------------------------

// What the dialog "Upload dictionary file" shows and gives back.
struct UploadDialogFields {
    int32_t fromIndex = 0;
    int32_t toIndex = 0;
    std::string originalText;
    std::string translatedText;
    enum Action : int { Upload = 0, Abort = 1, Repeat = 2 };
    int action = Upload;
    bool reverse = false;
};

class IUploadDialog {
public:
    virtual ~IUploadDialog() = default;
    // Shows the pair; true when the dialog was left with OK ("Upload", "Abort", "Repeat", with
    // `action` telling which), false for "Skip". The list selections are kept either way.
    virtual bool Run(UploadDialogFields& fields) = 0;
};

// Batch state the window keeps; the two indexes are settings.
struct BatchUploadState {
    int32_t uploadFromIndex = 0;
    int32_t uploadToIndex = 0;
    bool uploadReverse = true;
    std::string lastPairsFile;
};

struct BatchUploadReport {
    bool opened = false;  // the pairs file could be read
    int shown = 0;        // times the dialog was shown
    int chosen = 0;       // pairs chosen for upload (a repetition counts again)
    int requests = 0;
    int stored = 0;
    bool aborted = false;
    std::string error;
};

// The batch upload one step at a time, for a caller that shows the dialog on its own thread and
// sends the requests elsewhere. Next gives the fields of the next dialog; Answer takes the
// dialog's answer back, records a chosen pair and says what to send; Sent counts each result.
class BatchUpload {
public:
    BatchUpload(const std::string& pairsFile, BatchUploadState& state,
                const std::string& recordDir = {});
    ~BatchUpload();
    BatchUpload(const BatchUpload&) = delete;
    BatchUpload& operator=(const BatchUpload&) = delete;

    // Nothing once every pair was shown, after an abort, or when the file could not be read.
    std::optional<UploadDialogFields> Next();
    struct Request {
        std::string original;
        std::string translation;
        LanguageCodes codes;
    };
    struct Answered {
        bool chosen = false;            // the pair was chosen: its translation is spoken
        std::vector<Request> requests;  // in order; the reverse one only after the first
    };
    // `ok` is false for "Skip".
    Answered Answer(const UploadDialogFields& fields, bool ok, const UploadAccount& account);
    void Sent(const UploadResult& result);
    const BatchUploadReport& Report() const { return report; }

private:
    struct Files;
    BatchUploadState& state;
    BatchUploadReport report;
    std::unique_ptr<Files> files;
    uint32_t next = 0;
};

// Reads `pairsFile` as the dictionary loader reads a dictionary file and shows each pair in the
// dialog. Each pair chosen for upload is handed to `speak`, recorded in "originals.txt" and
// "translations.txt" in `recordDir` (emptied first) and, with a complete account, sent (and
// sent reversed when the reverse box was ticked). Stops early when the uploader's cancel hook
// says so. Nothing is written when the pairs file cannot be read.
BatchUploadReport RunBatchUpload(const std::string& pairsFile, BatchUploadState& state,
                                 IUploadDialog& dialog, CUploader& uploader,
                                 const UploadAccount& account,
                                 const std::function<void(const std::string&)>& speak,
                                 const std::string& recordDir = {});

}  // namespace talvero
