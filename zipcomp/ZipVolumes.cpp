// The zip component's multi-volume copy (CopyToVolumes) and self-extractor building
// (BuildSelfExtractor): the component's properties, events and dialogs handed to the volume writer
// and the self-extractor builder, and their failures reported as the component's messages.

#include "zipcomp/ZipComp.h"

#include "core/UiInterfaces.h"
#include "zipcomp/SfxBuilder.h"
#include "zipcomp/VolumeWriter.h"

#include <climits>
#include <new>
#include <unistd.h>

namespace {

// The component's events, dialogs and message texts as the volume writer asks for them.
class ComponentVolumeHost : public volumes::IVolumeWriterHost
{
public:
    explicit ComponentVolumeHost(TZipComponent& zip) : m_zip(zip) {}

    void ProcessMessages() override
    {
        if (m_zip.EventPump() != nullptr) {
            m_zip.EventPump()->ProcessMessages();
        }
    }
    bool CancelRequested() override { return m_zip.Cancel(); }
    std::string Text(int id) override { return m_zip.MessageText(id); }
    std::string Text(int id, const std::string& value) override
    {
        return zipmsg::FormatText(m_zip.MessageText(id), value);
    }
    std::string Text(int id, std::int64_t value) override { return zipmsg::FormatText(m_zip.MessageText(id), value); }
    std::string Text(int id, std::int64_t first, std::int64_t second) override
    {
        return zipmsg::FormatText(m_zip.MessageText(id), first, second);
    }
    bool HasProgressHandler() override { return static_cast<bool>(m_zip.OnProgress); }
    void ReportProgress(volumes::Progress kind, const std::string& name, std::int64_t size) override
    {
        m_zip.OnProgress(m_zip, static_cast<ProgressType>(kind), name, size);
    }
    bool HasMessageHandler() override { return static_cast<bool>(m_zip.OnMessage); }
    void ReportMessage(const std::string& text) override { m_zip.OnMessage(m_zip, 0, text); }
    bool GetNextDisk(int diskSeqNo, int diskTotal, const std::string& drive, bool& abort) override
    {
        if (!m_zip.OnGetNextDisk) {
            return false;
        }
        abort = false;
        m_zip.OnGetNextDisk(m_zip, diskSeqNo, diskTotal, drive, abort);
        return true;
    }
    bool HasStatusHandler() override { return static_cast<bool>(m_zip.OnStatusDisk); }
    bool StatusDisk(int previousDisk, const std::string& previousFile, int status, volumes::DiskAction& action) override
    {
        if (!m_zip.OnStatusDisk) {
            return false;
        }
        TZipDiskAction answer = TZipDiskAction::zdaOk;
        m_zip.OnStatusDisk(m_zip, previousDisk, previousFile, status, answer);
        action = static_cast<volumes::DiskAction>(answer);
        return true;
    }
    // Without a prompter there is nobody to answer: the safe choices (stop).
    volumes::Answer AskYesNoCancel(const std::string& text) override
    {
        if (m_zip.Prompter() == nullptr) {
            return volumes::Answer::Cancel;
        }
        switch (m_zip.Prompter()->ConfirmYesNoCancel(text)) {
        case YesNoCancel::Yes:
            return volumes::Answer::Yes;
        case YesNoCancel::No:
            return volumes::Answer::No;
        case YesNoCancel::Cancel:
            break;
        }
        return volumes::Answer::Cancel;
    }
    bool AskRetry(const std::string& text) override
    {
        return m_zip.Prompter() != nullptr && m_zip.Prompter()->Confirm(text);
    }

private:
    TZipComponent& m_zip;
};

class ComponentSfxHost : public sfx::ISfxHost
{
public:
    explicit ComponentSfxHost(TZipComponent& zip) : m_zip(zip) {}
    void ReportSfxMessage(int id, const std::string& extra) override { m_zip.ReportMessage(id, extra); }
    void ProcessMessages() override
    {
        if (m_zip.EventPump() != nullptr) {
            m_zip.EventPump()->ProcessMessages();
        }
    }

private:
    TZipComponent& m_zip;
};

std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return {};
    }
    std::string exe(path, static_cast<std::size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

} // namespace

int TZipComponent::CopyToVolumes(const std::string& tempArchive, const std::string& target, int& lastVolumeIndex)
{
    lastVolumeIndex = 0;
    volumes::VolumeWriterSettings settings;
    settings.maxVolumeSize = m_maxVolumeSize;
    settings.keepFreeOnDisk1 = m_keepFreeOnDisk1;
    settings.minFreeVolumeSize = m_minFreeVolumeSize;
    settings.unattended = m_unattended;
    settings.eraseDisks = m_addOptions.Has(AddOpt::AddDiskSpanErase);
    settings.confirmErase = m_confirmErase;
    ComponentVolumeHost host(*this);
    volumes::VolumeWriter writer(*m_volumes, host, settings);
    const bool wasBusy = m_busy;
    m_busy = true;
    int result = 0;
    try {
        writer.CopyToVolumes(tempArchive, target);
        lastVolumeIndex = writer.LastVolume();
    } catch (const volumes::EVolumeWriteError& e) {
        // The writer's text is the message's own, possibly followed by the file and the cause.
        const std::string base = MessageText(e.MessageId());
        const std::string text = e.what();
        const std::string extra = text.rfind(base, 0) == 0 ? text.substr(base.size()) : " " + text;
        ReportError(EZipComponent(e.MessageId(), e.ShowDialog()), extra);
        result = -7;
    } catch (const std::bad_alloc&) {
        ReportMessage(zipmsg::kOutOfMemory);
        result = -8;
    } catch (const std::exception& e) {
        ReportMessage(zipmsg::kVolumeWriteError, e.what());
        result = -9;
    }
    m_busy = wasBusy;
    return result;
}

int TZipComponent::BuildSelfExtractor(bool createMode)
{
    sfx::SfxJob job;
    job.convert = !createMode;
    job.zipFileName = m_zipFileName;
    job.sfxPath = m_sfxPath;
    job.programDir = programFolder();
    job.dllDirectory = m_dllDirectory;
    job.settings.askCmdLine = m_sfxOptions.Has(SFXOpt::SFXAskCmdLine);
    job.settings.askFiles = m_sfxOptions.Has(SFXOpt::SFXAskFiles);
    job.settings.hideOverwriteBox = m_sfxOptions.Has(SFXOpt::SFXHideOverWriteBox);
    job.settings.checkSize = m_sfxOptions.Has(SFXOpt::SFXCheckSize);
    job.settings.autoRun = m_sfxOptions.Has(SFXOpt::SFXAutoRun);
    job.settings.noSuccessMsg = m_sfxOptions.Has(SFXOpt::SFXNoSuccessMsg);
    job.settings.overwriteMode = m_sfxOverWriteMode == OvrOpts::OvrAlways  ? sfx::OverwriteMode::Always
                                 : m_sfxOverWriteMode == OvrOpts::OvrNever ? sfx::OverwriteMode::Never
                                                                           : sfx::OverwriteMode::Confirm;
    job.settings.caption = m_sfxCaption;
    job.settings.defaultDir = m_sfxDefaultDir;
    job.settings.commandLine = m_sfxCommandLine;
    job.settings.message = m_sfxMessage;
    job.icon.assign(m_sfxIcon.begin(), m_sfxIcon.end());

    ComponentSfxHost host(*this);
    const int result = sfx::BuildSelfExtractor(job, host);
    m_sfxPath = job.sfxPath;
    // A failure without a message of its own (a file that cannot be created or read) still names
    // its file and cause before the caller's message about the result.
    if (result != 0 && !job.errorText.empty() && OnMessage) {
        OnMessage(*this, 0, job.errorText);
    }
    if (result == 0 && job.convert) {
        SetZipFileName(job.outputName);
    }
    return result;
}
