#include "batch/p_BatchList.h"
#include "batch/vk_textline.h"
#include "maskmatch/MaskMatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Masks = std::vector<std::string>;

namespace {

Masks build(const std::string& text, bool complete)
{
    Masks masks;
    BuildMaskList(text, masks, complete);
    return masks;
}

} // namespace

TEST(TextLine, tokens_are_split_at_every_separator_outside_quotes)
{
    EXPECT_EQ(build("*.txt; *.doc", false), (Masks{"*.txt", "*.doc"}));
    EXPECT_EQ(build("\ta,b;c(d)e[f]g h", false), (Masks{"a", "b", "c", "d", "e", "f", "g", "h"}));
    EXPECT_EQ(build("", false), Masks{});
    EXPECT_EQ(build(" ;;, ", false), Masks{});
    EXPECT_EQ(build("\"my file.txt\";x", false), (Masks{"my file.txt", "x"}));
    EXPECT_EQ(build("a\"b c\"d", false), (Masks{"ab cd"}));
    EXPECT_EQ(build("\"say \"\"hi\"\"\"", false), (Masks{"say \"hi\""}));
    // Quotes with nothing between give an empty token, which is dropped.
    EXPECT_EQ(build("\"\" x \"\"", false), (Masks{"x"}));
    // An unclosed quote runs to the end of the text.
    EXPECT_EQ(build("\"a; b", false), (Masks{"a; b"}));
}

TEST(TextLine, found_flag_and_token_flags)
{
    TTextLine line("\"\" [x");
    EXPECT_EQ(line.FirstToken(), "");
    EXPECT_TRUE(line.Found());
    EXPECT_TRUE(line.HadQuotes());
    EXPECT_EQ(line.NextToken(), "x");
    EXPECT_TRUE(line.Found());
    EXPECT_FALSE(line.HadQuotes());
    EXPECT_EQ(line.NextToken(), "");
    EXPECT_FALSE(line.Found());
    EXPECT_EQ(line.FirstToken(), "");
    EXPECT_TRUE(line.Found());
    TTextLine bracket("ab(cd");
    EXPECT_EQ(bracket.FirstToken(), "ab");
    EXPECT_TRUE(bracket.HadOpenBracket());
}

TEST(TextLine, completion_turns_bare_words_into_extensions)
{
    EXPECT_EQ(build("bak tmp", true), (Masks{"*.bak", "*.tmp"}));
    EXPECT_EQ(build("old.* *.o", true), (Masks{"old.*", "*.o"}));
    EXPECT_EQ(build("bak tmp", false), (Masks{"bak", "tmp"}));
    Masks appended{"first"};
    BuildMaskList("second", appended, false);
    EXPECT_EQ(appended, (Masks{"first", "second"}));
}

TEST(TextLine, long_texts_are_split_whole)
{
    std::string text;
    Masks expected;
    for (int i = 0; i < 5000; ++i) {
        text += "*.e" + std::to_string(i) + ";";
        expected.push_back("*.e" + std::to_string(i));
    }
    EXPECT_EQ(build(text, false), expected);
}

TEST(TextLine, join_uses_semicolons_between_masks_and_quotes_what_would_split)
{
    EXPECT_EQ(JoinMaskList({}), "");
    EXPECT_EQ(JoinMaskList({"*.txt"}), "*.txt");
    EXPECT_EQ(JoinMaskList({"*.txt", "*.doc", "a"}), "*.txt;*.doc;a");
    const std::vector<std::string> awkward{"my notes.txt", "a,b(1)", "say \"hi\"", "x[ab]", "\t"};
    EXPECT_EQ(JoinMaskList(awkward), "\"my notes.txt\";\"a,b(1)\";\"say \"\"hi\"\"\";\"x[ab]\";\"\t\"");
    EXPECT_EQ(build(JoinMaskList(awkward), false), awkward);
}

TEST(EntryMasks, dir_prefix_only_for_zip_entries_storing_path_names)
{
    TBatchEntry zip("z", "/out.zip", "/data/src", "*.txt a.c", "bak", true, true, true);
    Masks include;
    BuildMaskList(zip, zip.Suffix, include, false);
    EXPECT_EQ(include, (Masks{"/data/src/*.txt", "/data/src/a.c"}));
    Masks exclude;
    BuildMaskList(zip, zip.Ignore, exclude, true);
    EXPECT_EQ(exclude, (Masks{"/data/src/*.bak"}));
    EXPECT_EQ(DefaultZipMask(zip), "/data/src/*.*");
    zip.Dir = "/data/src/";
    EXPECT_EQ(DefaultZipMask(zip), "/data/src/*.*");

    zip.DirName = false;
    EXPECT_EQ(DefaultZipMask(zip), "*.*");
    Masks plain;
    BuildMaskList(zip, "*.txt", plain, false);
    EXPECT_EQ(plain, (Masks{"*.txt"}));

    TBatchEntry copy("c", "/mirror", "/data/src", "*.txt", "", true, true, false);
    Masks copyMasks;
    BuildMaskList(copy, copy.Suffix, copyMasks, false);
    EXPECT_EQ(copyMasks, (Masks{"*.txt"}));
}

TEST(EntryMasks, copy_selection_of_include_and_exclude_lists)
{
    auto taken = [](const std::string& suffix, const std::string& ignore, const std::string& name) {
        Masks include;
        Masks exclude;
        BuildMaskList(suffix, include, false);
        BuildMaskList(ignore, exclude, true);
        return MatchesMaskList(include, name, true) && !MatchesMaskList(exclude, name, false);
    };
    EXPECT_TRUE(taken("", "", "README"));
    EXPECT_FALSE(taken("*.*", "", "README"));
    EXPECT_TRUE(taken("*.*", "", "a.txt"));
    EXPECT_TRUE(taken("readme", "", "README"));
    EXPECT_FALSE(taken("readme", "", "README.md"));
    EXPECT_FALSE(taken("*.txt", "old", "x.OLD"));
    EXPECT_TRUE(taken("*.TXT", "old", "x.txt"));
    // Sets come only from quoted masks, since brackets separate.
    EXPECT_TRUE(taken("\"[a-c]*.txt\"", "", "b1.txt"));
    EXPECT_FALSE(taken("\"[a-c]*.txt\"", "", "d1.txt"));
    EXPECT_TRUE(taken("\"[^a-c]*\"", "", "d"));
    EXPECT_TRUE(taken("[a-c]*.txt", "", "a-c")); // splits into "a-c" and "*.txt"
    EXPECT_TRUE(taken("\"my file.txt\"", "", "MY FILE.TXT"));
}
