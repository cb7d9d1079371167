// Fuzz target of the engine's reading of an existing archive before an update: the input is written
// to a file as the archive, and the engine's reader decides whether it takes the archive (and where
// every entry it would carry over lies) or refuses it. Nothing may crash, hang or over-read; a
// refusal is an EngineError naming the archive as damaged; what is taken must lie in the file.

#include "ArchiveReader.h"
#include "EngineError.h"
#include "fuzz/FuzzArchiveFile.h"

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

bool refusal(const zipengine::EngineError& e, const std::string& path)
{
    // The text names the archive first; an entry name it quotes may end it early at a zero byte.
    const std::string text = e.what();
    const bool fine = e.code() == ZIP_MSG_BAD_ARCHIVE && text.find(path) != std::string::npos;
    if (!fine) {
        std::fprintf(stderr, "not a refusal: %d %s\n", static_cast<int>(e.code()), text.c_str());
    }
    return fine;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ArchiveFile file("vorland-fuzz-engine-");
    file.Fill(data, size);
    try {
        zipengine::ExistingArchive archive(file.Path());
        check(archive.entries().size() * 46 <= size);
        check(archive.prefixSize() <= size);
        check(archive.comment().size() <= size);
        for (const zipengine::ExistingEntry& entry : archive.entries()) {
            check(archive.find(archive.name(entry)) >= 0);
            const std::uint64_t localOffset = archive.header(entry).localOffset;
            check(localOffset >= archive.prefixSize());
            try {
                std::uint64_t start = 0;
                std::uint64_t length = 0;
                archive.localSpan(entry, start, length);
                check(start == localOffset && length >= 30 && start + length <= size);
            } catch (const zipengine::EngineError& e) {
                check(refusal(e, file.Path()));
            }
        }
    } catch (const zipengine::EngineError& e) {
        check(refusal(e, file.Path()));
    }
    return 0;
}
