// A fake zip engine for the component's tests. Built several times with a different
// FAKE_ENGINE_VERSION. Each ZipEngineExec call:
//  - writes what it received in the block to the file named by FAKE_ENGINE_DUMP ("key=value" lines);
//  - replays the callbacks listed in the file named by FAKE_ENGINE_SCRIPT and appends each answer
//    to the dump; it stops at the first nonzero answer, as a real engine does.
// Script lines: "ACTION ARG1 ARG2 SIZE64 ISZIP TEXT..." (TEXT may use \xHH escapes), "wide 0|1"
// (record version of the following callbacks, 1 by default), "result N" (the value returned when
// the script runs to its end; 0 by default).

#include "zipengine/ZipEngineApi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#ifndef FAKE_ENGINE_VERSION
#error "FAKE_ENGINE_VERSION must be defined"
#endif

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string Escape(const char* text, std::size_t maxLength)
{
    if (text == nullptr) {
        return "(null)";
    }
    std::string out;
    for (std::size_t i = 0; i < maxLength && text[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == '\\' || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            out += static_cast<char>(std::strtol(text.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool AllZero(const void* data, std::size_t size)
{
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        if (p[i] != 0) {
            return false;
        }
    }
    return true;
}

template <typename Block> void DumpCommon(std::ostream& out, const Block& b)
{
    out << "Handle=" << (b.Handle != nullptr ? "set" : "null") << "\n";
    out << "Caller=" << (b.Caller != nullptr ? "set" : "null") << "\n";
    out << "Version=" << b.Version << "\n";
    out << "Callback=" << (b.Callback != nullptr ? "set" : "null") << "\n";
    out << "Trace=" << b.Trace << "\n";
    out << "Password=" << Escape(b.Password, 100000) << "\n";
    out << "StoreSuffixes=" << Escape(b.StoreSuffixes, 100000) << "\n";
    out << "Encrypt=" << b.Encrypt << "\n";
    out << "HiddenFiles=" << b.HiddenFiles << "\n";
    out << "Volume=" << b.Volume << "\n";
    out << "NoDirEntries=" << b.NoDirEntries << "\n";
    out << "Verbose=" << b.Verbose << "\n";
    out << "AlwaysTrue56=" << b.AlwaysTrue56 << "\n";
    out << "Level=" << b.Level << "\n";
    out << "JunkDirNames=" << b.JunkDirNames << "\n";
    out << "Recurse=" << b.Recurse << "\n";
    out << "AlwaysTrue80=" << b.AlwaysTrue80 << "\n";
    out << "ForceDOS=" << b.ForceDOS << "\n";
    out << "Move=" << b.Move << "\n";
    out << "Update=" << b.Update << "\n";
    out << "Freshen=" << b.Freshen << "\n";
    out << "ZipTime=" << b.ZipTime << "\n";
    out << "SpecCount=" << b.SpecCount << "\n";
    out << "ArchivePath=" << Escape(b.ArchivePath, 100000) << "\n";
    out << "Check=" << b.Check << "\n";
    const bool reservedZero = b.Reserved40 == 0 && b.Reserved48 == 0 && b.Reserved64 == 0 && b.Reserved68 == 0 &&
                              b.Reserved78 == 0 && b.Reserved92 == 0 && b.Reserved104 == 0 && AllZero(b.Date, 8);
    out << "CommonReservedZero=" << reservedZero << "\n";
}

void DumpBlock(std::ostream& out, void* params)
{
#if FAKE_ENGINE_VERSION <= ZIP_ENGINE_LEGACY_MAX_VERSION
    const auto& b = *static_cast<const ZipLegacyExecParams*>(params);
    out << "Layout=legacy\n";
    DumpCommon(out, b);
    const int count = b.SpecCount < 0 ? 0 : (b.SpecCount > ZIP_LEGACY_MAX_SPECS ? ZIP_LEGACY_MAX_SPECS : b.SpecCount);
    for (int i = 0; i < count; ++i) {
        out << "Spec." << i << "=" << Escape(b.Specs[i], 100000) << "\n";
    }
    bool restNull = true;
    for (int i = count; i < ZIP_LEGACY_MAX_SPECS; ++i) {
        restNull = restNull && b.Specs[i] == nullptr;
    }
    out << "SpecsAfterCountNull=" << restNull << "\n";
#else
    const auto& b = *static_cast<const ZipExecParams*>(params);
    out << "Layout=full\n";
    DumpCommon(out, b);
    out << "TempDir=" << Escape(b.TempDir, 100000) << "\n";
    out << "ArchiveComment=" << Escape(b.ArchiveComment, 100000) << "\n";
    out << "ArchiveOnly=" << b.ArchiveOnly << "\n";
    out << "ResetArchive=" << b.ResetArchive << "\n";
    out << "ExcludeCount=" << b.ExcludeCount << "\n";
    for (int i = 0; i < b.ExcludeCount; ++i) {
        out << "Exclude." << i << "=" << Escape(b.Excludes[i], 100000) << "\n";
    }
    for (int i = 0; i < b.SpecCount; ++i) {
        const ZipSpecData& d = b.Specs[i];
        out << "Spec." << i << ".FileSpec=" << Escape(d.FileSpec, 100000) << "\n";
        out << "Spec." << i << ".Password=" << Escape(d.Password, 100000) << "\n";
        out << "Spec." << i << ".Encrypt=" << d.Encrypt << "\n";
        out << "Spec." << i << ".Recurse=" << d.Recurse << "\n";
        out << "Spec." << i << ".RootDir=" << Escape(d.RootDir, 100000) << "\n";
        const bool zero = d.Reserved4 == 0 && d.Reserved8 == 0 && d.Reserved22 == 0 &&
                          AllZero(d.Reserved24, sizeof d.Reserved24) && AllZero(d.Reserved40, sizeof d.Reserved40);
        out << "Spec." << i << ".ReservedZero=" << zero << "\n";
    }
    out << "AllowUndo=" << b.AllowUndo << "\n";
    out << "CodePage=" << b.CodePage << "\n";
    out << "Rebuild=" << b.Rebuild << "\n";
    out << "FullReservedZero="
        << (b.Reserved144 == 0 && AllZero(b.StreamFields, sizeof b.StreamFields) && b.Verify == 0 &&
            AllZero(b.Reserved198, sizeof b.Reserved198))
        << "\n";
#endif
}

template <typename Block> int32_t Run(void* params)
{
    const auto& b = *static_cast<const Block*>(params);
    std::ostringstream dump;
    DumpBlock(dump, params);

    int32_t result = 0;
    int wide = 1;
    const char* scriptName = std::getenv("FAKE_ENGINE_SCRIPT");
    std::ifstream script(scriptName != nullptr ? scriptName : "");
    std::string line;
    int index = 0;
    while (std::getline(script, line)) {
        if (line.empty()) {
            continue;
        }
        std::istringstream in(line);
        std::string first;
        in >> first;
        if (first == "result") {
            in >> result;
            continue;
        }
        if (first == "wide") {
            in >> wide;
            continue;
        }
        ZipCallbackRec rec;
        std::memset(&rec, 0, sizeof rec);
        rec.Caller = b.Caller;
        rec.RecordVersion = wide != 0 ? ZIP_CALLBACK_RECORD_WIDE : 0;
        long long size64 = 0;
        rec.Action = std::atoi(first.c_str());
        in >> rec.Arg1 >> rec.Arg2 >> size64 >> rec.IsZipAction;
        rec.Size64 = size64;
        std::string text;
        std::getline(in, text);
        if (!text.empty() && text[0] == ' ') {
            text.erase(0, 1);
        }
        text = Unescape(text);
        std::strncpy(rec.Text, text.c_str(), ZIP_CALLBACK_TEXT_SIZE - 1);
        const int32_t answer = b.Callback(&rec);
        dump << "Cb." << index << ".Answer=" << answer << "\n";
        dump << "Cb." << index << ".Action=" << rec.Action << "\n";
        dump << "Cb." << index << ".Arg1=" << rec.Arg1 << "\n";
        dump << "Cb." << index << ".Arg2=" << rec.Arg2 << "\n";
        dump << "Cb." << index << ".Size64Nonzero=" << (rec.Size64 != 0) << "\n";
        dump << "Cb." << index << ".Text=" << Escape(rec.Text, ZIP_CALLBACK_TEXT_SIZE) << "\n";
        ++index;
        if (answer != 0) {
            dump << "StoppedAt=" << (index - 1) << "\n";
            result = 0;
            break;
        }
    }
    dump << "Callbacks=" << index << "\n";

    const char* dumpName = std::getenv("FAKE_ENGINE_DUMP");
    if (dumpName != nullptr) {
        std::ofstream out(dumpName, std::ios::trunc);
        out << dump.str();
    }
    return result;
}

} // namespace

FAKE_EXPORT int32_t GetZipEngineVersion(void)
{
    return FAKE_ENGINE_VERSION;
}

FAKE_EXPORT int32_t ZipEngineExec(void* params)
{
#if FAKE_ENGINE_VERSION <= ZIP_ENGINE_LEGACY_MAX_VERSION
    return Run<ZipLegacyExecParams>(params);
#else
    return Run<ZipExecParams>(params);
#endif
}
