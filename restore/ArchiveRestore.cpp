#include "restore/ArchiveRestore.h"

#include "core/AppStrings.h"
#include "core/UiInterfaces.h"
#include "restore/EntryPaths.h"
#include "restore/RestoreMessages.h"

#include <cstring>

namespace restore {

namespace {

enum class EntryKind
{
    None,
    File,
    Link
};

// The state of one read call, reached from the engine's callbacks through their caller pointer.
struct Session
{
    const RestoreRequest& request;
    IProgressView& view;
    bool restoring = false;
    ReadOutcome outcome;
    std::optional<RestoreTarget> target;
    std::vector<ArchiveItem>* listing = nullptr;

    EntryKind kind = EntryKind::None;
    std::string entryName;
    std::string relative;
    std::string linkTarget;
    ExistingRule rule = ExistingRule::Skip;
    std::uint64_t entrySize = 0;
    std::uint64_t entryDone = 0;
    bool writeFailed = false;
    std::string writeWhy;
    std::vector<bool> patternUsed; // per chosen name or mask: some entry matched it

    Session(const RestoreRequest& r, IProgressView& v) : request(r), view(v), patternUsed(r.patterns.size()) {}

    // Whether the entry is chosen; every name or mask that matches it counts as used.
    bool chosen(const std::string& path)
    {
        bool any = request.patterns.empty();
        for (std::size_t i = 0; i < request.patterns.size(); ++i) {
            if (nameChosen(path, request.patterns[i])) {
                patternUsed[i] = true;
                any = true;
            }
        }
        return any;
    }

    void problem(const std::string& text)
    {
        ++outcome.problems;
        view.ReportProblem(text);
    }
    bool stopAsked() const { return request.stopRequested && request.stopRequested(); }
};

std::string nameOf(const ZipReadEntry& entry)
{
    return std::string(entry.Name, std::strlen(entry.Name));
}

std::int32_t onListEntry(void* caller, const ZipReadEntry* entry)
{
    auto& s = *static_cast<Session*>(caller);
    s.listing->push_back({nameOf(*entry), entry->Size, entry->ModTime, entry->Flags, entry->Mode});
    return ZIP_READ_SKIP;
}

std::int32_t onTestEntry(void* caller, const ZipReadEntry* entry)
{
    auto& s = *static_cast<Session*>(caller);
    if (s.stopAsked()) {
        return ZIP_READ_STOP;
    }
    s.view.StartFile(nameOf(*entry), 100);
    s.view.SetZipPosition(static_cast<int>(entry->Index * 100 / std::max<std::uint64_t>(1, entry->EntryCount)));
    return (entry->Flags & ZIP_ENTRY_DIRECTORY) != 0 ? ZIP_READ_SKIP : ZIP_READ_TEST;
}

std::int32_t onRestoreEntry(void* caller, const ZipReadEntry* entry)
{
    auto& s = *static_cast<Session*>(caller);
    if (s.stopAsked()) {
        return ZIP_READ_STOP;
    }
    s.kind = EntryKind::None;
    s.entryName = std::string(entry->Name, entry->NameLength);
    const std::optional<std::string> relative =
        entry->NameLength == std::strlen(entry->Name) ? safeRelativePath(s.entryName) : std::nullopt;
    if (relative && !s.chosen(*relative)) {
        return ZIP_READ_SKIP;
    }
    if (!relative) {
        s.problem(restoreText(sRestoreOutside, {s.entryName}));
        return ZIP_READ_SKIP;
    }
    s.relative = *relative;
    s.view.SetZipPosition(static_cast<int>(entry->Index * 100 / std::max<std::uint64_t>(1, entry->EntryCount)));
    const std::uint32_t mode = (entry->Flags & ZIP_ENTRY_HAS_MODE) != 0 ? entry->Mode : 0;
    std::string why;
    if ((entry->Flags & ZIP_ENTRY_DIRECTORY) != 0) {
        if (!s.target->makeFolder(s.relative, mode, entry->ModTime, why)) {
            s.problem(restoreText(sRestoreWriteFailed, {s.entryName, why}));
        }
        return ZIP_READ_SKIP;
    }
    s.rule = s.request.rule;
    if (s.target->exists(s.relative)) {
        if (s.rule == ExistingRule::Ask) {
            s.rule = s.request.questions != nullptr ? s.request.questions->askExisting(s.target->fullPath(s.relative))
                                                    : ExistingRule::Skip;
        }
        if (s.rule == ExistingRule::Skip || s.rule == ExistingRule::Ask) {
            ++s.outcome.skipped;
            s.view.ReportNotice(restoreText(sRestoreExists, {s.target->fullPath(s.relative)}));
            return ZIP_READ_SKIP;
        }
    }
    s.view.StartFile(s.relative, 100);
    s.entrySize = entry->Size;
    s.entryDone = 0;
    s.writeFailed = false;
    if ((entry->Flags & ZIP_ENTRY_SYMLINK) != 0) {
        s.kind = EntryKind::Link;
        s.linkTarget.clear();
        return ZIP_READ_EXTRACT;
    }
    if (!s.target->beginFile(s.relative, why)) {
        s.problem(restoreText(sRestoreWriteFailed, {s.entryName, why}));
        return ZIP_READ_SKIP;
    }
    s.kind = EntryKind::File;
    return ZIP_READ_EXTRACT;
}

std::int32_t onRestoreData(void* caller, const void* data, std::size_t size)
{
    auto& s = *static_cast<Session*>(caller);
    if (s.stopAsked()) {
        return 1;
    }
    if (s.kind == EntryKind::Link) {
        s.linkTarget.append(static_cast<const char*>(data), size);
        return 0;
    }
    if (!s.writeFailed && !s.target->write(data, size, s.writeWhy)) {
        s.writeFailed = true;
    }
    s.entryDone += size;
    if (s.entrySize > 0) {
        s.view.SetFilePosition(static_cast<int>(std::min<std::uint64_t>(s.entryDone, s.entrySize) * 100 / s.entrySize));
    }
    return 0;
}

std::int32_t onTestDone(void* caller, const ZipReadEntry* entry, std::int32_t result, const char* text)
{
    auto& s = *static_cast<Session*>(caller);
    if (entry == nullptr) {
        s.outcome.unreadable = true;
        s.outcome.archiveProblem = text;
        return 0;
    }
    if (result == ZIP_ENTRY_OK) {
        ++s.outcome.done;
    } else {
        s.problem(restoreText(sTestBadEntry, {s.request.archive, nameOf(*entry), text}));
    }
    s.view.FileComplete();
    return s.stopAsked() ? 1 : 0;
}

std::int32_t onRestoreDone(void* caller, const ZipReadEntry* entry, std::int32_t result, const char* text)
{
    auto& s = *static_cast<Session*>(caller);
    if (entry == nullptr) {
        s.outcome.unreadable = true;
        s.outcome.archiveProblem = text;
        return 0;
    }
    const EntryKind kind = s.kind;
    s.kind = EntryKind::None;
    if (result != ZIP_ENTRY_OK) {
        s.target->abortFile();
        s.problem(restoreText(sRestoreDamaged, {s.request.archive, s.entryName, text}));
        return 0;
    }
    std::string why;
    const std::uint32_t mode = (entry->Flags & ZIP_ENTRY_HAS_MODE) != 0 ? entry->Mode : 0;
    if (kind == EntryKind::Link) {
        if (!linkStaysInside(s.relative, s.linkTarget)) {
            s.problem(restoreText(sRestoreLinkOutside, {s.entryName}));
        } else if (!s.target->makeLink(s.relative, s.linkTarget, s.rule, why)) {
            s.problem(restoreText(sRestoreWriteFailed, {s.entryName, why}));
        } else {
            ++s.outcome.done;
        }
        return 0;
    }
    std::string finalName;
    if (s.writeFailed) {
        s.target->abortFile();
        s.problem(restoreText(sRestoreWriteFailed, {s.entryName, s.writeWhy}));
    } else if (!s.target->commitFile(mode, entry->ModTime, s.rule, finalName, why)) {
        s.problem(restoreText(sRestoreWriteFailed, {s.entryName, why}));
    } else {
        ++s.outcome.done;
    }
    s.view.FileComplete();
    return 0;
}

std::int32_t onAskPassword(void* caller, const ZipReadEntry*, char* buffer, std::int32_t size)
{
    auto& s = *static_cast<Session*>(caller);
    if (s.request.questions == nullptr || size <= 0) {
        return 0;
    }
    const std::optional<std::string> answer = s.request.questions->askPassword(s.request.archive);
    if (!answer || answer->empty()) {
        return 0;
    }
    const std::size_t length = std::min(answer->size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, answer->data(), length);
    buffer[length] = '\0';
    return 1;
}

// Runs one read call; false when the engine has no read export (reported as unreadable).
void runRead(const ZipEngineLibrary& engine, Session& s, ZipReadEntryFn entry, ZipReadDataFn data, ZipReadDoneFn done,
             int flags)
{
    if (engine.Read() == nullptr) {
        s.outcome.unreadable = true;
        s.outcome.archiveProblem = restoreText(sNoReadEngine, {engine.ReadError()});
        return;
    }
    ZipReadParams params{};
    params.Version = ZIP_READ_INTERFACE_VERSION;
    params.Flags = flags;
    params.ArchivePath = s.request.archive.c_str();
    params.Password = s.request.password.empty() ? nullptr : s.request.password.c_str();
    params.Caller = &s;
    params.Entry = entry;
    params.Data = data;
    params.Done = done;
    params.AskPassword = onAskPassword;
    params.Check = ZIP_READ_CHECK_VALUE;
    const std::int32_t result = engine.Read()(&params);
    if (result == ZIP_READ_STOPPED) {
        s.outcome.stopped = true;
    } else if (result == ZIP_READ_UNREADABLE || result == ZIP_READ_BAD_PARAMS) {
        s.outcome.unreadable = true;
        if (s.outcome.archiveProblem.empty()) {
            s.outcome.archiveProblem = "the engine refused the request";
        }
    }
}

void reportUnreadable(Session& s)
{
    if (s.outcome.unreadable) {
        s.view.ReportProblem(restoreText(sArchiveUnreadable, {s.request.archive, s.outcome.archiveProblem}));
    }
}

} // namespace

bool listArchive(const ZipEngineLibrary& engine, const std::string& archive, std::vector<ArchiveItem>& items,
                 std::string& why)
{
    TNullProgressView view;
    RestoreRequest request;
    request.archive = archive;
    Session s(request, view);
    s.listing = &items;
    items.clear();
    runRead(engine, s, onListEntry, nullptr, onTestDone, 0);
    if (s.outcome.unreadable) {
        why = restoreText(sArchiveUnreadable, {archive, s.outcome.archiveProblem});
        return false;
    }
    return true;
}

ReadOutcome testArchive(const ZipEngineLibrary& engine, const RestoreRequest& request, IProgressView& view)
{
    Session s(request, view);
    view.SetBatchMax(1);
    view.StartSection(AppString(sTesting), request.archive, std::string(), 100);
    runRead(engine, s, onTestEntry, nullptr, onTestDone, 0);
    reportUnreadable(s);
    view.ArchiveComplete();
    view.SetBatchPosition(1);
    return s.outcome;
}

ReadOutcome restoreArchive(const ZipEngineLibrary& engine, const RestoreRequest& request, IProgressView& view)
{
    Session s(request, view);
    s.restoring = true;
    s.target.emplace(request.destination);
    view.SetBatchMax(1);
    // The view shows "directory -> archive"; a restore goes the other way.
    view.StartSection(AppString(sRestoring), request.destination, request.archive, 100);
    runRead(engine, s, onRestoreEntry, onRestoreData, onRestoreDone, 0);
    s.target->abortFile();
    s.target->finishFolders();
    reportUnreadable(s);
    // A name or mask asked for that matched nothing is not a restore that went well.
    for (std::size_t i = 0; i < request.patterns.size() && !s.outcome.unreadable && !s.outcome.stopped; ++i) {
        if (!s.patternUsed[i]) {
            s.problem(restoreText(sRestoreNoMatch, {request.patterns[i], request.archive}));
        }
    }
    view.ArchiveComplete();
    view.SetBatchPosition(1);
    return s.outcome;
}

} // namespace restore
