#pragma once
// Removable media for the volume writer's tests: labelled disks kept as folders, and a "drive" (a
// folder link) whose current disk the test changes, usually from inside the writer's next-disk
// event. Free space is the disk's capacity less what its files hold. Formatting empties the disk,
// sets the label and reports what the test scripted.

#include "zipcomp/VolumeService.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

class SimulatedDrive : public IVolumeService
{
public:
    struct Disk
    {
        std::int64_t capacity = 0;
        std::string label;
        bool formatted = true;
    };

    explicit SimulatedDrive(const std::filesystem::path& base) : m_base(base), m_mount(base / "drive")
    {
        std::filesystem::create_directories(base / "disks");
    }

    // The path of `name` on the drive (whatever disk is in).
    std::string OnDrive(const std::string& name) const { return (m_mount / name).string(); }
    std::filesystem::path DiskFolder(const std::string& disk) const { return m_base / "disks" / disk; }

    void AddDisk(const std::string& name, std::int64_t capacity, const std::string& label = "", bool formatted = true)
    {
        std::filesystem::create_directories(DiskFolder(name));
        m_disks[name] = Disk{capacity, label, formatted};
    }
    Disk& DiskInfo(const std::string& name) { return m_disks.at(name); }
    void Insert(const std::string& name)
    {
        Eject();
        std::filesystem::create_directory_symlink(DiskFolder(name), m_mount);
        m_current = name;
    }
    void Eject()
    {
        std::filesystem::remove(m_mount);
        m_current.clear();
    }
    const std::string& Current() const { return m_current; }

    // Scripted behaviour and what was asked.
    std::function<bool(const std::string& prompt)> onRequest;
    int formatResult = 0;
    bool labelFails = false;
    std::vector<std::string> prompts;
    std::vector<std::pair<std::string, bool>> formats; // label, confirm

    std::string DriveRoot(const std::string&) override { return m_mount.string() + "/"; }
    bool DriveExists(const std::string&) override { return true; }
    DriveType GetDriveType(const std::string&) override { return DriveType::Removable; }
    VolumeInfoResult GetVolumeInfo(const std::string&, VolumeInfo& info) override
    {
        if (m_current.empty()) {
            return VolumeInfoResult::Failed;
        }
        const Disk& disk = m_disks.at(m_current);
        if (!disk.formatted) {
            return VolumeInfoResult::Unformatted;
        }
        info.label = disk.label;
        info.serial = 1;
        return VolumeInfoResult::Ok;
    }
    bool SetVolumeLabel(const std::string&, const std::string& label) override
    {
        if (m_current.empty() || labelFails) {
            return false;
        }
        m_disks.at(m_current).label = label;
        return true;
    }
    DiskSpace QueryDiskSpace(const std::string&) override
    {
        DiskSpace space;
        if (m_current.empty() || !m_disks.at(m_current).formatted) {
            return space;
        }
        std::int64_t used = 0;
        for (const auto& entry : std::filesystem::directory_iterator(DiskFolder(m_current))) {
            used += static_cast<std::int64_t>(entry.file_size());
        }
        space.totalBytes = m_disks.at(m_current).capacity;
        space.freeBytes = std::max<std::int64_t>(space.totalBytes - used, 0);
        return space;
    }
    bool RequestVolume(const std::string&, const std::string& prompt) override
    {
        prompts.push_back(prompt);
        return onRequest && onRequest(prompt);
    }
    int FormatVolume(const std::string&, const std::string& label, bool confirm) override
    {
        formats.emplace_back(label, confirm);
        if (formatResult == 0 && !m_current.empty()) {
            std::filesystem::remove_all(DiskFolder(m_current));
            std::filesystem::create_directories(DiskFolder(m_current));
            m_disks.at(m_current).label = label;
            m_disks.at(m_current).formatted = true;
        }
        return formatResult;
    }

private:
    std::filesystem::path m_base;
    std::filesystem::path m_mount;
    std::map<std::string, Disk> m_disks;
    std::string m_current;
};
