#include "zipcomp/SfxBuilder.h"

#include "core/PosixIo.h"
#include "pathrules/PathRules.h"
#include "zipcomp/PeIconPatch.h"
#include "zipcomp/ZipMessages.h"
#include "zipdir/ZipDirectory.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace sfx {

const char* const kSystemStubFolders[2] = {"/usr/local/lib/vorland", "/usr/lib/vorland"};

namespace {

constexpr std::uint8_t kBlockMagic[3] = {0x4D, 0x50, 0x56}; // "MPV"
constexpr std::size_t kBlockOptions = 3;
constexpr std::size_t kBlockVersion = 5; // always 1
constexpr std::size_t kBlockSize = 6;    // u16
constexpr std::size_t kBlockTexts = 8;

// Copy chunk; the user interface gets a turn after each.
constexpr std::size_t kCopyChunk = 8192;

// Raised inside the builder to end it with a result; the message (when not 0) is reported.
struct BuildFailure
{
    int result;
    int messageId;
    std::string extra;
};

std::string iconText(int result)
{
    switch (result) {
    case kIconNoResource:
        return "the stub holds no replaceable 32x32 icon";
    case kIconBadIconFile:
        return "the icon is not a single 32x32, 16-colour image of 766 bytes";
    default:
        return "the icon could not be written into the stub";
    }
}

std::string systemText(const std::string& what, const std::string& file)
{
    return what + " \"" + file + "\": " + std::strerror(errno);
}

class Fd
{
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void release() { m_fd = -1; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Copies `size` bytes (all that is left when size is -1) from `in` to `out`; returns the count, or
// -1 on a failed read or write, or when fewer than `size` bytes were there.
std::int64_t copyBytes(int in, int out, std::int64_t size, ISfxHost& host)
{
    std::string buffer(kCopyChunk, '\0');
    std::int64_t copied = 0;
    while (size < 0 || copied < size) {
        std::size_t want =
            size < 0 ? kCopyChunk : static_cast<std::size_t>(std::min<std::int64_t>(kCopyChunk, size - copied));
        std::size_t got = 0;
        if (!ReadFully(in, buffer.data(), want, got)) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        if (!writeFully(out, buffer.data(), got)) {
            return -1;
        }
        copied += static_cast<std::int64_t>(got);
        host.ProcessMessages();
    }
    return size >= 0 && copied != size ? -1 : copied;
}

class Builder
{
public:
    Builder(SfxJob& job, ISfxHost& host) : m_job(job), m_host(host) {}

    int run()
    {
        try {
            prepare();
            build();
            return kSfxOk;
        } catch (const BuildFailure& failure) {
            if (failure.messageId != 0) {
                m_host.ReportSfxMessage(failure.messageId, failure.extra);
            } else {
                m_job.errorText = failure.extra;
            }
            discardOutput();
            return failure.result;
        } catch (const std::bad_alloc&) {
            m_host.ReportSfxMessage(zipmsg::kOutOfMemory, "");
            discardOutput();
            return kSfxOtherError;
        }
    }

private:
    void prepare()
    {
        if (m_job.convert && !isRegularFile(m_job.zipFileName)) {
            throw BuildFailure{kSfxOtherError, zipmsg::kNoArchiveName, ""};
        }
        if (!MakeConfigBlock(m_job.settings, m_block)) {
            throw BuildFailure{kSfxOtherError, zipmsg::kSfxTextsTooLong,
                               "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine + SFXMessage = " +
                                   std::to_string(ConfigBlockSize(m_job.settings) + 1)};
        }
        for (const std::string& candidate : StubCandidates(m_job.sfxPath, m_job.programDir, m_job.dllDirectory)) {
            if (isRegularFile(candidate)) {
                m_stubPath = candidate;
                break;
            }
        }
        if (m_stubPath.empty()) {
            throw BuildFailure{kSfxOtherError, zipmsg::kSfxStubNotFound, ""};
        }
        m_job.sfxPath = m_stubPath;
        if (m_job.convert) {
            if (!HasExtension(m_job.zipFileName, ".zip")) {
                throw BuildFailure{kSfxOtherError, zipmsg::kSfxNotZipName, ""};
            }
            m_job.outputName = m_job.zipFileName.substr(0, m_job.zipFileName.size() - 4) + ".exe";
        } else {
            m_job.outputName = m_job.zipFileName;
        }
    }

    void build()
    {
        // A temporary name beside the output: a failure leaves nothing, an existing file of the
        // output's name survives until the new one is complete.
        m_tempName = m_job.outputName + ".XXXXXX";
        int fd = ::mkstemp(m_tempName.data());
        if (fd < 0) {
            m_tempName.clear();
            throw BuildFailure{kSfxCreateFailed, 0, systemText("cannot create", m_job.outputName)};
        }
        m_out.reset(fd);
        ::fchmod(fd, 0644);

        Fd stub(::open(m_stubPath.c_str(), O_RDONLY | O_CLOEXEC));
        if (stub.get() < 0) {
            throw BuildFailure{kSfxStubFailed, 0, systemText("cannot open the stub", m_stubPath)};
        }
        std::int64_t stubSize = copyBytes(stub.get(), m_out.get(), -1, m_host);
        if (stubSize < 0) {
            throw BuildFailure{kSfxCopyFailed, 0, systemText("cannot copy the stub", m_stubPath)};
        }
        if (!m_job.icon.empty()) {
            int iconResult = ReplaceStubIcon(m_out.get(), static_cast<std::uint64_t>(stubSize), m_job.icon);
            if (iconResult != kIconOk) {
                throw BuildFailure{iconResult, 0, iconText(iconResult)};
            }
        }
        if (!writeFully(m_out.get(), m_block.data(), m_block.size())) {
            throw BuildFailure{kSfxCopyFailed, 0, systemText("cannot write", m_job.outputName)};
        }
        const std::uint64_t shift = static_cast<std::uint64_t>(stubSize) + m_block.size();
        std::uint64_t archiveSize = 0;
        if (m_job.convert) {
            archiveSize = convertArchive(shift);
        } else {
            std::uint8_t end[zipfmt::endrec::kSize] = {};
            zipfmt::putU32(end + zipfmt::endrec::kSignature, zipfmt::kEndRecordSig);
            zipfmt::putU32(end + zipfmt::endrec::kCentralOffset, static_cast<std::uint32_t>(shift));
            if (!writeFully(m_out.get(), end, sizeof end)) {
                throw BuildFailure{kSfxCopyFailed, 0, systemText("cannot write", m_job.outputName)};
            }
            archiveSize = sizeof end;
        }
        if (::fsync(m_out.get()) != 0) {
            throw BuildFailure{kSfxCopyFailed, 0, systemText("cannot write", m_job.outputName)};
        }
        struct stat st
        {
        };
        if (::fstat(m_out.get(), &st) != 0 || static_cast<std::uint64_t>(st.st_size) != shift + archiveSize) {
            throw BuildFailure{kSfxOtherError, 0,
                               "the sizes of stub, block and archive do not add up in \"" + m_job.outputName + "\""};
        }
        if (::close(m_out.get()) != 0) {
            m_out.reset(-1);
            throw BuildFailure{kSfxCopyFailed, 0, systemText("cannot write", m_job.outputName)};
        }
        // The descriptor is closed; forget it without closing twice.
        m_out.release();
        if (::rename(m_tempName.c_str(), m_job.outputName.c_str()) != 0) {
            throw BuildFailure{kSfxCreateFailed, 0, systemText("cannot create", m_job.outputName)};
        }
        m_tempName.clear();
        if (m_job.convert) {
            ::unlink(m_job.zipFileName.c_str());
        }
    }

    // Copies the archive behind the stub and the block with every offset moved by `shift`;
    // returns the archive's size.
    std::uint64_t convertArchive(std::uint64_t shift)
    {
        Fd zip(::open(m_job.zipFileName.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat st
        {
        };
        if (zip.get() < 0 || ::fstat(zip.get(), &st) != 0) {
            throw BuildFailure{kSfxStubFailed, 0, systemText("cannot open", m_job.zipFileName)};
        }
        const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
        zipdir::FileSource source(zip.get(), size);
        zipdir::EndRecord t;
        if (zipdir::findEndRecord(source, t) != zipdir::EndFault::None) {
            throw BuildFailure{kSfxStubFailed, 0,
                               "no end of central directory record found in \"" + m_job.zipFileName + "\""};
        }
        if (t.zip64 == zipdir::Zip64State::Broken) {
            throw BuildFailure{kSfxStubFailed, zipmsg::kSfxSkipEnd, m_job.zipFileName};
        }
        if (t.displaced()) {
            // The central directory is not where the end record says (the archive already carries
            // something in front): its offsets are not plain file positions, so it is copied as it is.
            if (copyBytes(zip.get(), m_out.get(), static_cast<std::int64_t>(size), m_host) < 0) {
                throw BuildFailure{kSfxCopyFailed, zipmsg::kSfxCopyData, m_job.zipFileName};
            }
            return size;
        }
        if (copyBytes(zip.get(), m_out.get(), static_cast<std::int64_t>(t.centralOffset), m_host) < 0) {
            throw BuildFailure{kSfxCopyFailed, zipmsg::kSfxCopyData, m_job.zipFileName};
        }
        std::string rest(size - t.centralOffset, '\0');
        std::size_t got = 0;
        if (!ReadFully(zip.get(), rest.data(), rest.size(), got) || got != rest.size()) {
            throw BuildFailure{kSfxCopyFailed, zipmsg::kCentralHeaderShort, m_job.zipFileName};
        }
        shiftCentralDirectory(rest, t, shift);
        if (!writeFully(m_out.get(), rest.data(), rest.size())) {
            throw BuildFailure{kSfxCopyFailed, zipmsg::kSfxEndWrite, ""};
        }
        return size;
    }

    // `rest` holds the archive from its central directory to its end.
    void shiftCentralDirectory(std::string& rest, const zipdir::EndRecord& t, std::uint64_t shift)
    {
        zipfmt::ByteView view(rest.data(), rest.size());
        auto* bytes = reinterpret_cast<std::uint8_t*>(rest.data());
        const std::string beyond = "offset beyond 4 GiB without ZIP64 records in \"" + m_job.zipFileName + "\"";
        zipdir::CentralWalker walker(view.sub(0, static_cast<std::size_t>(t.centralSize)));
        for (std::uint64_t i = 0; i < t.entries; ++i) {
            const std::size_t pos = walker.position();
            zipdir::CentralHeader h;
            switch (walker.next(h)) {
            case zipdir::HeaderFault::None:
                break;
            case zipdir::HeaderFault::Short:
                throw BuildFailure{kSfxCopyFailed, zipmsg::kCentralHeaderShort, m_job.zipFileName};
            case zipdir::HeaderFault::Signature:
                throw BuildFailure{kSfxCopyFailed, zipmsg::kCentralHeaderSignature, m_job.zipFileName};
            case zipdir::HeaderFault::NameShort:
            case zipdir::HeaderFault::ExtraShort:
            case zipdir::HeaderFault::CommentShort:
                throw BuildFailure{kSfxCopyFailed, zipmsg::kSfxCopyData, m_job.zipFileName};
            }
            if (h.zip64OffsetAt != zipdir::CentralHeader::npos) {
                zipfmt::putU64(bytes + pos + h.zip64OffsetAt, h.localOffset + shift);
            } else if (h.offset32 == zipfmt::kMax32) {
                throw BuildFailure{kSfxCopyFailed, zipmsg::kSfxCopyData, m_job.zipFileName};
            } else if (h.offset32 + shift >= zipfmt::kMax32) {
                throw BuildFailure{kSfxCopyFailed, zipmsg::kSfxCentralWrite, beyond};
            } else {
                zipfmt::putU32(bytes + pos + zipfmt::central::kLocalHeaderOffset,
                               static_cast<std::uint32_t>(h.offset32 + shift));
            }
        }
        const std::uint64_t base = t.centralOffset;
        if (t.zip64 == zipdir::Zip64State::Found) {
            const std::size_t end64 = static_cast<std::size_t>(t.zip64Offset - base);
            const std::size_t locator = static_cast<std::size_t>(t.zip64Locator - base);
            std::uint64_t value = 0;
            if (!view.u64(end64 + zipfmt::zip64end::kCentralOffset, value)) {
                throw BuildFailure{kSfxCopyFailed, zipmsg::kSfxSkipEnd, m_job.zipFileName};
            }
            zipfmt::putU64(bytes + end64 + zipfmt::zip64end::kCentralOffset, value + shift);
            if (!view.u64(locator + zipfmt::zip64loc::kEndOffset, value)) {
                throw BuildFailure{kSfxCopyFailed, zipmsg::kSfxSkipEnd, m_job.zipFileName};
            }
            zipfmt::putU64(bytes + locator + zipfmt::zip64loc::kEndOffset, value + shift);
        }
        const std::size_t end = static_cast<std::size_t>(t.offset - base);
        std::uint32_t offset32 = 0;
        if (!view.u32(end + zipfmt::endrec::kCentralOffset, offset32)) {
            throw BuildFailure{kSfxCopyFailed, zipmsg::kSfxSkipEnd, m_job.zipFileName};
        }
        if (offset32 != zipfmt::kMax32) {
            if (offset32 + shift >= zipfmt::kMax32) {
                throw BuildFailure{kSfxCopyFailed, zipmsg::kSfxEndWrite, beyond};
            }
            zipfmt::putU32(bytes + end + zipfmt::endrec::kCentralOffset, static_cast<std::uint32_t>(offset32 + shift));
        }
    }

    void discardOutput()
    {
        m_out.reset(-1);
        if (!m_tempName.empty()) {
            ::unlink(m_tempName.c_str());
            m_tempName.clear();
        }
    }

    SfxJob& m_job;
    ISfxHost& m_host;
    std::string m_block;
    std::string m_stubPath;
    std::string m_tempName;
    Fd m_out;
};

} // namespace

std::uint8_t OptionBits(const SfxSettings& s)
{
    std::uint8_t bits = 0;
    bits |= s.askCmdLine ? kOptAskCmdLine : 0;
    bits |= s.askFiles ? kOptAskFiles : 0;
    bits |= s.hideOverwriteBox ? kOptHideOverwriteBox : 0;
    bits |= s.overwriteMode == OverwriteMode::Always ? kOptOverwriteAlways : 0;
    bits |= s.overwriteMode == OverwriteMode::Never ? kOptOverwriteNever : 0;
    bits |= s.checkSize ? 0 : kOptNoCheckSize;
    bits |= s.autoRun ? kOptAutoRun : 0;
    bits |= s.noSuccessMsg ? kOptNoSuccessMsg : 0;
    return bits;
}

std::size_t ConfigBlockSize(const SfxSettings& s)
{
    std::size_t size =
        kBlockFixedSize + s.caption.size() + s.defaultDir.size() + s.commandLine.size() + s.message.size();
    return (size + 3) / 4 * 4;
}

bool MakeConfigBlock(const SfxSettings& s, std::string& block)
{
    block.clear();
    const std::string* texts[4] = {&s.caption, &s.defaultDir, &s.commandLine, &s.message};
    for (const std::string* text : texts) {
        if (text->size() > kMaxBlockText) {
            return false;
        }
    }
    std::string out(ConfigBlockSize(s), '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(out.data());
    std::memcpy(p, kBlockMagic, sizeof kBlockMagic);
    p[kBlockOptions] = OptionBits(s);
    p[kBlockVersion] = 1;
    zipfmt::putU16(p + kBlockSize, static_cast<std::uint16_t>(out.size()));
    std::size_t pos = kBlockTexts;
    for (const std::string* text : texts) {
        p[pos++] = static_cast<std::uint8_t>(text->size());
        std::memcpy(p + pos, text->data(), text->size());
        pos += text->size();
    }
    block = std::move(out);
    return true;
}

std::vector<std::string> StubCandidates(const std::string& sfxPath, const std::string& programDir,
                                        const std::string& dllDirectory)
{
    std::vector<std::string> folders = {"", programDir, kSystemStubFolders[0], kSystemStubFolders[1]};
    if (!dllDirectory.empty()) {
        folders.push_back(dllDirectory);
    }
    // The original platform compared names without regard to case; try the usual spellings.
    const char* names[] = {kDefaultStubName, "ZIPSTUB.BIN", "zipstub.bin"};
    std::vector<std::string> candidates;
    if (!sfxPath.empty()) {
        candidates.push_back(sfxPath);
    }
    for (const std::string& folder : folders) {
        if (&folder != &folders[0] && folder.empty()) {
            continue;
        }
        for (const char* name : names) {
            candidates.push_back(joinPath(folder, name));
        }
    }
    return candidates;
}

bool HasExtension(const std::string& name, const char* ext)
{
    const std::size_t n = std::strlen(ext);
    if (name.size() < n) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        char a = name[name.size() - n + i];
        char b = ext[i];
        if ((a >= 'A' && a <= 'Z' ? a + 32 : a) != (b >= 'A' && b <= 'Z' ? b + 32 : b)) {
            return false;
        }
    }
    return true;
}

int BuildSelfExtractor(SfxJob& job, ISfxHost& host)
{
    return Builder(job, host).run();
}

} // namespace sfx
