// Fuzz target of the archive directory reader: the input is written to a file as an archive and
// the zip component reads its directory, as it does whenever a section names its archive. Nothing
// may crash, hang or over-read; what is read must stay within the file.

#include "fuzz/FuzzArchiveFile.h"
#include "zipcomp/ZipComp.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using fuzzkit::ArchiveFile;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ArchiveFile file("vorland-fuzz-");
    file.Fill(data, size);

    // No prompter and unattended: every message is only recorded, nothing waits for an answer.
    TZipComponent zip;
    zip.SetUnattended(true);
    int newNames = 0;
    int dirUpdates = 0;
    zip.OnNewName = [&](TZipComponent&, int seqNo, const ZipDirEntry&) {
        check(seqNo > newNames);
        ++newNames;
    };
    zip.OnDirUpdate = [&](TZipComponent&) { ++dirUpdates; };
    zip.SetZipFileName(file.Path());

    check(dirUpdates == 1);
    check(static_cast<std::size_t>(newNames) == zip.Entries().size());
    // Every central directory entry takes at least 46 bytes of the file.
    check(zip.Entries().size() * 46 <= size);
    check(zip.StubSize() >= 0 && static_cast<std::uint64_t>(zip.StubSize()) <= size);
    check(zip.EndRecordOffset() >= 0 && static_cast<std::uint64_t>(zip.EndRecordOffset()) <= size);
    check(zip.ArchiveComment().size() <= size);
    for (const ZipDirEntry& entry : zip.Entries()) {
        check(entry.ExtraData.size() <= size);
    }
    return 0;
}
