#include "core/AppStrings.h"
#include "core/FileTime.h"
#include "core/vk_tools.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

TEST(Scramble, every_byte_below_255_survives_the_round_trip)
{
    std::string all;
    for (int b = 0; b <= 254; ++b) {
        all += static_cast<char>(b);
    }
    for (const std::string key : {"KoMaTrUsE", "", "\xff", "\x01"}) {
        const std::string scrambled = ScramblePassword(all, key);
        EXPECT_EQ(scrambled.size(), all.size());
        EXPECT_EQ(UnscramblePassword(scrambled, key), all) << "key " << key;
    }
}

TEST(Scramble, byte_255_comes_back_as_0)
{
    EXPECT_EQ(UnscramblePassword(ScramblePassword("\xff", "KoMaTrUsE"), "KoMaTrUsE"), std::string(1, '\0'));
}

TEST(Scramble, sums_above_255_wrap_by_255)
{
    // 'K' (75) + 200 = 275 -> 20 -> complement 235.
    EXPECT_EQ(ScramblePassword("\xc8", "K"), "\xeb");
    // 'K' + 180 = 255 stays 255 -> complement 0.
    EXPECT_EQ(ScramblePassword("\xb4", "K"), std::string(1, '\0'));
}

TEST(Scramble, the_key_repeats_after_its_last_character)
{
    const std::string key = "KoMaTrUsE";
    const std::string scrambled = ScramblePassword("aaaaaaaaaa", key);
    ASSERT_EQ(scrambled.size(), 10u);
    EXPECT_EQ(scrambled[9], scrambled[0]);
    EXPECT_NE(scrambled[1], scrambled[0]);
    EXPECT_EQ(static_cast<unsigned char>(scrambled[0]), 255 - ('K' + 'a'));
}

TEST(Scramble, empty_key_complements_and_empty_text_stays_empty)
{
    EXPECT_EQ(ScramblePassword(std::string("\x00\x10\xff", 3), ""), std::string("\xff\xef\x00", 3));
    EXPECT_EQ(UnscramblePassword(std::string("\xff\xef\x00", 3), ""), std::string("\x00\x10\xff", 3));
    EXPECT_EQ(ScramblePassword("", "KoMaTrUsE"), "");
    EXPECT_EQ(UnscramblePassword("", "KoMaTrUsE"), "");
}

TEST(TextHelpers, strip_ampersands_trailing_separator_and_trim)
{
    EXPECT_EQ(StripAmpersands("&File && &Edit"), "File  Edit");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp"), "/tmp/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp/"), "/tmp/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/"), "/");
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
    EXPECT_EQ(TrimBlanks(std::string("\x00 \t a b \x1f\x20", 9)), "a b");
    EXPECT_EQ(TrimBlanks(" \r\n"), "");
    EXPECT_TRUE(MatchesMask("*.TXT", "a.txt"));
}

TEST(FileTimes, same_file_time_allows_about_one_second)
{
    const TDateTime base = EncodeDateTime(2024, 3, 10, 12, 0, 0);
    EXPECT_TRUE(SameFileTime(base, base + 0.9 / 86400.0));
    EXPECT_FALSE(SameFileTime(base, base + 1.1 / 86400.0));
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 1, 1, 12, 0, 0), 2.5);
}

TEST(FileTimes, file_times_are_local_at_two_second_resolution)
{
    // 1700000001 is 2023-11-14 22:13:21 UTC (an odd second). Two zones away from UTC, with the
    // wall-clock values written out, so a conversion to UTC or a wrong rounding cannot pass.
    const std::time_t t = 1700000001;
    const char* oldZone = std::getenv("TZ");
    const std::string savedZone = oldZone != nullptr ? oldZone : "";
    ::setenv("TZ", "America/Sao_Paulo", 1); // UTC-3, no summer time in 2023
    ::tzset();
    EXPECT_DOUBLE_EQ(FileTimeToDateTime(t), EncodeDateTime(2023, 11, 14, 19, 13, 20));
    ::setenv("TZ", "Asia/Kolkata", 1); // UTC+5:30: the next day
    ::tzset();
    EXPECT_DOUBLE_EQ(FileTimeToDateTime(t), EncodeDateTime(2023, 11, 15, 3, 43, 20));
    if (oldZone != nullptr) {
        ::setenv("TZ", savedZone.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
    EXPECT_TRUE(SameFileMTime(1700000000, 1700000001));
    EXPECT_FALSE(SameFileMTime(1700000001, 1700000002));
    EXPECT_FALSE(SameFileMTime(1700000000, 1700000004));
}

TEST(AppStringsTable, holds_the_default_texts_and_replaces_by_number)
{
    TvkStringList table;
    EXPECT_EQ(table.Count(), kAppStringCount);
    EXPECT_EQ(table.Get(sLanguageToAdd), "Language to add");
    EXPECT_EQ(table.Get(sReplace), "Replace");
    EXPECT_EQ(table.Get(sZipIt), "Zip it");
    EXPECT_EQ(table.Get(sAlreadyExists), "%s already exists");
    EXPECT_EQ(table.Get(sSelectCopyDirectory), "Select the directory where the selected files will be copied.");
    EXPECT_EQ(table.Get(-1), "");
    EXPECT_EQ(table.Get(kAppStringCount), "");
    EXPECT_FALSE(table.Set(kAppStringCount, "x"));
    EXPECT_EQ(table.Count(), kAppStringCount);
    EXPECT_FALSE(TvkStringList::IsUsed(27));
    EXPECT_TRUE(table.Set(sAbort, "Abbrechen"));
    EXPECT_EQ(table.Get(sAbort), "Abbrechen");
    table.Reset();
    EXPECT_EQ(table.Get(sAbort), "Abort");

    // The process-wide table is read at the moment of use.
    AppStrings().Set(sNew, "Neu");
    EXPECT_EQ(AppString(sNew), "Neu");
    AppStrings().Reset();
    EXPECT_EQ(AppString(sNew), "New");
}

TEST(VkTools, control_characters_are_escaped_and_every_other_character_is_kept)
{
    EXPECT_EQ(EscapeControls("plain name.txt"), "plain name.txt");
    EXPECT_EQ(EscapeControls(std::string("a\x1b[2Jb\n\t\r\x7f", 10) + std::string(1, '\0')),
              "a\\x1b[2Jb\\x0a\\x09\\x0d\\x7f\\x00");
    // Letters of other languages, up to four bytes, stay; C1 controls in UTF-8 and stray bytes
    // (a lone 0x9b is CSI on some terminals) do not.
    EXPECT_EQ(EscapeControls("r\xc3\xa9sum\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80"),
              "r\xc3\xa9sum\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80");
    EXPECT_EQ(EscapeControls("x\xc2\x9b"
                             "31m"),
              "x\\xc2\\x9b31m");
    EXPECT_EQ(EscapeControls("x\x9b"
                             "31m\xff\xe6\x97"),
              "x\\x9b31m\\xff\\xe6\\x97");
    // Overlong forms and surrogates are no valid UTF-8.
    EXPECT_EQ(EscapeControls("\xc0\x9b\xed\xa0\x80"), "\\xc0\\x9b\\xed\\xa0\\x80");
}
