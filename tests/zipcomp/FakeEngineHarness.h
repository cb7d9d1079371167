#pragma once
// Helpers for driving TZipComponent against the fake engine libraries: choosing a fake, writing its
// callback script, reading back the block it received, and a prompter and event pump that record
// what they were asked.

#include "core/UiInterfaces.h"
#include "testkit/CoreDoubles.h"
#include "testkit/TestKit.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zipfake {

// Folder of one fake engine (fake_v160, fake_v155, fake_v150, fake_no_exports, ...).
std::string FakeDir(const std::string& name);

// One engine run's script and dump files, in a fresh temporary folder; the environment variables
// the fakes read are set for the lifetime of the object.
class FakeRun
{
public:
    FakeRun();
    ~FakeRun();
    void Script(const std::vector<std::string>& lines);
    // The dump of the last ZipEngineExec call; empty when the fake was not called.
    std::map<std::string, std::string> Dump() const;
    const testkit::TempDir& Dir() const { return m_dir; }

private:
    testkit::TempDir m_dir;
};

} // namespace zipfake
