#pragma once
// TZipComponent: the settings of one add operation, the engine call that carries it out, the
// engine's callbacks turned into events, and the directory of the archive named in ZipFileName.
//
// Single-threaded: every member, event and callback runs on the thread that calls Add or sets
// ZipFileName. Add lets no error escape but the silent stop: it reports numbered messages (ReportMessage) and
// leaves its outcome in ProcessedCount, ErrCode and Message.

#include "zipcomp/VolumeService.h"
#include "zipcomp/ZipDirEntries.h"
#include "zipcomp/ZipMessages.h"
#include "zipcomp/ZipTypes.h"
#include "zipengine/ZipEngineApi.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IPrompter;
class IEventPump;
class ZipEngineLibrary;
class ZipDirReader;

class TZipComponent
{
public:
    // Events. Every handler gets the component as Sender; an empty function is "no handler".
    using TNotifyEvent = std::function<void(TZipComponent& Sender)>;
    using TProgressEvent = std::function<void(TZipComponent& Sender, ProgressType ProgrType,
                                              const std::string& Filename, std::int64_t FileSize)>;
    using TMessageEvent = std::function<void(TZipComponent& Sender, std::int32_t ErrCode, const std::string& Message)>;
    using TSetNewNameEvent = std::function<void(TZipComponent& Sender, std::string& OldFileName, bool& IsChanged)>;
    using TPasswordErrorEvent =
        std::function<void(TZipComponent& Sender, bool IsZipAction, std::string& NewPassword,
                           const std::string& ForFile, std::uint32_t& RepeatCount, TPasswordButton& Action)>;
    using TCRC32ErrorEvent = std::function<void(TZipComponent& Sender, const std::string& ForFile,
                                                std::uint32_t FoundCRC, std::uint32_t ExpectedCRC, bool& DoExtract)>;
    using TExtractOverwriteEvent = std::function<void(TZipComponent& Sender, const std::string& ForFile, bool IsOlder,
                                                      bool& DoOverwrite, std::int32_t DirIndex)>;
    using TExtractSkippedEvent = std::function<void(TZipComponent& Sender, const std::string& ForFile,
                                                    UnZipSkipTypes SkipType, std::int32_t ExtError)>;
    using TCopyZipOverwriteEvent =
        std::function<void(TZipComponent& Sender, const std::string& ForFile, bool& DoOverwrite)>;
    using TGetNextDiskEvent = std::function<void(TZipComponent& Sender, std::int32_t DiskSeqNo, std::int32_t DiskTotal,
                                                 const std::string& Drive, bool& AbortAction)>;
    using TStatusDiskEvent =
        std::function<void(TZipComponent& Sender, std::int32_t PreviousDisk, const std::string& PreviousFile,
                           TZipDiskStatus Status, TZipDiskAction& Action)>;
    using TFileCommentEvent = std::function<void(TZipComponent& Sender, const std::string& ForFile,
                                                 std::string& FileComment, bool& IsChanged)>;
    using TNewNameEvent = std::function<void(TZipComponent& Sender, int SeqNo, const ZipDirEntry& ZipEntry)>;

    // The version text of the component.
    static constexpr const char* kVersionInfo = "1.60 N";
    // Largest Password kept by the setter.
    static constexpr std::size_t kMaxPassword = 255;
    static constexpr std::uint32_t kMaxPasswordReqCount = 15;

    // prompter: message boxes and password/volume questions (null: none, nothing is shown and
    // questions get the unattended answer). pump: processing of pending user-interface events
    // (null: nothing). Neither is owned. windowHandle: handed to the engine for its own windows.
    explicit TZipComponent(IPrompter* prompter = nullptr, IEventPump* pump = nullptr, void* windowHandle = nullptr);
    ~TZipComponent();
    TZipComponent(const TZipComponent&) = delete;
    TZipComponent& operator=(const TZipComponent&) = delete;

    // ---- published properties (defaults set by the constructor) ----
    bool Verbose() const { return m_verbose; }
    void SetVerbose(bool value) { m_verbose = value; }
    bool Trace() const { return m_trace; }
    void SetTrace(bool value) { m_trace = value; }
    std::int32_t AddCompLevel() const { return m_addCompLevel; }
    void SetAddCompLevel(std::int32_t value) { m_addCompLevel = value; }
    AddOpts AddOptions() const { return m_addOptions; }
    void SetAddOptions(AddOpts value) { m_addOptions = value; }
    const std::string& ExtrBaseDir() const { return m_extrBaseDir; }
    void SetExtrBaseDir(const std::string& value) { m_extrBaseDir = value; }
    ExtrOpts ExtrOptions() const { return m_extrOptions; }
    void SetExtrOptions(ExtrOpts value) { m_extrOptions = value; }
    SFXOpts SFXOptions() const { return m_sfxOptions; }
    void SetSFXOptions(SFXOpts value) { m_sfxOptions = value; }
    // File specifications to add, one per line; the list is cleared by every Add.
    std::vector<std::string>& FSpecArgs() { return m_fspecArgs; }
    const std::vector<std::string>& FSpecArgs() const { return m_fspecArgs; }
    void SetFSpecArgs(const std::vector<std::string>& value) { m_fspecArgs = value; }
    bool Unattended() const { return m_unattended; }
    void SetUnattended(bool value) { m_unattended = value; }
    const std::string& ZipFileName() const { return m_zipFileName; }
    // Stores the name and reads the archive's directory, every time (also for the same name).
    void SetZipFileName(const std::string& value);
    const std::string& Password() const { return m_password; }
    // Keeps at most kMaxPassword characters.
    void SetPassword(const std::string& value);
    const std::string& SFXPath() const { return m_sfxPath; }
    void SetSFXPath(const std::string& value) { m_sfxPath = value; }
    const std::string& DLLDirectory() const { return m_dllDirectory; }
    // Strips one trailing "/".
    void SetDLLDirectory(const std::string& value);
    OvrOpts SFXOverWriteMode() const { return m_sfxOverWriteMode; }
    void SetSFXOverWriteMode(OvrOpts value) { m_sfxOverWriteMode = value; }
    const std::string& SFXCaption() const { return m_sfxCaption; }
    void SetSFXCaption(const std::string& value) { m_sfxCaption = value; }
    const std::string& SFXDefaultDir() const { return m_sfxDefaultDir; }
    void SetSFXDefaultDir(const std::string& value) { m_sfxDefaultDir = value; }
    const std::string& SFXCommandLine() const { return m_sfxCommandLine; }
    void SetSFXCommandLine(const std::string& value) { m_sfxCommandLine = value; }
    const std::string& SFXMessage() const { return m_sfxMessage; }
    void SetSFXMessage(const std::string& value) { m_sfxMessage = value; }
    const std::string& TempDir() const { return m_tempDir; }
    void SetTempDir(const std::string& value) { m_tempDir = value; }
    std::int32_t KeepFreeOnDisk1() const { return m_keepFreeOnDisk1; }
    void SetKeepFreeOnDisk1(std::int32_t value) { m_keepFreeOnDisk1 = value; }
    std::int32_t MaxVolumeSize() const { return m_maxVolumeSize; }
    void SetMaxVolumeSize(std::int32_t value) { m_maxVolumeSize = value; }
    std::int32_t MinFreeVolumeSize() const { return m_minFreeVolumeSize; }
    void SetMinFreeVolumeSize(std::int32_t value) { m_minFreeVolumeSize = value; }
    bool ConfirmErase() const { return m_confirmErase; }
    void SetConfirmErase(bool value) { m_confirmErase = value; }
    CodePageOpts CodePage() const { return m_codePage; }
    void SetCodePage(CodePageOpts value) { m_codePage = value; }
    DeleteOpts HowToDelete() const { return m_howToDelete; }
    void SetHowToDelete(DeleteOpts value) { m_howToDelete = value; }
    std::string VersionInfo() const { return kVersionInfo; }
    void SetVersionInfo(const std::string& /*ignored*/) {}
    // The icon put into a self-extractor, as the bytes of an icon file (empty: none).
    const std::vector<std::uint8_t>& SFXIcon() const { return m_sfxIcon; }
    void SetSFXIcon(const std::vector<std::uint8_t>& value) { m_sfxIcon = value; }
    AddStoreExts AddStoreSuffixes() const { return m_addStoreSuffixes; }
    void SetAddStoreSuffixes(AddStoreExts value) { m_addStoreSuffixes = value; }
    std::uint32_t PasswordReqCount() const { return m_passwordReqCount; }
    // Values above 15 are stored as 15.
    void SetPasswordReqCount(std::uint32_t value);
    std::vector<std::string>& FSpecArgsExcl() { return m_fspecArgsExcl; }
    const std::vector<std::string>& FSpecArgsExcl() const { return m_fspecArgsExcl; }
    void SetFSpecArgsExcl(const std::vector<std::string>& value) { m_fspecArgsExcl = value; }
    bool UseDirOnlyEntries() const { return m_useDirOnlyEntries; }
    void SetUseDirOnlyEntries(bool value) { m_useDirOnlyEntries = value; }
    const std::string& RootDir() const { return m_rootDir; }
    // A non-empty value is stored with a trailing "/".
    void SetRootDir(const std::string& value);
    // Rebuild: the next Add writes the archive from nothing. What the archive holds now plays no part
    // (setting ZipFileName reads no directory, the engine keeps no entry of it), but it is replaced
    // only once the new archive is complete, and stays when nothing was added.
    bool RebuildArchive() const { return m_rebuildArchive; }
    void SetRebuildArchive(bool value) { m_rebuildArchive = value; }
    // Verify: the engine reads the new archive back before it replaces the old one.
    bool VerifyArchive() const { return m_verifyArchive; }
    void SetVerifyArchive(bool value) { m_verifyArchive = value; }
    // Whether a directory read keeps the entries in Entries (the default). A caller that never looks
    // at them (a batch run) turns it off: the read still checks the whole directory, reports what it
    // finds and raises OnNewName for every entry, but Entries stays empty, so an update of a large
    // archive does not hold its directory here while the engine holds it too.
    bool KeepEntries() const { return m_keepEntries; }
    void SetKeepEntries(bool value) { m_keepEntries = value; }
    // Whether a read that keeps no entries and raises no OnNewName still walks every entry (the
    // default). Off, it checks the end records, where the directory lies and its first header, and
    // leaves the entries to the engine, which reads the directory anyway before an update and refuses
    // a damaged one, leaving it as it is: the directory is then read once per Add, not twice.
    // SkippedDirCount counts only the entries walked. Volume sets are always walked.
    bool CheckEntries() const { return m_checkEntries; }
    void SetCheckEntries(bool value) { m_checkEntries = value; }

    // ---- events ----
    TNotifyEvent OnDirUpdate;
    TProgressEvent OnProgress;
    TMessageEvent OnMessage;
    TSetNewNameEvent OnSetNewName;
    TNewNameEvent OnNewName;
    TCRC32ErrorEvent OnCRC32Error;
    TPasswordErrorEvent OnPasswordError;
    TExtractOverwriteEvent OnExtractOverwrite;
    TExtractSkippedEvent OnExtractSkipped;
    TCopyZipOverwriteEvent OnCopyZipOverwrite;
    TGetNextDiskEvent OnGetNextDisk;
    TStatusDiskEvent OnStatusDisk;
    TFileCommentEvent OnFileComment;

    // ---- public state ----
    // Set by the user (typically inside OnProgress) to stop the running operation; cleared when Add
    // starts and when it ends.
    bool Cancel() const { return m_cancel; }
    void SetCancel(bool value) { m_cancel = value; }
    bool Busy() const { return m_busy; }
    std::int32_t ErrCode() const { return m_errCode; }
    std::int32_t EngineErrCode() const { return m_engineErrCode; }
    const std::string& Message() const { return m_message; }
    std::int32_t ProcessedCount() const { return m_processedCount; }
    // Whether the last Add put a new archive in place: also when it added entries of empty folders
    // only, which ProcessedCount (files) does not count.
    bool ArchiveReplaced() const { return m_archiveReplaced; }
    // Results of the last directory read.
    const ZipDirEntries& Entries() const { return m_entries; }
    const std::string& ArchiveComment() const { return m_archiveComment; }
    std::int64_t StubSize() const { return m_stubSize; }
    std::int32_t SkippedDirCount() const { return m_skippedDirCount; }
    std::int64_t EndRecordOffset() const { return m_endRecordOffset; }
    // Last total byte count announced by the engine.
    std::int64_t AnnouncedTotalSize() const { return m_announcedTotalSize; }
    // The loaded engine library's handle; null when none.
    void* EngineHandle() const;

    // ---- operations ----
    // Adds what FSpecArgs names (less FSpecArgsExcl) to ZipFileName. Reports every error as a
    // numbered message and throws nothing, except ESilentStop raised by the event pump or a handler
    // during the call: the engine is stopped, the component left idle, and the stop goes on to the
    // caller (the run ends as stopped by the user).
    void Add();
    // Text of the identifier's message followed by `extra` goes to Message; ErrCode := id; the text
    // is shown (unless Unattended); OnMessage(0, text).
    void ReportMessage(int id, const std::string& extra = {});
    // The identifier's text from the message table; `fallback` when the table has none (empty
    // fallback: the general "missing string" text).
    std::string MessageText(int id, const std::string& fallback = {}) const;
    // Loads the engine library unless one is loaded; reports 10601 to 10604 as they apply. True
    // when a library is loaded afterwards.
    bool LoadZipEngine();
    void UnloadZipEngine();
    // The engine's version (loads and unloads a library when none is loaded); 0 when none loads.
    std::int32_t ZipEngineVersion();
    // Reads the directory of ZipFileName into Entries; raises OnNewName per kept entry and
    // OnDirUpdate at the end (also after a failure). Reports failures; throws only ESilentStop from
    // the event pump.
    void ReadDirectory();

    // The volume service (drive types, labels, space, volume requests). The component starts with a
    // local one; a service set here is not owned and must outlive the component (null: back to the
    // local one).
    void SetVolumeService(IVolumeService* service);
    IVolumeService& VolumeService() { return *m_volumes; }
    IPrompter* Prompter() const { return m_prompter; }
    IEventPump* EventPump() const { return m_pump; }
    // Sets the event pump (not owned; nullptr: none). Not while Add runs.
    void SetEventPump(IEventPump* pump) { m_pump = pump; }

    // The callback handed to the engine (a plain C function; no exception leaves it).
    static std::int32_t EngineCallback(ZipCallbackRec* record);

private:
    friend class ZipDirReader;

    // Reports a caught EZipComponent: shown when its ShowDialog is set (and not Unattended),
    // ErrCode := its id, Message := its text + extra, OnMessage(0, text).
    void ReportError(const EZipComponent& error, const std::string& extra = {});
    void Show(const std::string& text, bool isError);
    void ProcessMessages();
    std::string MakeTempArchiveName();
    std::int32_t RunEngine(const std::string& archivePath);
    // The steps of Add: whether there is something to add where it may go (reported when not); the
    // temporary archive a spanned set is written to first (reported when it cannot be); the
    // self-extractor stub of a new .exe archive; the engine's run and the copy to the volumes.
    bool CanAdd();
    bool ChooseSpanningArchive(std::string& archivePath);
    bool StartSelfExtractor();
    void RunAdd(const std::string& archivePath, bool spanning);
    std::int32_t HandleCallback(ZipCallbackRec& record);
    void DispatchCallback(ZipCallbackRec& record, const std::string& text);
    // The answers to the engine's questions, written into the record.
    void AnswerNewName(ZipCallbackRec& record, const std::string& text);
    void AnswerCrcError(ZipCallbackRec& record, const std::string& text);
    void AnswerOverwrite(ZipCallbackRec& record, const std::string& text);
    void AnswerFileComment(ZipCallbackRec& record, const std::string& text);
    void AnswerStreamMemory(ZipCallbackRec& record);
    void HandlePasswordRequest(ZipCallbackRec& record, const std::string& text);
    std::string AskNewPassword();
    std::string AskPassword(bool& cancelAll, bool& abort);

    // ---- hook points of the multi-volume writer and the self-extractor builder ----
    // Copies the complete temporary archive onto the volumes of `target`. Result: 0 success, -7 a
    // reported EZipComponent, -8 out of memory, -9 any other error. `lastVolumeIndex` is set to the
    // 0-based number of the last volume written.
    int CopyToVolumes(const std::string& tempArchive, const std::string& target, int& lastVolumeIndex);
    // Builds a self-extractor: with `createMode` an empty one at ZipFileName, otherwise converts the
    // ".zip" in ZipFileName. Result: 0 success, negative codes as documented by the builder.
    int BuildSelfExtractor(bool createMode);

    IPrompter* m_prompter;
    IEventPump* m_pump;
    void* m_windowHandle;
    std::unique_ptr<LocalVolumeService> m_localVolumes;
    IVolumeService* m_volumes;
    std::unique_ptr<ZipEngineLibrary> m_engine;

    bool m_verbose = false;
    bool m_trace = false;
    std::int32_t m_addCompLevel = 9;
    AddOpts m_addOptions;
    std::string m_extrBaseDir;
    ExtrOpts m_extrOptions;
    SFXOpts m_sfxOptions{SFXOpt::SFXCheckSize};
    std::vector<std::string> m_fspecArgs;
    bool m_unattended = false;
    std::string m_zipFileName;
    std::string m_password;
    std::string m_sfxPath = "ZipStub.bin";
    std::string m_dllDirectory;
    OvrOpts m_sfxOverWriteMode = OvrOpts::OvrConfirm;
    std::string m_sfxCaption = "Self-extracting Archive";
    std::string m_sfxDefaultDir;
    std::string m_sfxCommandLine;
    std::string m_sfxMessage;
    std::string m_tempDir;
    std::int32_t m_keepFreeOnDisk1 = 0;
    std::int32_t m_maxVolumeSize = 0;
    std::int32_t m_minFreeVolumeSize = 65536;
    bool m_confirmErase = true;
    CodePageOpts m_codePage = CodePageOpts::cpAuto;
    DeleteOpts m_howToDelete = DeleteOpts::htdAllowUndo;
    std::vector<std::uint8_t> m_sfxIcon;
    AddStoreExts m_addStoreSuffixes = AddStoreExts::FromBits(0x1FFFF);
    std::uint32_t m_passwordReqCount = 1;
    std::vector<std::string> m_fspecArgsExcl;
    bool m_useDirOnlyEntries = false;
    bool m_keepEntries = true;
    bool m_checkEntries = true;
    std::string m_rootDir;
    bool m_rebuildArchive = false;
    bool m_directoryUnreadable = false; // the archive named last could not be read (and was reported)
    bool m_verifyArchive = false;

    bool m_cancel = false;
    bool m_busy = false;
    std::int32_t m_errCode = 0;
    std::int32_t m_engineErrCode = 0;
    std::string m_message;
    std::int32_t m_processedCount = 0;
    bool m_archiveReplaced = false;
    ZipDirEntries m_entries;
    std::string m_archiveComment;
    std::int64_t m_stubSize = 0;
    std::int32_t m_skippedDirCount = 0;
    std::int64_t m_endRecordOffset = 0;
    std::int64_t m_announcedTotalSize = 0;
    // Memory for stream results (action 13); no operation of this program uses it.
    std::vector<std::uint8_t> m_zipStream;
    // An error raised by a handler during the engine call, kept until the call returns.
    std::exception_ptr m_callbackError;
    // Set by the directory reader: the central directory was not where the end record said.
    bool m_dirDisplaced = false;
};
