#pragma once
// The "Schedule" dialog of the editor: runs the open batch daily or weekly at a chosen time, or
// not at all, through a systemd user timer, and shows the next run. Where the user's service
// manager cannot take it, the dialog says why and offers the equivalent crontab line to copy.
// GUI thread only.

#include "batch/BatchSchedule.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;
class QVBoxLayout;
class TScheduleInstaller;

class TFrmSchedule : public QDialog
{
    Q_OBJECT
public:
    // Shows the schedule `installer` has in place; the dialog does not own it.
    explicit TFrmSchedule(TScheduleInstaller& installer, QWidget* parent = nullptr);

    QLabel* _lbBatch = nullptr;
    QRadioButton* rbOff = nullptr;
    QRadioButton* rbDaily = nullptr;
    QRadioButton* rbWeekly = nullptr;
    QLabel* lbDay = nullptr;
    QComboBox* cbDay = nullptr;
    QLabel* lbTime = nullptr;
    QTimeEdit* edTime = nullptr;
    QLabel* _lbStatus = nullptr;
    QLabel* _lbCrontab = nullptr;
    QLineEdit* edCrontab = nullptr;
    QPushButton* btCopy = nullptr;
    QPushButton* btApply = nullptr;
    QPushButton* btClose = nullptr;

    // Puts the chosen schedule in place (or removes it for Off) and shows the outcome.
    void btApplyClick();
    void btCopyClick();

private:
    // Parts of the constructor, in the order of the dialog from top to bottom.
    void makeTimeFields(QVBoxLayout* outer);
    void makeCrontabFields(QVBoxLayout* outer);
    void makeButtons(QVBoxLayout* outer);
    // Sets the controls to the schedule in place.
    void showCurrent();
    // The schedule the controls show.
    TSchedule chosen() const;
    void kindChanged();
    void showCrontabLine(bool shown);
    void showStatus();
    void showCrontab(const QString& reason);

    TScheduleInstaller& m_installer;
};
