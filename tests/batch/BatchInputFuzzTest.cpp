// Arbitrary bytes fed to the batch file reader, the mask list splitter and the matcher: nothing
// may crash or read out of bounds (the sanitizer build checks the latter).
#include "batch/IniFile.h"
#include "batch/p_BatchList.h"
#include "batch/vk_textline.h"
#include "core/CoreErrors.h"
#include "maskmatch/MaskMatch.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Random text built mostly from the bytes that matter to the parsers.
std::string randomText(std::mt19937& random, std::size_t maxSize)
{
    static const std::string interesting = "[]=\"'\r\n \t;,()*?^-.$0x1aAzZ";
    std::uniform_int_distribution<std::size_t> size(0, maxSize);
    std::uniform_int_distribution<int> choice(0, 3);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> pick(0, interesting.size() - 1);
    std::string text(size(random), '\0');
    for (char& c : text) {
        c = choice(random) == 0 ? static_cast<char>(byte(random)) : interesting[pick(random)];
    }
    return text;
}

} // namespace

TEST(BatchInputFuzz, reader_accepts_any_bytes_and_what_it_reads_saves_and_reloads)
{
    testkit::TempDir tmp;
    std::mt19937 random(20261207);
    for (int round = 0; round < 400; ++round) {
        const std::string text = round % 2 == 0 ? randomText(random, 400) : testkit::randomBytes(300, round);
        testkit::writeFile(tmp / "f.vrl", text);
        TpxBatchList list;
        ASSERT_NO_THROW(list.LoadFromFile(tmp / "f.vrl"));
        // What was read is stored so that it reads back the same (or refused with a clear error).
        std::string saved;
        try {
            saved = list.BatchFileText();
        } catch (const EVorlandError&) {
            continue;
        }
        testkit::writeFile(tmp / "g.vrl", saved);
        TpxBatchList again;
        again.LoadFromFile(tmp / "g.vrl");
        ASSERT_EQ(again.Count(), list.Count()) << "round " << round;
        for (int i = 0; i < list.Count(); ++i) {
            EXPECT_EQ(again.Entries(i).Zip, list.Entries(i).Zip) << "round " << round;
            EXPECT_EQ(again.Entries(i).Suffix, list.Entries(i).Suffix) << "round " << round;
        }
        EXPECT_EQ(again.Before, list.Before) << "round " << round;
        EXPECT_EQ(again.Password, list.Password) << "round " << round;
    }
}

TEST(BatchInputFuzz, splitter_and_matcher_accept_any_bytes)
{
    std::mt19937 random(7);
    std::size_t tokens = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string text = randomText(random, 120);
        std::vector<std::string> masks;
        BuildMaskList(text, masks, round % 2 == 0);
        tokens += masks.size();
        for (const std::string& mask : masks) {
            EXPECT_FALSE(mask.empty());
            (void)MatchesMask(mask, randomText(random, 40));
        }
        (void)MatchesMask(text, randomText(random, 60));
        bool value = false;
        (void)IniFile::ParseBoolean(text, value);
        // The parser keeps every section and reads only inside the text.
        const IniFile file = IniFile::Parse(randomText(random, 600));
        for (const IniFile::Section& section : file.Sections()) {
            (void)IniFile::ReadBool(section, "Recurse", false);
        }
    }
    EXPECT_GT(tokens, 0u);
}
