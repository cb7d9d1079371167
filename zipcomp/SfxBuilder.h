#pragma once
// The self-extractor builder: an executable stub, a small configuration block that tells the stub
// how to behave, then a zip archive whose offsets count the stub and the block. Create mode makes
// an empty self-extractor (the engine then adds to it like to any archive); conversion mode turns
// an existing ".zip" into an ".exe" beside it. Plain C++ and POSIX; the zip component drives it.

#include <cstdint>
#include <string>
#include <vector>

namespace sfx {

// Results of BuildSelfExtractor (the icon results -10, -11, -12 are in PeIconPatch.h).
constexpr int kSfxOk = 0;
constexpr int kSfxCreateFailed = -1; // creating the output file failed
constexpr int kSfxCopyFailed = -2;   // a read or write failed while copying
constexpr int kSfxStubFailed = -3;   // the stub (or, converting, the archive) could not be read
constexpr int kSfxOtherError = -9;   // anything else, including sizes that do not add up

// Option bits of the configuration block.
constexpr std::uint8_t kOptAskCmdLine = 1;
constexpr std::uint8_t kOptAskFiles = 2;
constexpr std::uint8_t kOptHideOverwriteBox = 4;
constexpr std::uint8_t kOptOverwriteAlways = 8;
constexpr std::uint8_t kOptOverwriteNever = 16;
constexpr std::uint8_t kOptNoCheckSize = 32;
constexpr std::uint8_t kOptAutoRun = 64;
constexpr std::uint8_t kOptNoSuccessMsg = 128;

// Each text of the block is stored after a length byte.
constexpr std::size_t kMaxBlockText = 255;
// Fixed part of the block: "MPV", options, 0, 1, 16-bit size, four length bytes.
constexpr std::size_t kBlockFixedSize = 12;

// Stub file name looked for in the usual folders when `SFXPath` names no file.
inline constexpr const char* kDefaultStubName = "ZipStub.bin";

enum class OverwriteMode
{
    Confirm,
    Always,
    Never
};

// What the stub is told: the component's SFX* properties.
struct SfxSettings
{
    bool askCmdLine = false;
    bool askFiles = false;
    bool hideOverwriteBox = false;
    bool checkSize = true;
    bool autoRun = false;
    bool noSuccessMsg = false;
    OverwriteMode overwriteMode = OverwriteMode::Confirm;
    std::string caption = "Self-extracting Archive";
    std::string defaultDir;
    std::string commandLine;
    std::string message;
};

std::uint8_t OptionBits(const SfxSettings& settings);
// 12 + the four text lengths, rounded up to a multiple of 4.
std::size_t ConfigBlockSize(const SfxSettings& settings);
// The configuration block; false (and `block` empty) when a text is longer than 255 characters.
bool MakeConfigBlock(const SfxSettings& settings, std::string& block);

// Folders searched for a stub after `SFXPath` itself, in order, each holding "ZipStub.bin" (also
// tried in upper and lower case): the current folder, the program's folder, the shared library
// folders of an installed program (where the original platform looked in its system folders),
// and the engine's folder when `dllDirectory` is not empty.
std::vector<std::string> StubCandidates(const std::string& sfxPath, const std::string& programDir,
                                        const std::string& dllDirectory);
// The installed program's shared folders that stand in for the system folders.
extern const char* const kSystemStubFolders[2];

// What the builder reports to its owner. Called on the builder's thread.
class ISfxHost
{
public:
    virtual ~ISfxHost() = default;
    // A numbered component message with extra text appended (may be empty).
    virtual void ReportSfxMessage(int id, const std::string& extra) = 0;
    // Lets the user interface breathe between copied chunks.
    virtual void ProcessMessages() = 0;
};

struct SfxJob
{
    bool convert = false;     // false: create an empty self-extractor named zipFileName
    std::string zipFileName;  // create: the ".exe" to make; convert: the ".zip" to turn into one
    std::string sfxPath;      // in: the SFXPath setting; out: the stub used (unchanged when none)
    std::string programDir;   // folder of the running program
    std::string dllDirectory; // the component's DLLDirectory
    SfxSettings settings;
    std::string icon;       // bytes of an icon file; empty keeps the stub's icon
    std::string outputName; // out: the file made
    std::string errorText;  // out: the cause of a failure that has no message number (-1, -2, -3, ...)
};

// Builds the self-extractor. The output is written under a temporary name beside it and renamed
// into place only when complete, so a failure leaves no output behind and never destroys an
// existing file of that name. In conversion mode the source ".zip" is deleted after a fully
// checked conversion. Problems are reported through `host` with their message numbers; the result
// is one of the kSfx* / kIcon* codes.
int BuildSelfExtractor(SfxJob& job, ISfxHost& host);

// True when `name` ends in `ext` (".exe", ".zip"), compared without regard to case.
bool HasExtension(const std::string& name, const char* ext);

} // namespace sfx
