#pragma once
// Reading the central directory of the archive named in ZipFileName into the component's Entries:
// the end record (and the ZIP64 end record and locator when present), every central directory
// header with its name, extra field and comment, and the volumes of a multi-volume set. Every value
// taken from the file is checked before use; a damaged file ends in a numbered message.

#include "zipcomp/VolumeService.h"
#include "zipdir/ZipDirectory.h"

#include <cstdint>
#include <string>
#include <vector>

class TZipComponent;
struct ZipDirEntry;

// A read-only file with a position and a read buffer, for reading records one after another.
class ZipVolumeFile
{
public:
    ZipVolumeFile() = default;
    ~ZipVolumeFile() { Close(); }
    ZipVolumeFile(const ZipVolumeFile&) = delete;
    ZipVolumeFile& operator=(const ZipVolumeFile&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    std::int64_t Size() const { return m_size; }
    // False when the position is outside 0 to Size().
    bool Seek(std::int64_t position);
    // Reads up to `count` bytes at the current position; returns how many were read (fewer at the
    // end of the file or on an error).
    std::size_t Read(void* out, std::size_t count);
    bool ReadExact(void* out, std::size_t count) { return Read(out, count) == count; }
    bool ReadString(std::size_t count, std::string& out);
    // Reads exactly `count` bytes at `position` past the read buffer, leaving the position as it is.
    bool ReadAt(std::int64_t position, void* out, std::size_t count) const;

private:
    bool Fill();

    int m_fd = -1;
    std::int64_t m_size = 0;
    std::int64_t m_bufferStart = 0; // file position of m_buffer[0]
    std::size_t m_bufferUsed = 0;
    std::size_t m_bufferPos = 0;
    std::vector<std::uint8_t> m_buffer;
};

// One directory read. Created by TZipComponent::ReadDirectory for the time of the read.
class ZipDirReader
{
public:
    explicit ZipDirReader(TZipComponent& zip) : m_zip(zip) {}
    // Runs the whole read and its failure handling; raises OnDirUpdate at the end.
    void Run();

private:
    void ReadEntries();
    // Finds the end record, reports a displaced directory and seeks to the first header; returns
    // where the directory really starts.
    std::int64_t SeekToDirectory();
    // Where the end record says the directory starts.
    std::int64_t StatedDirectoryOffset() const;
    // Reads the next central header with its name, extra field and comment (asking for the next
    // volume when this one ends) into `record` and `h`.
    void ReadCentralRecord(std::string& record, zipdir::CentralHeader& h);
    ZipDirEntry MakeEntry(const zipdir::CentralHeader& h) const;
    void LocateEndRecord();
    bool ValidateDrive();
    void QueryDiskSpace(int mode);
    void RequestVolume(int number);
    void AskForVolume(int number, bool newDisk);
    std::string VolumeFileName(int number) const;
    std::string ConvertNameCharset(const std::string& text, std::uint8_t host, std::uint8_t version,
                                   std::uint16_t flags) const;

    TZipComponent& m_zip;
    ZipVolumeFile m_file;
    std::string m_zipPath;    // the archive as named in ZipFileName
    std::string m_volumePath; // the file of the current volume
    std::string m_driveRoot;
    std::string m_volumeLabel;
    std::uint32_t m_serial = 0;
    std::int64_t m_freeBytes = -1;
    std::int64_t m_totalBytes = -1;
    int m_currentVolume = 0;
    int m_lastVolume = 0;
    int m_labelVolume = 0;
    bool m_multiVolume = false;
    bool m_firstVolumeOfSet = false;
    std::int64_t m_fileSize = 0;
    std::int64_t m_endOfZipData = 0;
    zipdir::EndRecord m_end;
};
