#include "maskmatch/MaskMatch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

TEST(MaskMatch, star_and_question_mark_match_whole_names)
{
    EXPECT_TRUE(MatchesMask("*.txt", "notes.txt"));
    EXPECT_TRUE(MatchesMask("*", ""));
    EXPECT_TRUE(MatchesMask("a*b*c", "aXXbYYc"));
    EXPECT_FALSE(MatchesMask("a*b*c", "aXXbYY"));
    EXPECT_TRUE(MatchesMask("n?te", "note"));
    EXPECT_FALSE(MatchesMask("note?", "note"));
    EXPECT_FALSE(MatchesMask("*.txt", "notes.txt.bak"));
    // The strict matcher: "*.*" needs a dot.
    EXPECT_FALSE(MatchesMask("*.*", "README"));
    EXPECT_TRUE(MatchesMask("*.*", "a."));
}

TEST(MaskMatch, case_is_ignored_for_ascii_letters_only)
{
    EXPECT_TRUE(MatchesMask("*.TXT", "file.txt"));
    EXPECT_TRUE(MatchesMask("[a-c]*", "Beta"));
    EXPECT_FALSE(MatchesMask("\xC3\xA9*", "\xC3\x89t\xC3\xA9"));
}

TEST(MaskMatch, sets_ranges_and_negation)
{
    EXPECT_TRUE(MatchesMask("[abc].txt", "b.txt"));
    EXPECT_FALSE(MatchesMask("[abc].txt", "d.txt"));
    EXPECT_TRUE(MatchesMask("[^abc].txt", "d.txt"));
    EXPECT_FALSE(MatchesMask("[^abc].txt", "a.txt"));
    EXPECT_TRUE(MatchesMask("file[0-9]", "file7"));
    EXPECT_FALSE(MatchesMask("file[0-9]", "file"));
}

TEST(MaskMatch, malformed_sets_never_match)
{
    EXPECT_FALSE(MatchesMask("[", "["));
    EXPECT_FALSE(MatchesMask("a[", "a"));
    EXPECT_FALSE(MatchesMask("[]a", "]a"));
    EXPECT_FALSE(MatchesMask("[[a]", "["));
    EXPECT_FALSE(MatchesMask("[abc", "a"));
    EXPECT_FALSE(MatchesMask("*[abc", "xxa"));
}

TEST(MaskMatch, long_star_patterns_finish_quickly)
{
    const std::string name(5000, 'a');
    EXPECT_FALSE(MatchesMask("*a*a*a*a*a*a*a*a*a*a*b", name));
    EXPECT_TRUE(MatchesMask("*a*a*a*a*a*a*a*a*a*a*", name));
}

TEST(MaskMatch, random_bytes_never_crash)
{
    std::mt19937 gen(12345);
    const char alphabet[] = "*?[]^-abcAB.\0\xff";
    for (int i = 0; i < 20000; ++i) {
        std::string mask;
        std::string name;
        for (unsigned n = gen() % 12; n > 0; --n) {
            mask += alphabet[gen() % (sizeof alphabet - 1)];
        }
        for (unsigned n = gen() % 12; n > 0; --n) {
            name += alphabet[gen() % (sizeof alphabet - 1)];
        }
        (void)MatchesMask(mask, name);
    }
    SUCCEED();
}
