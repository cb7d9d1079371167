#pragma once
// A component wired to a recording prompter, a counting event pump and one fake engine.

#include "FakeEngineHarness.h"
#include "zipcomp/ZipComp.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

class ZipCompFixture : public ::testing::Test
{
protected:
    ZipCompFixture()
    {
        zip.OnMessage = [this](TZipComponent&, std::int32_t code, const std::string& text) {
            messages.emplace_back(code, text);
        };
    }

    // Points the component at a fake engine and a new archive name with one specification.
    void UseFake(const std::string& fake)
    {
        zip.SetDLLDirectory(zipfake::FakeDir(fake));
        zip.SetZipFileName(run.Dir() / "out.zip");
        zip.FSpecArgs() = {"*.txt"};
    }

    bool HasMessageStarting(const std::string& start) const
    {
        for (const auto& m : messages) {
            if (m.second.rfind(start, 0) == 0) {
                return true;
            }
        }
        return false;
    }

    zipfake::FakeRun run;
    TQueuedPrompter prompter;
    TCountingPump pump;
    TZipComponent zip{&prompter, &pump, reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x1234))};
    std::vector<std::pair<std::int32_t, std::string>> messages;
};
