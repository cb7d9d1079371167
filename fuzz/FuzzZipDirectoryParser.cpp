// Fuzz target of the shared zip directory reader (zipdir/): the input is an archive in memory. The
// end record is looked for and the central headers are walked as every user of the reader does.
// Nothing may crash, hang or over-read, and every value returned must agree with the input's bytes.

#include "FuzzCheck.h"
#include "zipdir/ZipDirectory.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Headers walked at most per input: enough to cover any directory the fuzzer builds quickly.
constexpr std::uint64_t kMaxHeaders = 100000;

bool within(const zipfmt::ByteView& part, const std::uint8_t* data, std::size_t size)
{
    return part.size() == 0 || (part.data() >= data && part.data() + part.size() <= data + size);
}

void checkEnd(const std::uint8_t* data, std::size_t size, const zipdir::EndRecord& end)
{
    namespace er = zipfmt::endrec;
    check(end.fileSize == size);
    check(end.offset + er::kSize <= size);
    check(size - end.offset <= er::kMaxSearch);
    check(std::memcmp(end.raw, data + end.offset, er::kSize) == 0);
    check(zipfmt::getU32(end.raw) == zipfmt::kEndRecordSig);
    check(end.commentLength == zipfmt::getU16(end.raw + er::kCommentLength));
    check(end.dataEnd >= end.offset + er::kSize && end.dataEnd <= size);
    check(end.trailing == size - end.dataEnd);
    check(end.comment.size() <= end.commentLength);
    check(end.comment.size() == end.dataEnd - end.offset - er::kSize);
    check(std::memcmp(end.comment.data(), data + end.offset + er::kSize, end.comment.size()) == 0);
    bool zeros = true;
    for (std::uint64_t i = end.dataEnd; i < size; ++i) {
        zeros = zeros && data[i] == 0;
    }
    check(zeros == end.trailingAllZero);
    if (end.zip64 != zipdir::Zip64State::Absent) {
        check(end.zip64Locator + zipfmt::zip64loc::kSize == end.offset);
        check(zipfmt::getU32(data + end.zip64Locator) == zipfmt::kZip64LocatorSig);
    }
    if (end.zip64 == zipdir::Zip64State::Found) {
        check(end.zip64Offset + zipfmt::zip64end::kSize <= end.zip64Locator);
        check(zipfmt::getU32(data + end.zip64Offset) == zipfmt::kZip64EndRecordSig);
        check(end.entries == zipfmt::getU64(data + end.zip64Offset + zipfmt::zip64end::kEntriesTotal));
        check(end.directoryEnd == end.zip64Offset);
    } else {
        check(end.directoryEnd == end.offset);
        check(end.entries == zipfmt::getU16(end.raw + er::kEntriesTotal));
    }
    check(end.directoryFits == (end.centralSize <= end.directoryEnd));
    if (end.directoryFits) {
        check(end.directoryStart + end.centralSize == end.directoryEnd);
    }
}

void checkHeader(const zipfmt::ByteView& rest, const zipdir::CentralHeader& h)
{
    check(h.recordSize() <= rest.size());
    check(h.name.size() == h.nameLength && h.extra.size() == h.extraLength && h.comment.size() == h.commentLength);
    check(within(h.name, rest.data(), rest.size()) && within(h.extra, rest.data(), rest.size()) &&
          within(h.comment, rest.data(), rest.size()));
    auto wide = [&](std::uint32_t fixed, std::size_t at, std::uint64_t value, unsigned missing) {
        if (fixed != zipfmt::kMax32) {
            check(at == zipdir::CentralHeader::npos && value == fixed);
        } else if (at == zipdir::CentralHeader::npos) {
            check((h.zip64Missing & missing) != 0 && value == fixed);
        } else {
            check(at >= zipfmt::central::kSize && at + 8 <= h.recordSize());
            check(value == zipfmt::getU64(rest.data() + at));
        }
    };
    wide(h.size32, h.zip64SizeAt, h.size, zipdir::kMissingSize);
    wide(h.compressed32, h.zip64CompressedAt, h.compressedSize, zipdir::kMissingCompressed);
    wide(h.offset32, h.zip64OffsetAt, h.localOffset, zipdir::kMissingOffset);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zipdir::MemorySource source(data, size);
    zipdir::EndRecord end;
    const zipdir::EndFault fault = zipdir::findEndRecord(source, end);
    check(fault != zipdir::EndFault::ReadFailed);
    if (fault == zipdir::EndFault::NoEndRecord) {
        // Then no end record signature is in reach.
        const std::size_t from = size > zipfmt::endrec::kMaxSearch ? size - zipfmt::endrec::kMaxSearch : 0;
        for (std::size_t pos = from; pos + zipfmt::endrec::kSize <= size; ++pos) {
            check(zipfmt::getU32(data + pos) != zipfmt::kEndRecordSig);
        }
        return 0;
    }
    checkEnd(data, size, end);
    if (!end.directoryFits || end.otherVolume()) {
        return 0;
    }
    const zipfmt::ByteView directory(data + end.directoryStart, static_cast<std::size_t>(end.centralSize));
    zipdir::CentralWalker walker(directory);
    for (std::uint64_t i = 0; i < end.entries && i < kMaxHeaders; ++i) {
        const std::size_t before = walker.position();
        zipdir::CentralHeader h;
        const zipdir::HeaderFault headerFault = walker.next(h);
        if (headerFault != zipdir::HeaderFault::None) {
            check(walker.position() == before);
            break;
        }
        checkHeader(directory.sub(before, directory.size() - before), h);
        check(walker.position() == before + h.recordSize());
    }
    return 0;
}
