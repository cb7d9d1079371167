#include "zipcomp/ZipMessages.h"
#include "zipcomp/ZipComp.h"

#include <gtest/gtest.h>

namespace {

// Every identifier the component can report.
const int kAllIds[] = {10101, 10102, 10103, 10104, 10150, 10151, 10152, 10153, 10157, 10158, 10154, 10155, 10156,
                       10201, 10202, 10203, 10204, 10301, 10302, 10303, 10304, 10601, 10602, 10603, 10604, 10105,
                       10801, 10802, 10803, 11001, 11003, 11004, 11006, 11007, 11025, 11008, 11011, 11013, 11015,
                       11017, 11022, 11033, 11034, 11035, 11046, 11036, 11037, 11038, 11045, 11041, 11005, 11009,
                       11010, 11012, 11014, 11016, 11018, 11019, 11020, 11021, 11022, 11023, 11024, 11026, 11029,
                       11030, 11042, 11043, 11044, 11032, 11039, 11040, 11047};

} // namespace

TEST(ZipMessages, every_identifier_has_an_english_text)
{
    for (int id : kAllIds) {
        auto text = zipmsg::LookupText(id);
        ASSERT_TRUE(text.has_value()) << id;
        EXPECT_FALSE(text->empty()) << id;
    }
}

TEST(ZipMessages, quoted_defaults_stand_as_given)
{
    EXPECT_EQ(*zipmsg::LookupText(10105), "Copying: ");
    EXPECT_EQ(*zipmsg::LookupText(11033), "Please insert last disk in set");
    EXPECT_EQ(*zipmsg::LookupText(11034), "Please insert disk volume %.1d of %.1d");
    EXPECT_EQ(*zipmsg::LookupText(11035), "\r\nin drive: %s");
    EXPECT_EQ(*zipmsg::LookupText(11046), "Please insert disk volume %.1d");
    EXPECT_EQ(*zipmsg::LookupText(11032), "This disk has not enough free space available");
    EXPECT_EQ(*zipmsg::LookupText(11039), "Overwrite previous file %s");
    EXPECT_EQ(*zipmsg::LookupText(11040), "Overwrite previous disk no %d");
    EXPECT_EQ(*zipmsg::LookupText(11047), "Central directory");
}

TEST(ZipMessages, an_identifier_without_text_gets_the_general_fallback)
{
    TZipComponent zip;
    EXPECT_EQ(zip.MessageText(4711),
              "The message table is probably not linked to the executable\nMissing String ID is: 4711");
    EXPECT_EQ(zip.MessageText(4711, "own fallback"), "own fallback");
    EXPECT_EQ(zip.MessageText(10102), *zipmsg::LookupText(10102));
}

TEST(ZipMessages, values_are_inserted_at_conversions_only)
{
    EXPECT_EQ(zipmsg::FormatText("Please insert disk volume %.1d of %.1d", 2, 5), "Please insert disk volume 2 of 5");
    EXPECT_EQ(zipmsg::FormatText("\r\nin drive: %s", std::string("/")), "\r\nin drive: /");
    EXPECT_EQ(zipmsg::FormatText("100%% done %d", 3), "100% done 3");
    // More conversions than values: the rest stays as it is, nothing is read from nowhere.
    EXPECT_EQ(zipmsg::FormatText("%d and %s", 1), "1 and %s");
    EXPECT_EQ(zipmsg::FormatText("no conversion", 1), "no conversion");
}

TEST(ZipMessages, error_class_carries_identifier_text_and_dialog_flag)
{
    EZipComponent plain(11036, false);
    EXPECT_EQ(plain.MessageId(), 11036);
    EXPECT_FALSE(plain.ShowDialog());
    EXPECT_EQ(std::string(plain.what()), *zipmsg::LookupText(11036));

    EZipComponent withNumber(10304, std::int64_t{-9});
    EXPECT_TRUE(withNumber.ShowDialog());
    EXPECT_NE(std::string(withNumber.what()).find("-9"), std::string::npos);

    EZipComponent withText(11004, "/mnt/x/");
    EXPECT_TRUE(withText.ShowDialog());
    EXPECT_NE(std::string(withText.what()).find("/mnt/x/"), std::string::npos);

    EZipComponent unknown(999, true);
    EXPECT_EQ(std::string(unknown.what()),
              "The message table is probably not linked to the executable\nMissing String ID is: 999");
}
