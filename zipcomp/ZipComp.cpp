#include "zipcomp/ZipComp.h"

#include "core/UiInterfaces.h"
#include "pathrules/PathRules.h"
#include "zipcomp/ZipCallback.h"
#include "zipcomp/ZipEngineLoader.h"
#include "zipcomp/ZipExecBlock.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

bool HasExeExtension(const std::string& name)
{
    const auto slash = name.rfind('/');
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return false;
    }
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    return ext == ".EXE";
}

// Name of volume `number` (1-based) of a set written as numbered files: the name without its
// extension, the number as three digits, the extension.
std::string NumberedVolumeName(const std::string& name, int number)
{
    const auto slash = name.rfind('/');
    auto dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        dot = name.size();
    }
    const std::string digits = std::to_string(number + 1000).substr(1);
    return name.substr(0, dot) + digits + name.substr(dot);
}

// Warnings and notices are not shown as errors.
bool IsErrorMessage(int id)
{
    return id != zipmsg::kEngineLoaded && id != zipmsg::kDirDisplaced && id != zipmsg::kTrailingBytes;
}

} // namespace

TZipComponent::TZipComponent(IPrompter* prompter, IEventPump* pump, void* windowHandle)
    : m_prompter(prompter), m_pump(pump), m_windowHandle(windowHandle),
      m_localVolumes(std::make_unique<LocalVolumeService>(prompter)), m_volumes(m_localVolumes.get()),
      m_engine(std::make_unique<ZipEngineLibrary>())
{
}

TZipComponent::~TZipComponent() = default;

// ---- property setters ------------------------------------------------------------------------

void TZipComponent::SetZipFileName(const std::string& value)
{
    if (m_rebuildArchive) {
        // The archive is about to be written from nothing: its directory is not read (an empty name
        // clears the one read before), so a damaged old archive is no obstacle.
        m_zipFileName.clear();
        ReadDirectory();
    }
    m_zipFileName = value;
    if (!m_rebuildArchive) {
        ReadDirectory();
    }
}

void TZipComponent::SetPassword(const std::string& value)
{
    m_password = value.substr(0, kMaxPassword);
}

void TZipComponent::SetDLLDirectory(const std::string& value)
{
    m_dllDirectory = value;
    if (!m_dllDirectory.empty() && m_dllDirectory.back() == '/') {
        m_dllDirectory.pop_back();
    }
}

void TZipComponent::SetPasswordReqCount(std::uint32_t value)
{
    m_passwordReqCount = std::min(value, kMaxPasswordReqCount);
}

void TZipComponent::SetRootDir(const std::string& value)
{
    m_rootDir = value;
    if (!m_rootDir.empty() && m_rootDir.back() != '/') {
        m_rootDir += '/';
    }
}

void TZipComponent::SetVolumeService(IVolumeService* service)
{
    m_volumes = service != nullptr ? service : m_localVolumes.get();
}

void* TZipComponent::EngineHandle() const
{
    return m_engine->Handle();
}

// ---- messages ----------------------------------------------------------------------------------

std::string TZipComponent::MessageText(int id, const std::string& fallback) const
{
    if (auto text = zipmsg::LookupText(id)) {
        return *text;
    }
    return fallback.empty() ? zipmsg::MissingText(id) : fallback;
}

void TZipComponent::Show(const std::string& text, bool isError)
{
    if (!m_unattended && m_prompter != nullptr) {
        m_prompter->ShowMessage(text, isError);
    }
}

void TZipComponent::ReportMessage(int id, const std::string& extra)
{
    const std::string text = MessageText(id) + extra;
    m_message = text;
    m_errCode = id;
    Show(text, IsErrorMessage(id));
    if (OnMessage) {
        OnMessage(*this, 0, text);
    }
}

void TZipComponent::ReportError(const EZipComponent& error, const std::string& extra)
{
    const std::string text = error.what() + extra;
    if (error.ShowDialog()) {
        Show(text, IsErrorMessage(error.MessageId()));
    }
    m_errCode = error.MessageId();
    m_message = text;
    if (OnMessage) {
        OnMessage(*this, 0, text);
    }
}

void TZipComponent::ProcessMessages()
{
    if (m_pump != nullptr) {
        m_pump->ProcessMessages();
    }
}

// ---- engine library ----------------------------------------------------------------------------

bool TZipComponent::LoadZipEngine()
{
    if (m_engine->IsLoaded()) {
        return true;
    }
    const std::string path = ZipEngineLibrary::ChoosePath(m_dllDirectory);
    switch (m_engine->Load(path)) {
    case ZipEngineLibrary::LoadResult::Loaded:
        if (m_trace) {
            ReportMessage(zipmsg::kEngineLoaded, " (" + path + ")");
        }
        return true;
    case ZipEngineLibrary::LoadResult::NotLoadable:
        ReportMessage(zipmsg::kEngineNotLoadable, " " + m_engine->Error());
        return false;
    case ZipEngineLibrary::LoadResult::NoExecExport:
        ReportMessage(zipmsg::kNoExecExport, " (" + path + ")");
        return false;
    case ZipEngineLibrary::LoadResult::NoVersionExport:
        ReportMessage(zipmsg::kNoVersionExport, " (" + path + ")");
        return false;
    }
    return false;
}

void TZipComponent::UnloadZipEngine()
{
    m_engine->Unload();
}

std::int32_t TZipComponent::ZipEngineVersion()
{
    const bool loadedHere = !m_engine->IsLoaded();
    if (loadedHere && !LoadZipEngine()) {
        return 0;
    }
    const std::int32_t version = m_engine->Version()();
    if (loadedHere) {
        UnloadZipEngine();
    }
    return version;
}

// ---- Add ---------------------------------------------------------------------------------------

std::string TZipComponent::MakeTempArchiveName()
{
    std::string dir = m_tempDir;
    if (dir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        dir = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    } else if (m_tempDir.back() != '/') {
        m_tempDir += '/';
    }
    if (dir.back() != '/') {
        dir += '/';
    }
    std::string pattern = dir + "zipXXXXXX.zip";
    const int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0) {
        throw EInOutError(dir, errno, "Cannot create a temporary archive in");
    }
    ::close(fd);
    ::unlink(pattern.c_str());
    return pattern;
}

std::int32_t TZipComponent::RunEngine(const std::string& archivePath)
{
    const std::int32_t version = m_engine->Version()();
    ZipBlockSettings s;
    s.windowHandle = m_unattended ? nullptr : m_windowHandle;
    s.caller = this;
    s.callback = &ZipCallback;
    s.trace = m_trace;
    s.verbose = m_verbose;
    s.password = m_password;
    s.storeSuffixes = m_addStoreSuffixes;
    s.options = m_addOptions;
    s.level = m_addCompLevel;
    // The lists are cleared after the call anyway; handed over, they are not held twice while
    // the block is built, and are freed before the engine runs.
    s.specs = std::move(m_fspecArgs);
    s.excludes = std::move(m_fspecArgsExcl);
    m_fspecArgs.clear();
    m_fspecArgsExcl.clear();
    s.archivePath = archivePath;
    s.tempDir = m_tempDir;
    s.archiveComment = m_archiveComment;
    s.rootDir = m_rootDir;
    s.howToDelete = m_howToDelete;
    s.codePage = m_codePage;
    s.rebuild = m_rebuildArchive;
    s.verify = m_verifyArchive;
    ZipExecBlock block(s, version);
    std::vector<std::string>().swap(s.specs);
    std::vector<std::string>().swap(s.excludes);

    m_callbackError = nullptr;
    const std::int32_t result = m_engine->Exec()(block.Data());
    if (m_callbackError) {
        std::exception_ptr error = m_callbackError;
        m_callbackError = nullptr;
        std::rethrow_exception(error);
    }
    return result;
}

bool TZipComponent::CanAdd()
{
    if (m_fspecArgs.empty()) {
        ReportMessage(zipmsg::kNothingToAdd);
        return false;
    }
    if (m_zipFileName.empty()) {
        // An archive that could not be read was reported then; a second message would only mislead.
        if (!m_directoryUnreadable) {
            ReportMessage(zipmsg::kNoArchiveName);
        }
        return false;
    }
    if (m_unattended && m_addOptions.Has(AddOpt::AddEncrypt) && m_password.empty()) {
        ReportMessage(zipmsg::kNoPasswordUnattended);
        return false;
    }
    return true;
}

bool TZipComponent::ChooseSpanningArchive(std::string& archivePath)
{
    if (m_addOptions.Has(AddOpt::AddFreshen) || m_addOptions.Has(AddOpt::AddUpdate)) {
        ReportMessage(zipmsg::kSpanWithUpdate);
        return false;
    }
    if (HasExeExtension(m_zipFileName)) {
        ReportMessage(zipmsg::kSpanToExe);
        return false;
    }
    try {
        archivePath = MakeTempArchiveName();
    } catch (const std::exception& e) {
        ReportMessage(zipmsg::kEngineCallFailed, e.what());
        return false;
    }
    if (m_verbose && OnMessage) {
        OnMessage(*this, 0, "Temporary zipfile: " + archivePath);
    }
    return true;
}

bool TZipComponent::StartSelfExtractor()
{
    if (HasExeExtension(m_zipFileName) && m_stubSize == 0 && !existsFollowingLinks(m_zipFileName)) {
        const int result = BuildSelfExtractor(true);
        if (result != 0) {
            ReportError(EZipComponent(zipmsg::kSfxCreateFailed, static_cast<std::int64_t>(result)));
            return false;
        }
    }
    return true;
}

void TZipComponent::RunAdd(const std::string& archivePath, bool spanning)
{
    // The engine puts a new archive in place by renaming it over the old one: a new file identity.
    const auto identity = [](const std::string& path) {
        struct stat info = {};
        return ::stat(path.c_str(), &info) == 0 ? std::make_pair(info.st_dev, info.st_ino)
                                                : std::make_pair(dev_t{}, ino_t{});
    };
    const auto before = identity(archivePath);
    m_processedCount = RunEngine(archivePath);
    const auto after = identity(archivePath);
    m_archiveReplaced = !spanning && after != before && after != std::make_pair(dev_t{}, ino_t{});
    if (!spanning || m_processedCount <= 0) {
        return;
    }
    int lastVolume = 0;
    if (CopyToVolumes(archivePath, m_zipFileName, lastVolume) != 0) {
        m_processedCount = 0;
        return;
    }
    const DriveType type = m_volumes->GetDriveType(m_volumes->DriveRoot(m_zipFileName));
    if (type == DriveType::Fixed || type == DriveType::Network) {
        m_zipFileName = NumberedVolumeName(m_zipFileName, lastVolume + 1);
    }
}

void TZipComponent::Add()
{
    m_processedCount = 0;
    m_archiveReplaced = false;
    if (!CanAdd()) {
        return;
    }
    const bool spanning = m_addOptions.Has(AddOpt::AddDiskSpan) || m_addOptions.Has(AddOpt::AddDiskSpanErase);
    std::string archivePath = m_zipFileName;
    if (spanning && !ChooseSpanningArchive(archivePath)) {
        return;
    }
    if (m_busy || !StartSelfExtractor()) {
        return;
    }
    const bool loadedHere = !m_engine->IsLoaded();
    if (!LoadZipEngine()) {
        return;
    }

    m_busy = true;
    m_cancel = false;
    std::exception_ptr stop;
    try {
        RunAdd(archivePath, spanning);
    } catch (const ESilentStop&) {
        m_processedCount = 0;
        stop = std::current_exception();
    } catch (const std::bad_alloc&) {
        ReportMessage(zipmsg::kEngineCallFailed, MessageText(zipmsg::kOutOfMemory));
    } catch (const std::exception& e) {
        ReportMessage(zipmsg::kEngineCallFailed, e.what());
    } catch (...) {
        ReportMessage(zipmsg::kEngineCallFailed, "unknown error");
    }
    if (spanning) {
        ::unlink(archivePath.c_str());
    }
    m_fspecArgs.clear();
    m_fspecArgsExcl.clear();
    if (loadedHere) {
        UnloadZipEngine();
    }
    m_cancel = false;
    m_busy = false;
    if (stop) {
        std::rethrow_exception(stop);
    }

    if (m_processedCount > 0 || m_archiveReplaced) {
        ReadDirectory();
    }
}
