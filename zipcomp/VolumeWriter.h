#pragma once
// The multi-volume writer: copies a complete archive, entry by entry, onto a set of volumes
// (numbered files on a fixed drive, or removable disks that each hold a file of the archive's
// name), following the zip spanning format: the spanning signature first, local headers that do not
// fit in the space left start on the next volume, central directory disk numbers and offsets and
// the end record rewritten. Asks for disks, checks free space, formats disks when asked to.
//
// Plain C++ and POSIX. Everything runs on the caller's thread; the owner (the zip component)
// supplies its events, dialogs and message texts through IVolumeWriterHost and the drives through
// IVolumeService.

#include "core/CoreErrors.h"
#include "zipcomp/VolumeService.h"

#include <cstdint>
#include <string>
#include <vector>

namespace volumes {

// Kinds of progress reports (the component's ProgressType values).
enum class Progress
{
    NewFile = 0,
    ProgressUpdate = 1,
    EndOfBatch = 2,
    TotalFiles = 3,
    TotalSize = 4
};

// Status of a disk found in the drive (bits), and the answer to it (the component's
// TZipDiskStatus and TZipDiskAction values).
enum DiskStatusBits : int
{
    kDiskEmpty = 1,
    kDiskHasFiles = 2,
    kDiskPreviousDisk = 4,
    kDiskSameFileName = 8,
    kDiskNotEnoughSpace = 16,
};
enum class DiskAction
{
    Ok = 0,
    Erase = 1,
    Reject = 2,
    Cancel = 3
};

// Answers of the question boxes.
enum class Answer
{
    Yes,
    No,
    Cancel
};

// A numbered message that ends the copy. `ShowDialog` false: the stop the user asked for.
class EVolumeWriteError : public EVorlandError
{
public:
    EVolumeWriteError(int messageId, bool showDialog, const std::string& text)
        : EVorlandError(text), m_messageId(messageId), m_showDialog(showDialog)
    {
    }
    int MessageId() const { return m_messageId; }
    bool ShowDialog() const { return m_showDialog; }

private:
    int m_messageId;
    bool m_showDialog;
};

// What the writer needs from its owner. Every call is made on the writer's thread.
class IVolumeWriterHost
{
public:
    virtual ~IVolumeWriterHost() = default;
    virtual void ProcessMessages() = 0;
    // True when the user asked to stop (the component's Cancel).
    virtual bool CancelRequested() = 0;
    // The message table's text of `id`, with one or two values inserted at its conversions.
    virtual std::string Text(int id) = 0;
    virtual std::string Text(int id, const std::string& value) = 0;
    virtual std::string Text(int id, std::int64_t value) = 0;
    virtual std::string Text(int id, std::int64_t first, std::int64_t second) = 0;
    // Events; the Has* calls tell whether a handler exists.
    virtual bool HasProgressHandler() = 0;
    virtual void ReportProgress(Progress kind, const std::string& name, std::int64_t size) = 0;
    virtual bool HasMessageHandler() = 0;
    virtual void ReportMessage(const std::string& text) = 0;
    // The next-disk handler: false when there is none; otherwise `abort` tells a refusal.
    virtual bool GetNextDisk(int diskSeqNo, int diskTotal, const std::string& drive, bool& abort) = 0;
    // The disk-status handler: false when there is none; otherwise `action` (preset Ok) answers.
    virtual bool HasStatusHandler() = 0;
    virtual bool StatusDisk(int previousDisk, const std::string& previousFile, int status, DiskAction& action) = 0;
    // Dialogs used when there is no handler: a Yes/No/Cancel warning (default No) and a
    // Retry/Cancel error box (true for Retry).
    virtual Answer AskYesNoCancel(const std::string& text) = 0;
    virtual bool AskRetry(const std::string& text) = 0;
};

struct VolumeWriterSettings
{
    std::int64_t maxVolumeSize = 0;         // 0: the disk's size
    std::int64_t keepFreeOnDisk1 = 0;       // bytes left free on the first volume
    std::int64_t minFreeVolumeSize = 65536; // a volume offering less is refused
    bool unattended = false;                // no questions: they fail with 11025
    bool eraseDisks = false;                // AddDiskSpanErase: format removable disks
    bool confirmErase = true;               // formatting asks before it starts
};

// The name of volume `number` (1-based) of a set on a fixed drive: the name without its extension,
// the number as three digits, the extension ("backup.zip", 2 -> "backup002.zip").
std::string NumberedVolumeName(const std::string& name, int number);

// The volume label of disk `number` (1-based) of a set on removable media: "PKBACK# 001".
std::string VolumeLabel(int number);

class VolumeWriter
{
public:
    VolumeWriter(IVolumeService& service, IVolumeWriterHost& host, const VolumeWriterSettings& settings);
    ~VolumeWriter();
    VolumeWriter(const VolumeWriter&) = delete;
    VolumeWriter& operator=(const VolumeWriter&) = delete;

    // Copies the archive `source` onto the volumes of `target`. Raises EVolumeWriteError for a
    // numbered failure (the volumes written so far stay) and std::bad_alloc when memory runs out;
    // the open volume is closed and the end-of-batch progress report made in every case.
    void CopyToVolumes(const std::string& source, const std::string& target);

    // 0-based number of the last volume written (after CopyToVolumes).
    int LastVolume() const { return m_volume; }
    // The drive type of the target (after CopyToVolumes).

    // Writes `length` bytes to the volumes, starting a new volume when the current one is full or
    // holds fewer than `minRoom` free bytes (0: the bytes may be split anywhere).
    void WriteToVolumes(const void* buffer, std::size_t length, std::size_t minRoom);

private:
    struct Entry;
    struct Source;

    [[noreturn]] void Fail(int id, bool showDialog, const std::string& text = {});
    void ReadCentralDirectory(Source& src);
    void CopyEntries(Source& src);
    void CopyCentralDirectory(Source& src);
    void WriteEndRecords(Source& src, int centralDisk, std::uint64_t centralOffset);
    void Finish();
    void EnsureRoom(std::size_t minRoom);
    void OpenVolume();
    bool IsFixed() const;
    bool DriveValid();
    void AskForVolume();
    bool AskOverwrite(std::int64_t fileTime);
    void CloseVolume();
    void CopyFromSource(std::uint64_t size, int shortReadId);
    void ReadSource(void* buffer, std::size_t size, int shortReadId);

    IVolumeService& m_service;
    IVolumeWriterHost& m_host;
    VolumeWriterSettings m_settings;

    std::string m_target;
    std::string m_driveRoot;
    std::string m_spaceRoot; // the folder whose free space counts (the target's folder)
    DriveType m_driveType = DriveType::Unknown;
    int m_volume = 0;
    std::int64_t m_free = 0;
    std::int64_t m_capacity = 0; // free bytes of the current volume when it was opened
    std::int64_t m_onVolume = 0;
    int m_out = -1;
    std::string m_outName;
    bool m_newDisk = true;
    bool m_reportChunks = false;
    std::int64_t m_sourceTime = 0; // seconds; volumes of this run carry the same time
    long m_sourceTimeNs = 0;
    std::int64_t m_sourceSize = 0;
    int m_lastVolumeEstimate = 0;
    DiskAction m_lastStatusAnswer = DiskAction::Ok;
    int m_sourceFd = -1;
};

} // namespace volumes
