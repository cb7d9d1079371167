// Replays a fuzz target's committed corpus as an ordinary test: every file of the folder named by
// VORLAND_FUZZ_CORPUS goes through the target's LLVMFuzzerTestOneInput once. A target signals a
// broken property by aborting, so any failure ends this program with the input's name printed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(FuzzCorpus, every_committed_input_runs_cleanly)
{
    const char* folder = std::getenv("VORLAND_FUZZ_CORPUS");
    ASSERT_NE(folder, nullptr) << "VORLAND_FUZZ_CORPUS is not set";
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    ASSERT_FALSE(inputs.empty()) << "no corpus in " << folder;
    for (const auto& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::cerr << "input " << input.filename().string() << " (" << bytes.size() << " bytes)\n";
        // An empty vector has no data() worth passing; the target gets a valid pointer all the same.
        static const std::uint8_t kNothing = 0;
        const auto* data = bytes.empty() ? &kNothing : reinterpret_cast<const std::uint8_t*>(bytes.data());
        EXPECT_EQ(LLVMFuzzerTestOneInput(data, bytes.size()), 0) << input;
    }
}
