// The schedule dialog: it shows the schedule in place, applying puts the chosen one in place and
// shows the next run, and where systemctl fails it gives the reason and a crontab line to copy.
#include "ui/ScheduleDialog.h"
#include "batch/ScheduleInstaller.h"
#include "core/AppStrings.h"
#include "testkit/TestKit.h"
#include "ui/UiTestKit.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>

#include <gtest/gtest.h>

TEST(ScheduleDialog, applies_the_chosen_schedule_and_offers_cron_when_systemctl_fails)
{
    uitest::ensureApplication();
    testkit::TempDir dir;
    TScheduleInstaller installer("/usr/bin/vorland", dir / "my batch.vrl", dir.path() / "units");
    installer.Systemctl = "true";
    {
        TFrmSchedule dialog(installer);
        EXPECT_TRUE(dialog.rbOff->isChecked());
        EXPECT_FALSE(dialog.edTime->isEnabled());
        EXPECT_EQ(dialog._lbStatus->text().toStdString(), AppString(sNotScheduled));
        dialog.rbWeekly->setChecked(true);
        EXPECT_TRUE(dialog.cbDay->isEnabled());
        dialog.cbDay->setCurrentIndex(2);
        dialog.edTime->setTime(QTime(6, 45));
        dialog.btApply->click();
        EXPECT_EQ(installer.Current(), (TSchedule{TScheduleKind::Weekly, 2, 6, 45}));
        EXPECT_TRUE(dialog._lbStatus->text().startsWith(QStringLiteral("Next run: ")))
            << dialog._lbStatus->text().toStdString();
        EXPECT_TRUE(dialog.edCrontab->isHidden());
    }
    {
        // Opened again, it shows what is in place; Off removes it.
        TFrmSchedule dialog(installer);
        EXPECT_TRUE(dialog.rbWeekly->isChecked());
        EXPECT_EQ(dialog.cbDay->currentIndex(), 2);
        EXPECT_EQ(dialog.edTime->time(), QTime(6, 45));
        dialog.rbOff->setChecked(true);
        dialog.btApply->click();
        EXPECT_FALSE(std::filesystem::exists(installer.TimerFile()));
        EXPECT_EQ(dialog._lbStatus->text().toStdString(), AppString(sNotScheduled));
    }
    installer.Systemctl = "false";
    TFrmSchedule dialog(installer);
    dialog.rbDaily->setChecked(true);
    dialog.edTime->setTime(QTime(21, 5));
    dialog.btApply->click();
    EXPECT_EQ(dialog._lbStatus->text().toStdString(), "systemd's user service manager cannot be reached: exit code 1");
    EXPECT_FALSE(dialog.edCrontab->isHidden());
    const QString line = QStringLiteral("5 21 * * * VORLAND_CONSOLE=1 '/usr/bin/vorland' '") +
                         QString::fromStdString(dir / "my batch.vrl") + QStringLiteral("' /B");
    EXPECT_EQ(dialog.edCrontab->text(), line);
    dialog.btCopy->click();
    EXPECT_EQ(QApplication::clipboard()->text(), line);
    EXPECT_FALSE(std::filesystem::exists(installer.ServiceFile()));
}
