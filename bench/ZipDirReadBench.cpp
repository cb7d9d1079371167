// Reading the central directory of a 100,000-entry archive: the zip component against the listing
// commands of the common tools on the same file. Prints times and ratios; never fails on timing.
//
// Usage: ZipDirBench [entries]   (default 100000)

#include "zipcomp/ZipComp.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;

void Put16(std::string& out, std::uint16_t v)
{
    std::uint8_t b[2];
    zipfmt::putU16(b, v);
    out.append(reinterpret_cast<const char*>(b), 2);
}
void Put32(std::string& out, std::uint32_t v)
{
    std::uint8_t b[4];
    zipfmt::putU32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}
void Put64(std::string& out, std::uint64_t v)
{
    std::uint8_t b[8];
    zipfmt::putU64(b, v);
    out.append(reinterpret_cast<const char*>(b), 8);
}

// An archive of `count` empty stored files in 100 folders, with ZIP64 end records when the count
// passes 65,535.
std::string MakeArchive(std::size_t count)
{
    std::string zip;
    std::string central;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = "folder" + std::to_string(i % 100) + "/file" + std::to_string(i) + ".txt";
        const auto offset = static_cast<std::uint32_t>(zip.size());
        Put32(zip, zipfmt::kLocalHeaderSig);
        Put16(zip, 10);
        Put16(zip, 0);
        Put16(zip, 0);
        Put32(zip, 0x5A8C6000);
        Put32(zip, 0);
        Put32(zip, 0);
        Put32(zip, 0);
        Put16(zip, static_cast<std::uint16_t>(name.size()));
        Put16(zip, 0);
        zip += name;
        Put32(central, zipfmt::kCentralHeaderSig);
        Put16(central, (3 << 8) | 20);
        Put16(central, 10);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, 0x5A8C6000);
        Put32(central, 0);
        Put32(central, 0);
        Put32(central, 0);
        Put16(central, static_cast<std::uint16_t>(name.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, 0x81A40000);
        Put32(central, offset);
        central += name;
    }
    const std::uint64_t centralOffset = zip.size();
    zip += central;
    const bool zip64 = count > 0xFFFF;
    if (zip64) {
        const std::uint64_t endOffset = zip.size();
        Put32(zip, zipfmt::kZip64EndRecordSig);
        Put64(zip, 44);
        Put16(zip, 45);
        Put16(zip, 45);
        Put32(zip, 0);
        Put32(zip, 0);
        Put64(zip, count);
        Put64(zip, count);
        Put64(zip, central.size());
        Put64(zip, centralOffset);
        Put32(zip, zipfmt::kZip64LocatorSig);
        Put32(zip, 0);
        Put64(zip, endOffset);
        Put32(zip, 1);
    }
    Put32(zip, zipfmt::kEndRecordSig);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, zip64 ? 0xFFFF : static_cast<std::uint16_t>(count));
    Put16(zip, zip64 ? 0xFFFF : static_cast<std::uint16_t>(count));
    Put32(zip, static_cast<std::uint32_t>(central.size()));
    Put32(zip, static_cast<std::uint32_t>(centralOffset));
    Put16(zip, 0);
    return zip;
}

template <typename F> double BestSeconds(F&& run)
{
    double best = 1e9;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = Clock::now();
        if (!run()) {
            return -1;
        }
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

bool HaveProgram(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    const fs::path dir = fs::temp_directory_path() / ("vorland-zipdir-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string archive = (dir / "many.zip").string();
    {
        std::ofstream out(archive, std::ios::binary);
        const std::string bytes = MakeArchive(count);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::printf("Directory read of %zu entries (%ju bytes), best of %d\n", count,
                static_cast<std::uintmax_t>(fs::file_size(archive)), kRounds);

    TZipComponent zip;
    zip.SetUnattended(true);
    const double ours = BestSeconds([&] {
        zip.SetZipFileName(archive);
        return zip.Entries().size() == count;
    });
    if (ours < 0) {
        std::printf("vorland: read FAILED (%zu entries, message %d: %s)\n", zip.Entries().size(), zip.ErrCode(),
                    zip.Message().c_str());
        fs::remove_all(dir);
        return 1;
    }
    std::printf("%-28s %9.1f ms   1.00x\n", "vorland TZipComponent", ours * 1000);

    struct Peer
    {
        const char* label;
        const char* program;
        std::string command;
    };
    const std::vector<Peer> peers = {
        {"unzip -l (Info-ZIP)", "unzip", "unzip -l '" + archive + "' >/dev/null 2>&1"},
        {"7z l", "7z", "7z l '" + archive + "' >/dev/null 2>&1"},
        {"python3 zipfile", "python3",
         "python3 -c \"import sys,zipfile; zipfile.ZipFile(sys.argv[1]).infolist()\" '" + archive +
             "' >/dev/null 2>&1"},
    };
    for (const Peer& peer : peers) {
        if (!HaveProgram(peer.program)) {
            std::printf("%-28s (not installed)\n", peer.label);
            continue;
        }
        const double t = BestSeconds([&] { return std::system(peer.command.c_str()) == 0; });
        if (t < 0) {
            std::printf("%-28s failed\n", peer.label);
        } else {
            std::printf("%-28s %9.1f ms  %5.2fx (peer time / ours)\n", peer.label, t * 1000, t / ours);
        }
    }
    fs::remove_all(dir);
    return 0;
}
