// The settings store: typed values with defaults, the key name rule, and form placements.
#include "framework/TvkForm.h"
#include "framework/vk_contexte.h"
#include "tests/guikit/GuiTestKit.h"

#include <QDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ContexteTest : public ::testing::Test
{
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override { ClearSettings(); }

    // Writes a raw value as another program (or a damaged file) could have left it.
    void writeRaw(const QString& key, const QVariant& value)
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), contexte.KeyName());
        settings.setValue(key, value);
    }

    TvkContexte& contexte = AppContexte();
};

class TFrmPlaced : public TvkForm
{
public:
    TFrmPlaced() { setObjectName(QStringLiteral("TFrmPlaced")); }
};

} // namespace

TEST(ContexteKeyName, lower_cases_ascii_then_capitalises_the_first_letter)
{
    EXPECT_EQ(TvkContexte::KeyNameOf(QStringLiteral("MYTOOL")), QStringLiteral("Mytool"));
    EXPECT_EQ(TvkContexte::KeyNameOf(QStringLiteral("Batch Tool")), QStringLiteral("Batch tool"));
    EXPECT_EQ(TvkContexte::KeyNameOf(QStringLiteral("vorland")), QStringLiteral("Vorland"));
    // Only ASCII letters change; a leading digit stays.
    EXPECT_EQ(TvkContexte::KeyNameOf(QStringLiteral("2ÉTÉ")), QStringLiteral("2ÉtÉ"));
    EXPECT_EQ(TvkContexte::KeyNameOf(QString()), QString());
}

TEST(ContexteKeyName, is_kept_once_computed)
{
    TvkContexte local;
    local.SetApplicationName(QStringLiteral("VORLAND"));
    EXPECT_EQ(local.KeyPath(), QStringLiteral("Software/Orvane/Vorland"));
    local.SetApplicationName(QStringLiteral("Other"));
    EXPECT_EQ(local.ApplicationName(), QStringLiteral("Other"));
    EXPECT_EQ(local.KeyName(), QStringLiteral("Vorland"));
}

TEST_F(ContexteTest, first_run_gives_every_default_and_a_write_creates_the_section)
{
    EXPECT_FALSE(QFileInfo::exists(contexte.FileName()));
    EXPECT_EQ(contexte.ReadInitialInteger(QStringLiteral("Language"), 7), 7);
    EXPECT_EQ(contexte.ReadInitialString(QStringLiteral("BatchFile")), QString());
    EXPECT_EQ(contexte.ReadString(QStringLiteral("Settings/FrmX"), QStringLiteral("Name"), QStringLiteral("d")),
              QStringLiteral("d"));

    contexte.WriteInitialInteger(QStringLiteral("Language"), 1);
    contexte.WriteInitialString(QStringLiteral("BatchFile"), QStringLiteral("/data/a b=c.vrl"));
    EXPECT_TRUE(QFileInfo::exists(contexte.FileName()));
    EXPECT_EQ(contexte.ReadInitialInteger(QStringLiteral("Language"), 0), 1);
    EXPECT_EQ(contexte.ReadInitialString(QStringLiteral("BatchFile")), QStringLiteral("/data/a b=c.vrl"));
    QSettings raw(contexte.FileName(), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("Initial/Language")).toInt(), 1);
}

TEST_F(ContexteTest, a_value_of_the_wrong_type_or_size_is_ignored)
{
    writeRaw(QStringLiteral("Initial/ListWidth"), QStringLiteral("wide"));
    writeRaw(QStringLiteral("Initial/ViewStyle"), QStringLiteral("12abc"));
    writeRaw(QStringLiteral("Initial/WizardMode"), QStringLiteral("99999999999"));
    writeRaw(QStringLiteral("Initial/Point"), QPoint(1, 2));
    EXPECT_EQ(contexte.ReadInitialInteger(QStringLiteral("ListWidth"), 120), 120);
    EXPECT_EQ(contexte.ReadInitialInteger(QStringLiteral("ViewStyle"), 2), 2);
    EXPECT_EQ(contexte.ReadInitialInteger(QStringLiteral("WizardMode"), 0), 0);
    EXPECT_EQ(contexte.ReadInitialInteger(QStringLiteral("Point"), 5), 5);
    EXPECT_EQ(contexte.ReadInitialString(QStringLiteral("Point")), QString());
    // A negative number is a number.
    writeRaw(QStringLiteral("Initial/Left"), QStringLiteral("-40"));
    EXPECT_EQ(contexte.ReadInitialInteger(QStringLiteral("Left"), 0), -40);
}

TEST_F(ContexteTest, placement_is_stored_at_a_normal_close_and_restored_at_creation)
{
    {
        TFrmPlaced form;
        form.resize(300, 200);
        form.move(40, 30);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.resize(320, 210);
        form.move(50, 60);
        contexte.SaveFormPlacement(&form);
    }
    EXPECT_EQ(contexte.ReadInteger(QStringLiteral("Settings/FrmPlaced"), QStringLiteral("Width"), 0), 320);
    EXPECT_EQ(contexte.ReadInteger(QStringLiteral("Settings/FrmPlaced"), QStringLiteral("Left"), 0), 50);

    TFrmPlaced again;
    again.resize(300, 200);
    contexte.LoadFormPlacement(&again);
    EXPECT_EQ(again.size(), QSize(320, 210));
    EXPECT_EQ(again.pos(), QPoint(50, 60));
}

TEST_F(ContexteTest, a_form_closed_maximised_keeps_the_last_normal_placement)
{
    contexte.WriteInteger(QStringLiteral("Settings/FrmPlaced"), QStringLiteral("Width"), 333);
    TFrmPlaced form;
    form.resize(300, 200);
    form.showMaximized();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    contexte.SaveFormPlacement(&form);
    EXPECT_EQ(contexte.ReadInteger(QStringLiteral("Settings/FrmPlaced"), QStringLiteral("Width"), 0), 333);
    EXPECT_FALSE(contexte.ValueExists(QStringLiteral("Settings/FrmPlaced"), QStringLiteral("Left")));
}

TEST_F(ContexteTest, a_fixed_size_form_restores_only_its_position)
{
    writeRaw(QStringLiteral("Settings/FrmPlaced/Left"), 20);
    writeRaw(QStringLiteral("Settings/FrmPlaced/Top"), 25);
    writeRaw(QStringLiteral("Settings/FrmPlaced/Width"), 700);
    writeRaw(QStringLiteral("Settings/FrmPlaced/Height"), 500);
    TFrmPlaced form;
    form.setFixedSize(250, 150);
    contexte.LoadFormPlacement(&form);
    EXPECT_EQ(form.size(), QSize(250, 150));
    EXPECT_EQ(form.pos(), QPoint(20, 25));
}

TEST_F(ContexteTest, a_placement_off_every_screen_or_out_of_range_is_not_applied)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    writeRaw(QStringLiteral("Settings/FrmPlaced/Left"), screen.right() + 2000);
    writeRaw(QStringLiteral("Settings/FrmPlaced/Top"), 10);
    writeRaw(QStringLiteral("Settings/FrmPlaced/Width"), -5);
    writeRaw(QStringLiteral("Settings/FrmPlaced/Height"), QStringLiteral("tall"));
    TFrmPlaced form;
    form.resize(300, 200);
    form.move(15, 15);
    contexte.LoadFormPlacement(&form);
    EXPECT_EQ(form.pos(), QPoint(15, 15));
    EXPECT_EQ(form.size(), QSize(300, 200));
}

TEST_F(ContexteTest, a_stored_size_beyond_the_screen_is_fitted_and_the_form_kept_wholly_on_it)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    writeRaw(QStringLiteral("Settings/FrmPlaced/Width"), 32000);
    writeRaw(QStringLiteral("Settings/FrmPlaced/Height"), 32000);
    TFrmPlaced huge;
    contexte.LoadFormPlacement(&huge);
    EXPECT_LE(huge.width(), screen.width());
    EXPECT_LE(huge.height(), screen.height());
    EXPECT_GT(huge.height(), screen.height() / 2);

    // A tall form placed near the bottom: shortened and moved up so that its foot shows.
    writeRaw(QStringLiteral("Settings/FrmPlaced/Left"), screen.left() + 20);
    writeRaw(QStringLiteral("Settings/FrmPlaced/Top"), screen.bottom() - 100);
    writeRaw(QStringLiteral("Settings/FrmPlaced/Width"), 300);
    writeRaw(QStringLiteral("Settings/FrmPlaced/Height"), 5000);
    TFrmPlaced tall;
    tall.setMinimumHeight(100);
    contexte.LoadFormPlacement(&tall);
    EXPECT_EQ(tall.width(), 300);
    EXPECT_TRUE(screen.contains(tall.geometry())) << tall.geometry().y() << "+" << tall.height();
}

TEST_F(ContexteTest, a_form_never_shown_stores_nothing_and_nullptr_is_ignored)
{
    TFrmPlaced form;
    contexte.SaveFormPlacement(&form);
    contexte.SaveFormPlacement(nullptr);
    contexte.LoadFormPlacement(nullptr);
    EXPECT_FALSE(contexte.ValueExists(QStringLiteral("Settings/FrmPlaced"), QStringLiteral("Left")));
}

TEST_F(ContexteTest, the_form_section_is_the_class_name_without_its_first_letter)
{
    TFrmPlaced form;
    EXPECT_EQ(TvkContexte::FormSection(&form), QStringLiteral("Settings/FrmPlaced"));
    QDialog unnamed;
    EXPECT_EQ(TvkContexte::FormSection(&unnamed), QStringLiteral("Settings/Dialog"));
}
