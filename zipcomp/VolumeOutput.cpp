// The volumes of a set: their names and labels, asking for each disk, and writing across them.
#include "zipcomp/VolumeWriter.h"

#include "pathrules/PathRules.h"
#include "zipcomp/ZipMessages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace volumes {

namespace {

constexpr const char* kLabelPrefix = "PKBACK# ";
// Characters 9 to 11 of a label hold the volume number.
constexpr std::size_t kLabelNumberPos = 8;
constexpr std::size_t kLabelNumberLength = 3;

} // namespace

std::string NumberedVolumeName(const std::string& name, int number)
{
    std::size_t slash = name.rfind('/');
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        dot = name.size();
    }
    // n + 1000 in decimal without its first character: three digits with leading zeros.
    const std::string digits = std::to_string(number + 1000).substr(1);
    return name.substr(0, dot) + digits + name.substr(dot);
}

std::string VolumeLabel(int number)
{
    return kLabelPrefix + std::to_string(number + 1000).substr(1);
}

void VolumeWriter::WriteToVolumes(const void* buffer, std::size_t length, std::size_t minRoom)
{
    m_host.ProcessMessages();
    if (m_host.CancelRequested()) {
        Fail(zipmsg::kVolumeRefused, false);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    for (;;) {
        EnsureRoom(minRoom);
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(length), m_free));
        if (n > 0 && !writeFully(m_out, bytes, n)) {
            Fail(zipmsg::kVolumeWriteFailed, true,
                 m_host.Text(zipmsg::kVolumeWriteFailed) + " " + m_outName + ": " + std::strerror(errno));
        }
        m_onVolume += static_cast<std::int64_t>(n);
        m_free -= static_cast<std::int64_t>(n);
        if (m_reportChunks && n > 0 && m_host.HasProgressHandler()) {
            m_host.ReportProgress(Progress::ProgressUpdate, "", static_cast<std::int64_t>(n));
        }
        if (n == length) {
            return;
        }
        // The volume is full: the rest goes to the next one.
        CloseVolume();
        m_free = 0;
        m_onVolume = 0;
        ++m_volume;
        m_newDisk = true;
        bytes += n;
        length -= n;
        minRoom = 0;
    }
}

void VolumeWriter::EnsureRoom(std::size_t minRoom)
{
    for (;;) {
        if (m_out < 0) {
            OpenVolume();
        }
        if (minRoom == 0 || m_free >= static_cast<std::int64_t>(minRoom)) {
            return;
        }
        // A volume that could never hold these bytes, even empty, would make every following
        // volume the same: stop instead of writing empty volumes without end.
        if (m_capacity < static_cast<std::int64_t>(minRoom)) {
            Fail(zipmsg::kVolumeWriteError, true,
                 m_host.Text(zipmsg::kVolumeWriteError) + "a volume of " + std::to_string(m_capacity) +
                     " bytes cannot hold a header of " + std::to_string(minRoom) + " bytes");
        }
        CloseVolume();
        m_free = 0;
        m_onVolume = 0;
        ++m_volume;
        m_newDisk = true;
    }
}

bool VolumeWriter::IsFixed() const
{
    return m_driveType == DriveType::Fixed || m_driveType == DriveType::Network;
}

void VolumeWriter::OpenVolume()
{
    for (;;) {
        AskForVolume();
        const std::string label = VolumeLabel(m_volume + 1);
        if (IsFixed()) {
            m_outName = NumberedVolumeName(m_target, m_volume + 1);
        } else {
            m_outName = m_target;
            if (m_settings.eraseDisks && (!m_host.HasStatusHandler() || m_lastStatusAnswer == DiskAction::Erase)) {
                const int result = m_service.FormatVolume(m_driveRoot, label, m_settings.confirmErase);
                if (result == kFormatCancelled) {
                    Fail(zipmsg::kVolumeRefused, false);
                }
                if (result == kFormatFailed) {
                    Fail(zipmsg::kVolumeRefused, true);
                }
            }
        }
        struct stat st
        {
        };
        if (::stat(m_outName.c_str(), &st) == 0) {
            if (m_settings.unattended) {
                Fail(zipmsg::kUnattendedQuestion, true);
            }
            if (!AskOverwrite(static_cast<std::int64_t>(st.st_mtime))) {
                // On a fixed drive no other disk can come: the refusal ends the copy.
                if (IsFixed()) {
                    Fail(zipmsg::kVolumeRefused, false);
                }
                m_newDisk = true;
                continue;
            }
        }
        m_out = ::open(m_outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (m_out < 0) {
            Fail(zipmsg::kVolumeCreateFailed, true,
                 m_host.Text(zipmsg::kVolumeCreateFailed) + " " + m_outName + ": " + std::strerror(errno));
        }
        const DiskSpace space = m_service.QueryDiskSpace(m_spaceRoot);
        m_free = std::max<std::int64_t>(space.freeBytes, 0);
        if (m_settings.maxVolumeSize > 0) {
            m_free = std::min(m_free, m_settings.maxVolumeSize);
        }
        if (m_volume == 0) {
            m_free -= m_settings.keepFreeOnDisk1;
        }
        if (m_free < m_settings.minFreeVolumeSize) {
            ::close(m_out);
            m_out = -1;
            ::unlink(m_outName.c_str());
            if (m_settings.unattended) {
                Fail(zipmsg::kUnattendedQuestion, true);
            }
            DiskAction action = DiskAction::Ok;
            if (m_host.StatusDisk(m_volume + 1, m_outName, kDiskNotEnoughSpace, action)) {
                m_lastStatusAnswer = action;
                if (action == DiskAction::Cancel) {
                    Fail(zipmsg::kVolumeRefused, false);
                }
            } else if (!m_host.AskRetry(m_host.Text(zipmsg::kNotEnoughSpace))) {
                Fail(zipmsg::kVolumeRefused, false);
            }
            m_newDisk = true;
            continue;
        }
        if (!IsFixed() && !m_service.SetVolumeLabel(m_driveRoot, label)) {
            Fail(zipmsg::kSetLabelFailed, true);
        }
        m_capacity = m_free;
        m_onVolume = 0;
        return;
    }
}

bool VolumeWriter::AskOverwrite(std::int64_t fileTime)
{
    VolumeInfo info;
    m_service.GetVolumeInfo(m_driveRoot, info);
    int labelNumber = 1;
    if (info.label.size() >= kLabelNumberPos + kLabelNumberLength) {
        const std::string digits = info.label.substr(kLabelNumberPos, kLabelNumberLength);
        if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            labelNumber = std::stoi(digits);
        }
    }
    int status = 0;
    std::string question;
    if (fileTime == m_sourceTime && labelNumber - 1 < m_volume) {
        question = m_host.Text(zipmsg::kOverwriteDisk, static_cast<std::int64_t>(labelNumber));
        status = kDiskPreviousDisk;
    } else {
        question = m_host.Text(zipmsg::kOverwriteFile, m_outName);
        status = kDiskSameFileName;
    }
    const DiskSpace space = m_service.QueryDiskSpace(m_spaceRoot);
    status |= space.totalBytes != space.freeBytes ? kDiskHasFiles : kDiskEmpty;
    DiskAction action = DiskAction::Ok;
    if (m_host.StatusDisk(labelNumber, m_outName, status, action)) {
        m_lastStatusAnswer = action;
        switch (action) {
        case DiskAction::Ok:
        case DiskAction::Erase:
            return true;
        case DiskAction::Reject:
            return false;
        case DiskAction::Cancel:
            break;
        }
        Fail(zipmsg::kVolumeRefused, false);
    }
    switch (m_host.AskYesNoCancel(question)) {
    case Answer::Yes:
        return true;
    case Answer::No:
        return false;
    case Answer::Cancel:
        break;
    }
    Fail(zipmsg::kVolumeRefused, false);
}

bool VolumeWriter::DriveValid()
{
    VolumeInfo info;
    switch (m_service.GetVolumeInfo(m_driveRoot, info)) {
    case VolumeInfoResult::Ok:
        return m_service.QueryDiskSpace(m_spaceRoot).totalBytes >= 0;
    case VolumeInfoResult::Unformatted:
        return m_settings.eraseDisks;
    case VolumeInfoResult::Failed:
        break;
    }
    return false;
}

void VolumeWriter::AskForVolume()
{
    m_host.ProcessMessages();
    if (IsFixed()) {
        m_newDisk = false;
        return;
    }
    while (m_newDisk || !DriveValid()) {
        if (m_settings.unattended) {
            Fail(zipmsg::kUnattendedQuestion, true);
        }
        std::int64_t volumeSize = m_service.QueryDiskSpace(m_spaceRoot).totalBytes;
        if (m_settings.maxVolumeSize != 0 && (volumeSize <= 0 || volumeSize > m_settings.maxVolumeSize)) {
            volumeSize = m_settings.maxVolumeSize;
        }
        std::string prompt;
        if (volumeSize > 0) {
            const std::int64_t estimate = (m_sourceSize + m_settings.keepFreeOnDisk1 + 4) / volumeSize;
            m_lastVolumeEstimate = static_cast<int>(std::max<std::int64_t>(m_volume, estimate));
            prompt = m_host.Text(zipmsg::kInsertDiskOf, m_volume + 1, m_lastVolumeEstimate + 1);
        } else {
            prompt = m_host.Text(zipmsg::kInsertDisk, static_cast<std::int64_t>(m_volume + 1));
        }
        prompt += m_host.Text(zipmsg::kInDrive, m_driveRoot);
        bool abort = false;
        if (m_host.GetNextDisk(m_volume + 1, m_lastVolumeEstimate + 1, m_driveRoot, abort)) {
            if (abort) {
                Fail(zipmsg::kVolumeRefused, false);
            }
        } else if (!m_service.RequestVolume(m_driveRoot, prompt)) {
            Fail(zipmsg::kVolumeRefused, false);
        }
        m_newDisk = false;
    }
}

void VolumeWriter::CloseVolume()
{
    if (m_out < 0) {
        return;
    }
    const struct timespec times[2] = {{static_cast<time_t>(m_sourceTime), m_sourceTimeNs},
                                      {static_cast<time_t>(m_sourceTime), m_sourceTimeNs}};
    ::futimens(m_out, times);
    const int fd = m_out;
    m_out = -1;
    if (::close(fd) != 0) {
        Fail(zipmsg::kVolumeWriteFailed, true,
             m_host.Text(zipmsg::kVolumeWriteFailed) + " " + m_outName + ": " + std::strerror(errno));
    }
}

} // namespace volumes
