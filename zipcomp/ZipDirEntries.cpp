#include "zipcomp/ZipDirEntries.h"

void ZipDirEntries::clear()
{
    // Gives the memory back: a directory read after a large one may be small.
    std::vector<Record>().swap(m_records);
    std::string().swap(m_text);
}

void ZipDirEntries::push_back(const ZipDirEntry& e)
{
    Record r{};
    r.compressedSize = e.CompressedSize;
    r.uncompressedSize = e.UncompressedSize;
    r.relOffLocalHdr = e.RelOffLocalHdr;
    r.textAt = m_text.size();
    r.crc32 = e.CRC32;
    r.dateTime = e.DateTime;
    r.startOnDisk = e.StartOnDisk;
    r.extFileAttrib = e.ExtFileAttrib;
    r.nameSize = static_cast<std::uint32_t>(e.FileName.size());
    r.commentSize = static_cast<std::uint32_t>(e.FileComment.size());
    r.extrVersion = e.ExtrVersion;
    r.flag = e.Flag;
    r.comprMethod = e.ComprMethod;
    r.fileNameLength = e.FileNameLength;
    r.extraFieldLength = e.ExtraFieldLength;
    r.fileCommentLen = e.FileCommentLen;
    r.intFileAttrib = e.IntFileAttrib;
    r.extraSize = static_cast<std::uint16_t>(e.ExtraData.size());
    r.madeByVersion = e.MadeByVersion;
    r.hostSys = e.HostSys;
    r.encrypted = e.Encrypted;
    m_text += e.FileName;
    m_text += e.FileComment;
    m_text.append(reinterpret_cast<const char*>(e.ExtraData.data()), r.extraSize);
    m_records.push_back(r);
}

std::string_view ZipDirEntries::FileName(std::size_t index) const
{
    const Record& r = m_records[index];
    return std::string_view(m_text.data() + r.textAt, r.nameSize);
}

ZipDirEntry ZipDirEntries::operator[](std::size_t index) const
{
    const Record& r = m_records[index];
    ZipDirEntry e;
    e.MadeByVersion = r.madeByVersion;
    e.HostSys = r.hostSys;
    e.ExtrVersion = r.extrVersion;
    e.Flag = r.flag;
    e.ComprMethod = r.comprMethod;
    e.DateTime = r.dateTime;
    e.CRC32 = r.crc32;
    e.CompressedSize = r.compressedSize;
    e.UncompressedSize = r.uncompressedSize;
    e.FileNameLength = r.fileNameLength;
    e.ExtraFieldLength = r.extraFieldLength;
    e.FileCommentLen = r.fileCommentLen;
    e.StartOnDisk = r.startOnDisk;
    e.IntFileAttrib = r.intFileAttrib;
    e.ExtFileAttrib = r.extFileAttrib;
    e.RelOffLocalHdr = r.relOffLocalHdr;
    const char* text = m_text.data() + r.textAt;
    e.FileName.assign(text, r.nameSize);
    e.FileComment.assign(text + r.nameSize, r.commentSize);
    const auto* extra = reinterpret_cast<const std::uint8_t*>(text + r.nameSize + r.commentSize);
    e.ExtraData.assign(extra, extra + r.extraSize);
    e.Encrypted = r.encrypted;
    return e;
}
