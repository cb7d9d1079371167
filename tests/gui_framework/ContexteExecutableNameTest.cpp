// Built as a program named MYTOOL: without an application name the settings key is "Mytool".
#include "framework/vk_contexte.h"
#include "tests/guikit/GuiTestKit.h"

#include <QFileInfo>
#include <gtest/gtest.h>

TEST(ContexteExecutableName, gives_the_key_name_without_an_application_name)
{
    TvkContexte contexte;
    EXPECT_EQ(contexte.ApplicationName(), QStringLiteral("MYTOOL"));
    EXPECT_EQ(contexte.KeyPath(), QStringLiteral("Software/Orvane/Mytool"));
    contexte.WriteInitialInteger(QStringLiteral("Language"), 0);
    EXPECT_TRUE(contexte.FileName().endsWith(QStringLiteral("/Orvane/Mytool.conf")));
    EXPECT_TRUE(QFileInfo::exists(contexte.FileName()));
}
