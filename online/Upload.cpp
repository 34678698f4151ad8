#include "online/Upload.h"

#include <cstdio>
#include <memory>

#include "base/TextFile.h"
#include "catalogue/Catalogue.h"
#include "dictionary/EntryTable.h"
#include "web/HttpCommon.h"

namespace talvero {

std::optional<LanguageCodes> SplitPairCode(std::string_view code)
{
    auto cut = [&](size_t fromLength, size_t toLength) {
        return LanguageCodes{std::string(code.substr(0, fromLength)),
                             std::string(code.substr(code.size() - toLength))};
    };
    switch (code.size()) {
        case 5:
            return cut(2, 2);
        case 8:
            return code.starts_with("zh") ? cut(5, 2) : cut(2, 5);
        case 11:
            return cut(5, 5);
        default:
            return std::nullopt;
    }
}

std::string UploadLanguageCode(int index, bool source)
{
    if (index < 0 || index >= kLanguageCount) return source ? "es" : "en";
    return Languages()[static_cast<size_t>(index)].dictionaryCode;
}

std::string UploadTarget(const std::string& original, const std::string& translation,
                         const LanguageCodes& codes, const std::string& userName,
                         const std::string& password)
{
    return std::string(kUploadPath) + "?texttotranslate=" + PercentEncode(original) +
           "&translation=" + PercentEncode(translation) + "&from=" + PercentEncode(codes.from) +
           "&to=" + PercentEncode(codes.to) + "&user_name_data=" + PercentEncode(userName) +
           "&password_data=" + PercentEncode(password);
}

CUploader::CUploader(Services services) : services(std::move(services)) {}

UploadResult CUploader::Send(const std::string& original, const std::string& translation,
                             const LanguageCodes& codes, const UploadAccount& account)
{
    UploadResult result;
    if (!account.Complete()) {
        result.error = "No user name or password for the online dictionary: nothing sent";
        return result;
    }
    const std::string url =
        services.uploadServerAddress +
        UploadTarget(original, translation, codes, account.userName, account.password);
    if (hooks.caption) hooks.caption->SetStatusText(kUploadingCaption);
    OnlineReply reply = OnlineGet(services, url, kUploadAgent, hooks);
    result.sent = true;
    result.read = reply.read;
    result.status = reply.status;
    result.stored = reply.read && reply.body.find(kUploadStoredMarker) != std::string::npos;
    result.error = reply.error;
    if (hooks.caption) hooks.caption->SetStatusText(UsualTitle(services));
    return result;
}

UploadResult UploadPair(CUploader& uploader, std::string_view pairCode, const std::string& original,
                        const std::string& translation, const UploadAccount& account)
{
    std::optional<LanguageCodes> codes = SplitPairCode(pairCode);
    if (!codes) {
        UploadResult result;
        result.error = "No language pair selected for the local dictionary: nothing sent";
        return result;
    }
    return uploader.Send(original, translation, *codes, account);
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void AppendLine(const File& file, std::string_view text)
{
    if (!file) return;
    std::fwrite(text.data(), 1, text.size(), file.get());
    std::fwrite(kLineEnd.data(), 1, kLineEnd.size(), file.get());
    std::fflush(file.get());
}

}  // namespace

struct BatchUpload::Files {
    EntryTable pairs;
    File originals;
    File translations;
};

BatchUpload::BatchUpload(const std::string& pairsFile, BatchUploadState& state,
                         const std::string& recordDir)
    : state(state), files(std::make_unique<Files>())
{
    state.lastPairsFile = pairsFile;
    // The pairs are read as a dictionary file is: plain files only (a directory, a pipe or a
    // device is refused without waiting), lines ending in LF or CR LF, an odd last line paired
    // with an empty translation.
    bool tooLarge = false;
    if (pairsFile.empty() || !files->pairs.AppendFile(pairsFile, tooLarge)) {
        report.error = tooLarge ? "The file is too large: " + pairsFile
                                : "Could not open the file: " + pairsFile;
        return;
    }
    report.opened = true;
    const std::string dir = recordDir.empty() ? std::string() : recordDir + "/";
    files->originals.reset(std::fopen((dir + kOriginalsFileName).c_str(), "w"));
    files->translations.reset(std::fopen((dir + kTranslationsFileName).c_str(), "w"));
}

BatchUpload::~BatchUpload() = default;

std::optional<UploadDialogFields> BatchUpload::Next()
{
    if (!report.opened || report.aborted || next >= files->pairs.size()) return std::nullopt;
    UploadDialogFields fields;
    fields.originalText = std::string(files->pairs.Original(next));
    fields.translatedText = std::string(files->pairs.Translation(next));
    fields.fromIndex = state.uploadFromIndex;
    fields.toIndex = state.uploadToIndex;
    fields.reverse = state.uploadReverse;
    fields.action = UploadDialogFields::Upload;
    ++report.shown;
    return fields;
}

BatchUpload::Answered BatchUpload::Answer(const UploadDialogFields& fields, bool ok,
                                          const UploadAccount& account)
{
    Answered answered;
    state.uploadFromIndex = fields.fromIndex;
    state.uploadToIndex = fields.toIndex;
    if (!ok) {  // Skip
        ++next;
        return answered;
    }
    state.uploadReverse = fields.reverse;
    if (fields.action == UploadDialogFields::Abort) {
        report.aborted = true;
        return answered;
    }
    const LanguageCodes codes{UploadLanguageCode(state.uploadFromIndex, true),
                              UploadLanguageCode(state.uploadToIndex, false)};
    answered.chosen = true;
    AppendLine(files->originals, fields.originalText);
    AppendLine(files->translations, fields.translatedText);
    ++report.chosen;
    if (account.Complete()) {
        answered.requests.push_back({fields.originalText, fields.translatedText, codes});
        if (state.uploadReverse)
            answered.requests.push_back(
                {fields.translatedText, fields.originalText, {codes.to, codes.from}});
    }
    if (fields.action != UploadDialogFields::Repeat) ++next;
    return answered;
}

void BatchUpload::Sent(const UploadResult& result)
{
    report.requests += result.sent ? 1 : 0;
    report.stored += result.stored ? 1 : 0;
}

BatchUploadReport RunBatchUpload(const std::string& pairsFile, BatchUploadState& state,
                                 IUploadDialog& dialog, CUploader& uploader,
                                 const UploadAccount& account,
                                 const std::function<void(const std::string&)>& speak,
                                 const std::string& recordDir)
{
    BatchUpload batch(pairsFile, state, recordDir);
    auto cancelled = [&] { return uploader.Hooks().cancelled && uploader.Hooks().cancelled(); };
    while (!cancelled()) {
        std::optional<UploadDialogFields> fields = batch.Next();
        if (!fields) break;
        const bool ok = dialog.Run(*fields);
        const BatchUpload::Answered answered = batch.Answer(*fields, ok, account);
        if (answered.chosen && speak) speak(fields->translatedText);
        for (size_t i = 0; i < answered.requests.size(); ++i) {
            if (i > 0 && cancelled()) break;
            const BatchUpload::Request& r = answered.requests[i];
            batch.Sent(uploader.Send(r.original, r.translation, r.codes, account));
        }
    }
    return batch.Report();
}

}  // namespace talvero
