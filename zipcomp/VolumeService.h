#pragma once
// The volumes an archive lives on: what kind of drive holds a path, its label and space, and how
// the next disk of a multi-volume set is asked for. The zip component reads multi-volume sets and
// the volume writer writes them through this interface only, so removable media can be simulated
// in tests. Every call runs on the caller's thread.

#include <cstdint>
#include <memory>
#include <string>

class IPrompter;

enum class DriveType
{
    Unknown,
    Removable,
    Fixed,
    Network
};

// Outcome of a volume information query.
enum class VolumeInfoResult
{
    Ok,          // label and serial number are valid
    Unformatted, // a disk is present but carries no file system (a disk that can be formatted)
    Failed,      // no disk, or the drive cannot be read
};

struct VolumeInfo
{
    std::string label;
    std::uint32_t serial = 0;
};

// Free bytes available to the caller and total bytes of a drive; -1 when unknown.
struct DiskSpace
{
    std::int64_t freeBytes = -1;
    std::int64_t totalBytes = -1;
};

// Results of FormatVolume.
constexpr int kFormatCancelled = -2;
constexpr int kFormatFailed = -1;
constexpr int kFormatDidNotRun = -3;

class IVolumeService
{
public:
    virtual ~IVolumeService() = default;

    // The root of the drive that holds the path (on Linux "/"; a simulated drive may use its own
    // mount folder). Always ends with "/".
    virtual std::string DriveRoot(const std::string& path) = 0;
    // True when the drive of this root exists at all.
    virtual bool DriveExists(const std::string& root) = 0;
    virtual DriveType GetDriveType(const std::string& root) = 0;
    virtual VolumeInfoResult GetVolumeInfo(const std::string& root, VolumeInfo& info) = 0;
    // Sets the label of the volume in the drive; false on failure.
    virtual bool SetVolumeLabel(const std::string& root, const std::string& label) = 0;
    virtual DiskSpace QueryDiskSpace(const std::string& root) = 0;
    // Asks the user to put in another volume, showing `prompt`. True when the user says it is in;
    // false for a refusal. Never called for fixed or network drives.
    virtual bool RequestVolume(const std::string& root, const std::string& prompt) = 0;
    // Formats the disk in the drive and gives it `label`. `confirm` false: no question is asked.
    // Returns 0 on success, kFormatCancelled, kFormatFailed or kFormatDidNotRun.
    virtual int FormatVolume(const std::string& root, const std::string& label, bool confirm) = 0;
};

// The local file system: every path is on a fixed drive rooted at "/", free and total space come
// from statvfs, there are no labels (empty; setting one fails) and nothing is ever asked for or
// formatted. A null prompter is allowed (it is only used to show a volume prompt, which a fixed
// drive never needs).
class LocalVolumeService : public IVolumeService
{
public:
    explicit LocalVolumeService(IPrompter* prompter = nullptr) : m_prompter(prompter) {}

    std::string DriveRoot(const std::string& path) override;
    bool DriveExists(const std::string& root) override;
    DriveType GetDriveType(const std::string& root) override;
    VolumeInfoResult GetVolumeInfo(const std::string& root, VolumeInfo& info) override;
    bool SetVolumeLabel(const std::string& root, const std::string& label) override;
    DiskSpace QueryDiskSpace(const std::string& root) override;
    bool RequestVolume(const std::string& root, const std::string& prompt) override;
    int FormatVolume(const std::string& root, const std::string& label, bool confirm) override;

    void SetPrompter(IPrompter* prompter) { m_prompter = prompter; }

private:
    IPrompter* m_prompter;
};
