#include "zipcomp/VolumeService.h"

#include "core/UiInterfaces.h"
#include "pathrules/PathRules.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

std::string LocalVolumeService::DriveRoot(const std::string& /*path*/)
{
    return "/";
}

bool LocalVolumeService::DriveExists(const std::string& root)
{
    return isFolder(root);
}

DriveType LocalVolumeService::GetDriveType(const std::string& root)
{
    return DriveExists(root) ? DriveType::Fixed : DriveType::Unknown;
}

VolumeInfoResult LocalVolumeService::GetVolumeInfo(const std::string& root, VolumeInfo& info)
{
    struct statvfs vfs
    {
    };
    if (::statvfs(root.c_str(), &vfs) != 0) {
        return VolumeInfoResult::Failed;
    }
    info.label.clear();
    info.serial = static_cast<std::uint32_t>(vfs.f_fsid);
    return VolumeInfoResult::Ok;
}

bool LocalVolumeService::SetVolumeLabel(const std::string& /*root*/, const std::string& /*label*/)
{
    return false;
}

DiskSpace LocalVolumeService::QueryDiskSpace(const std::string& root)
{
    DiskSpace space;
    struct statvfs vfs
    {
    };
    if (::statvfs(root.c_str(), &vfs) == 0) {
        const auto unit = static_cast<std::int64_t>(vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize);
        space.freeBytes = static_cast<std::int64_t>(vfs.f_bavail) * unit;
        space.totalBytes = static_cast<std::int64_t>(vfs.f_blocks) * unit;
    }
    return space;
}

bool LocalVolumeService::RequestVolume(const std::string& /*root*/, const std::string& prompt)
{
    return m_prompter != nullptr && m_prompter->AskVolume(prompt);
}

int LocalVolumeService::FormatVolume(const std::string& /*root*/, const std::string& /*label*/, bool /*confirm*/)
{
    return kFormatDidNotRun;
}
