#pragma once
// Value types of the zip component: option sets, enumerations of its events, and the record of one
// archive directory entry.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// A set of the members of an enumeration whose values are bit numbers (member n is bit n).
template <typename Member, typename Bits> class EnumSet
{
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<Member> members)
    {
        for (Member m : members) {
            Include(m);
        }
    }
    static constexpr EnumSet FromBits(Bits bits)
    {
        EnumSet set;
        set.m_bits = bits;
        return set;
    }

    constexpr bool Has(Member m) const { return (m_bits & Mask(m)) != 0; }
    constexpr void Include(Member m) { m_bits = static_cast<Bits>(m_bits | Mask(m)); }
    constexpr void Exclude(Member m) { m_bits = static_cast<Bits>(m_bits & ~Mask(m)); }
    constexpr void Set(Member m, bool on) { on ? Include(m) : Exclude(m); }
    constexpr bool Empty() const { return m_bits == 0; }
    constexpr Bits ToBits() const { return m_bits; }
    constexpr bool operator==(const EnumSet&) const = default;

private:
    static constexpr Bits Mask(Member m) { return static_cast<Bits>(Bits{1} << static_cast<unsigned>(m)); }
    Bits m_bits = 0;
};

// Add options, a 16-bit set.
enum class AddOpt : unsigned
{
    AddDirNames = 0,
    AddRecurseDirs = 1,
    AddMove = 2,
    AddFreshen = 3,
    AddUpdate = 4,
    AddZipTime = 5,
    AddForceDOS = 6,
    AddHiddenFiles = 7,
    AddArchiveOnly = 8,
    AddResetArchive = 9,
    AddEncrypt = 10,
    AddSeparateDirs = 11,
    AddVolume = 12,
    AddDiskSpan = 13,
    AddDiskSpanErase = 14,
};
using AddOpts = EnumSet<AddOpt, std::uint16_t>;

// Extraction options; nothing in this program extracts.
enum class ExtrOpt : unsigned
{
    ExtrDirNames = 0,
    ExtrOverWrite = 1,
    ExtrFreshen = 2,
    ExtrUpdate = 3,
    ExtrTest = 4
};
using ExtrOpts = EnumSet<ExtrOpt, std::uint8_t>;

// Self-extractor options.
enum class SFXOpt : unsigned
{
    SFXAskCmdLine = 0,
    SFXAskFiles = 1,
    SFXAutoRun = 2,
    SFXHideOverWriteBox = 3,
    SFXCheckSize = 4,
    SFXNoSuccessMsg = 5,
};
using SFXOpts = EnumSet<SFXOpt, std::uint8_t>;

// Suffixes stored without compression, in the order of the engine's suffix list.
enum class AddStoreExt : unsigned
{
    assGIF = 0,
    assPNG,
    assZ,
    assZIP,
    assZOO,
    assARC,
    assLZH,
    assARJ,
    assTAZ,
    assTGZ,
    assLHA,
    assRAR,
    assACE,
    assCAB,
    assGZ,
    assGZIP,
    assJAR,
    assEXE,
};
using AddStoreExts = EnumSet<AddStoreExt, std::uint32_t>;

enum class OvrOpts
{
    OvrConfirm,
    OvrAlways,
    OvrNever
};
enum class CodePageOpts
{
    cpAuto,
    cpNone,
    cpOEM
};
enum class DeleteOpts
{
    htdFinal,
    htdAllowUndo
};

// Kind of a progress event.
enum class ProgressType
{
    NewFile = 0,
    ProgressUpdate = 1,
    EndOfBatch = 2,
    TotalFiles2Process = 3,
    TotalSize2Process = 4
};

// Answer of a password request handler.
enum class TPasswordButton
{
    pwbOk = 0,
    pwbCancel = 1,
    pwbCancelAll = 2,
    pwbAbort = 3
};

enum class UnZipSkipTypes
{
    stOnFreshen = 0,
    stNoOverwrite,
    stFileExists,
    stBadPassword,
    stNoEncryptionDLL,
    stCompressionUnknown,
    stUnknownZipHost,
    stZipFileFormatWrong,
    stGeneralExtractError,
};

// State of a volume found in the drive while writing a multi-volume set (bits).
enum TZipDiskStatusBits : int
{
    zdsEmpty = 1,
    zdsHasFiles = 2,
    zdsPreviousDisk = 4,
    zdsSameFileName = 8,
    zdsNotEnoughSpace = 16,
};
using TZipDiskStatus = int;
enum class TZipDiskAction
{
    zdaOk = 0,
    zdaErase = 1,
    zdaReject = 2,
    zdaCancel = 3
};

// One kept central directory entry. The fixed fields mirror the central directory file header;
// sizes, the local header offset and the start disk are the full values, taken from the ZIP64
// extra field where the 32-bit fields are full.
struct ZipDirEntry
{
    std::uint8_t MadeByVersion = 0;
    std::uint8_t HostSys = 0; // 0 MS-DOS/FAT, 3 Unix, 6 HPFS, 11 NTFS, ...
    std::uint16_t ExtrVersion = 0;
    std::uint16_t Flag = 0;
    std::uint16_t ComprMethod = 0;
    std::uint32_t DateTime = 0; // MS-DOS time in the low half, date in the high half
    std::uint32_t CRC32 = 0;
    std::uint64_t CompressedSize = 0;
    std::uint64_t UncompressedSize = 0;
    std::uint16_t FileNameLength = 0;
    std::uint16_t ExtraFieldLength = 0;
    std::uint16_t FileCommentLen = 0;
    std::uint32_t StartOnDisk = 0;
    std::uint16_t IntFileAttrib = 0;
    std::uint32_t ExtFileAttrib = 0;
    std::uint64_t RelOffLocalHdr = 0;
    std::string FileName;    // character set converted for display; "/" kept as the separator
    std::string FileComment; // character set converted; empty when none
    bool Encrypted = false;
    std::vector<std::uint8_t> ExtraData; // the raw extra field; empty when it has none
};
