#include "FakeEngineHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace zipfake {

std::string FakeDir(const std::string& name)
{
    const char* dir = std::getenv("FAKE_ENGINE_DIR");
    EXPECT_NE(dir, nullptr) << "FAKE_ENGINE_DIR is not set";
    return std::string(dir != nullptr ? dir : "") + "/" + name;
}

FakeRun::FakeRun()
{
    ::setenv("FAKE_ENGINE_DUMP", (m_dir / "dump.txt").c_str(), 1);
    ::setenv("FAKE_ENGINE_SCRIPT", (m_dir / "script.txt").c_str(), 1);
    Script({});
}

FakeRun::~FakeRun()
{
    ::unsetenv("FAKE_ENGINE_DUMP");
    ::unsetenv("FAKE_ENGINE_SCRIPT");
}

void FakeRun::Script(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) {
        text += line + "\n";
    }
    testkit::writeFile(m_dir.path() / "script.txt", text);
}

std::map<std::string, std::string> FakeRun::Dump() const
{
    std::map<std::string, std::string> values;
    std::ifstream in(m_dir / "dump.txt");
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) {
            values[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return values;
}

} // namespace zipfake
