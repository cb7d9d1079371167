#include "zipcomp/ZipMessages.h"
#include "zipcomp/ZipComp.h"

#include <gtest/gtest.h>

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
