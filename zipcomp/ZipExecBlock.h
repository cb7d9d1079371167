#pragma once
// The parameter block handed to ZipEngineExec, built from the settings of one add operation. The
// block owns every text and array it points to; all of it is freed with the object, so nothing
// leaks when building or the engine call fails.

#include "zipcomp/ZipTypes.h"
#include "zipengine/ZipEngineApi.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

// What goes into the block.
struct ZipBlockSettings
{
    void* windowHandle = nullptr; // null when unattended
    void* caller = nullptr;
    ZipCallbackFn callback = nullptr;
    bool trace = false;
    bool verbose = false;
    std::string password;
    AddStoreExts storeSuffixes;
    AddOpts options;
    int level = 9;
    std::vector<std::string> specs;
    std::vector<std::string> excludes;
    std::string archivePath;
    std::string tempDir;        // empty: none
    std::string archiveComment; // empty: none
    std::string rootDir;        // empty: none; otherwise ends with "/"
    DeleteOpts howToDelete = DeleteOpts::htdAllowUndo;
    CodePageOpts codePage = CodePageOpts::cpAuto;
    bool rebuild = false; // write the archive from nothing (engines of 160 and later)
    bool verify = false;  // read the new archive back before it replaces the old one (160 and later)
};

class ZipExecBlock
{
public:
    // The block password carries at most this many characters.
    static constexpr std::size_t kMaxBlockPassword = 81;

    // Builds the layout the engine version asks for: the legacy block for 150 or less, the full
    // block otherwise, with the fields of version 160 filled only from 160 on. May throw
    // std::bad_alloc.
    ZipExecBlock(const ZipBlockSettings& settings, int engineVersion);
    ZipExecBlock(const ZipExecBlock&) = delete;
    ZipExecBlock& operator=(const ZipExecBlock&) = delete;

    // The block to pass to ZipEngineExec.
    void* Data();

    // The store-suffix text of a set: ".gif:.png:..." in member order; empty for an empty set.
    static std::string StoreSuffixText(AddStoreExts set);
    // The set of a store-suffix text (the inverse of StoreSuffixText, members in any order); false
    // when the text names a suffix that is not a member.
    static bool StoreSuffixSet(const std::string& text, AddStoreExts& set);

    // One parsed specification line: optional leading ">" (recurse) or "|" (do not recurse),
    // optional "<" followed by the line's own password ("<" with nothing after it: no password and
    // no encryption for this line). The "<" part never stays in the pattern.
    struct SpecLine
    {
        std::string pattern;
        enum class Recurse
        {
            Block,
            Force,
            Forbid
        } recurse = Recurse::Block;
        enum class Password
        {
            Block,
            Own,
            None
        } passwordKind = Password::Block;
        std::string password;
    };
    static SpecLine ParseSpecLine(const std::string& line);

private:
    const char* Keep(const std::string& text);
    const char* KeepOrNull(const std::string& text) { return text.empty() ? nullptr : Keep(text); }
    template <typename Block> void FillCommon(Block& block, const ZipBlockSettings& settings);
    void BuildFull(const ZipBlockSettings& settings, int engineVersion);
    void BuildLegacy(const ZipBlockSettings& settings);

    std::deque<std::string> m_texts;
    std::unique_ptr<char[]> m_specTexts; // the specs' patterns and own passwords, the exclusions
    std::vector<ZipSpecData> m_specs;
    std::vector<const char*> m_excludes;
    std::unique_ptr<ZipExecParams> m_full;
    std::unique_ptr<ZipLegacyExecParams> m_legacy;
};
