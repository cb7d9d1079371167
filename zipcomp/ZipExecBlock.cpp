#include "zipcomp/ZipExecBlock.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::int32_t kTrue = -1;
constexpr std::int32_t kFalse = 0;
constexpr std::uint16_t kRecurseOn = 0xFFFF;
constexpr std::int32_t kOwnPasswordEncrypt = 0xFFFF;
constexpr std::uint16_t kCodePageOem = 2;

std::int32_t Flag(bool on)
{
    return on ? kTrue : kFalse;
}

} // namespace

std::string ZipExecBlock::StoreSuffixText(AddStoreExts set)
{
    static const char* const kSuffixes[ZIP_STORE_SUFFIX_COUNT] = ZIP_STORE_SUFFIXES;
    std::string text;
    for (unsigned i = 0; i < ZIP_STORE_SUFFIX_COUNT; ++i) {
        if (set.Has(static_cast<AddStoreExt>(i))) {
            text += ".";
            text += kSuffixes[i];
            text += ":";
        }
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

bool ZipExecBlock::StoreSuffixSet(const std::string& text, AddStoreExts& set)
{
    static const char* const kSuffixes[ZIP_STORE_SUFFIX_COUNT] = ZIP_STORE_SUFFIXES;
    set = AddStoreExts();
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(':', start), text.size());
        const std::string item = text.substr(start, end - start);
        unsigned i = 0;
        while (i < ZIP_STORE_SUFFIX_COUNT && item != std::string(".") + kSuffixes[i]) {
            ++i;
        }
        if (i == ZIP_STORE_SUFFIX_COUNT) {
            return false;
        }
        set.Include(static_cast<AddStoreExt>(i));
        start = end + 1;
    }
    return true;
}

ZipExecBlock::SpecLine ZipExecBlock::ParseSpecLine(const std::string& line)
{
    SpecLine spec;
    std::string rest = line;
    if (!rest.empty() && (rest[0] == '>' || rest[0] == '|')) {
        spec.recurse = rest[0] == '>' ? SpecLine::Recurse::Force : SpecLine::Recurse::Forbid;
        rest.erase(0, 1);
    }
    // The first "<" starts the password, so a password may itself hold "<".
    const auto lt = rest.find('<');
    if (lt != std::string::npos) {
        spec.password = rest.substr(lt + 1);
        spec.passwordKind = spec.password.empty() ? SpecLine::Password::None : SpecLine::Password::Own;
        rest.erase(lt);
    }
    spec.pattern = rest;
    return spec;
}

ZipExecBlock::ZipExecBlock(const ZipBlockSettings& settings, int engineVersion)
{
    if (engineVersion <= ZIP_ENGINE_LEGACY_MAX_VERSION) {
        BuildLegacy(settings);
    } else {
        BuildFull(settings, engineVersion);
    }
}

void* ZipExecBlock::Data()
{
    return m_legacy ? static_cast<void*>(m_legacy.get()) : static_cast<void*>(m_full.get());
}

const char* ZipExecBlock::Keep(const std::string& text)
{
    m_texts.push_back(text);
    return m_texts.back().c_str();
}

template <typename Block> void ZipExecBlock::FillCommon(Block& b, const ZipBlockSettings& s)
{
    const AddOpts& o = s.options;
    b.Handle = s.windowHandle;
    b.Caller = s.caller;
    b.Version = ZIP_ENGINE_INTERFACE_VERSION;
    b.Callback = s.callback;
    b.Trace = Flag(s.trace);
    b.Password = KeepOrNull(s.password.substr(0, kMaxBlockPassword));
    b.StoreSuffixes = KeepOrNull(StoreSuffixText(s.storeSuffixes));
    b.Encrypt = Flag(o.Has(AddOpt::AddEncrypt));
    b.HiddenFiles = Flag(o.Has(AddOpt::AddHiddenFiles));
    b.Volume = Flag(o.Has(AddOpt::AddVolume));
    b.NoDirEntries = Flag(!o.Has(AddOpt::AddSeparateDirs));
    b.Verbose = Flag(s.verbose || s.trace);
    b.AlwaysTrue56 = kTrue;
    b.Level = s.level;
    b.JunkDirNames = Flag(!o.Has(AddOpt::AddDirNames));
    b.Recurse = o.Has(AddOpt::AddRecurseDirs) ? kRecurseOn : 0;
    b.AlwaysTrue80 = kTrue;
    b.ForceDOS = Flag(o.Has(AddOpt::AddForceDOS));
    b.Move = Flag(o.Has(AddOpt::AddMove));
    b.Update = Flag(o.Has(AddOpt::AddUpdate));
    b.Freshen = Flag(o.Has(AddOpt::AddFreshen) && !o.Has(AddOpt::AddUpdate));
    b.ZipTime = Flag(o.Has(AddOpt::AddZipTime));
    b.ArchivePath = Keep(s.archivePath);
    b.Check = ZIP_EXEC_CHECK_VALUE;
}

void ZipExecBlock::BuildLegacy(const ZipBlockSettings& s)
{
    m_legacy = std::make_unique<ZipLegacyExecParams>();
    FillCommon(*m_legacy, s);
    // The block has room for a fixed number of lines; the count never claims more than it holds.
    const std::size_t count = std::min<std::size_t>(s.specs.size(), ZIP_LEGACY_MAX_SPECS);
    m_legacy->SpecCount = static_cast<std::int32_t>(count);
    for (std::size_t i = 0; i < count; ++i) {
        m_legacy->Specs[i] = Keep(s.specs[i]);
    }
}

void ZipExecBlock::BuildFull(const ZipBlockSettings& s, int engineVersion)
{
    m_full = std::make_unique<ZipExecParams>();
    ZipExecParams& b = *m_full;
    FillCommon(b, s);
    b.TempDir = KeepOrNull(s.tempDir);

    const char* blockPassword = b.Password;
    const std::int32_t blockEncrypt = b.Encrypt;
    const char* rootDir = KeepOrNull(s.rootDir);
    // The lines' patterns, own passwords and exclusions go into one buffer: a list of many short
    // masks costs their bytes and a record each, not a string each. A line's pattern and password
    // together are never longer than the line.
    std::size_t textSize = 0;
    for (const std::string& text : s.specs) {
        textSize += text.size() + 2;
    }
    for (const std::string& text : s.excludes) {
        textSize += text.size() + 1;
    }
    m_specTexts = std::make_unique_for_overwrite<char[]>(textSize);
    char* next = m_specTexts.get();
    const auto place = [&next](const std::string& text) {
        const char* at = next;
        std::memcpy(next, text.c_str(), text.size() + 1);
        next += text.size() + 1;
        return at;
    };
    m_specs.assign(s.specs.size(), ZipSpecData{});
    for (std::size_t i = 0; i < s.specs.size(); ++i) {
        const SpecLine line = ParseSpecLine(s.specs[i]);
        ZipSpecData& d = m_specs[i];
        d.FileSpec = place(line.pattern);
        switch (line.passwordKind) {
        case SpecLine::Password::Own:
            d.Password = place(line.password);
            d.Encrypt = kOwnPasswordEncrypt;
            break;
        case SpecLine::Password::None:
            d.Password = nullptr;
            d.Encrypt = 0;
            break;
        case SpecLine::Password::Block:
            d.Password = blockPassword;
            d.Encrypt = blockEncrypt;
            break;
        }
        switch (line.recurse) {
        case SpecLine::Recurse::Block:
            d.Recurse = b.Recurse;
            break;
        case SpecLine::Recurse::Force:
            d.Recurse = kRecurseOn;
            break;
        case SpecLine::Recurse::Forbid:
            d.Recurse = 0;
            break;
        }
        d.RootDir = rootDir;
    }
    b.SpecCount = static_cast<std::int32_t>(m_specs.size());
    b.Specs = m_specs.empty() ? nullptr : m_specs.data();

    if (engineVersion >= ZIP_ENGINE_INTERFACE_VERSION) {
        b.ArchiveComment = KeepOrNull(s.archiveComment);
        b.ArchiveOnly = s.options.Has(AddOpt::AddArchiveOnly) ? 1 : 0;
        b.ResetArchive = s.options.Has(AddOpt::AddResetArchive) ? 1 : 0;
        m_excludes.reserve(s.excludes.size());
        for (const std::string& line : s.excludes) {
            m_excludes.push_back(place(line));
        }
        b.ExcludeCount = static_cast<std::int32_t>(m_excludes.size());
        b.Excludes = m_excludes.empty() ? nullptr : m_excludes.data();
        b.AllowUndo = Flag(s.howToDelete == DeleteOpts::htdAllowUndo);
        b.CodePage = s.codePage == CodePageOpts::cpOEM ? kCodePageOem : 0;
        b.Rebuild = s.rebuild ? 1 : 0;
        b.Verify = s.verify ? 1 : 0;
    }
}
