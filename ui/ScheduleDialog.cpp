#include "ui/ScheduleDialog.h"

#include "batch/ScheduleInstaller.h"
#include "core/AppStrings.h"
#include "framework/FormTexts.h"
#include "framework/TvkLanguage.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <ctime>

namespace {

// Wide enough for the next run's date and a good part of a crontab line.
constexpr int kMinimumWidth = 440;

QString numbered(int number, const QString& value = {})
{
    return QString::fromStdString(AppString(number)).replace(QStringLiteral("%s"), value);
}

template <class T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

TFrmSchedule::TFrmSchedule(TScheduleInstaller& installer, QWidget* parent) : QDialog(parent), m_installer(installer)
{
    setObjectName(QStringLiteral("TFrmSchedule"));
    setWindowTitle(numbered(sScheduleTitle));
    RegisterForm(this);

    auto* outer = new QVBoxLayout(this);
    // The whole path: two batches of the same name in different folders have schedules of their own.
    _lbBatch = named(new QLabel(QString::fromStdString(m_installer.BatchFile()), this), "_lbBatch");
    _lbBatch->setWordWrap(true);
    QFont bold = _lbBatch->font();
    bold.setBold(true);
    _lbBatch->setFont(bold);
    outer->addWidget(_lbBatch);

    rbOff = named(new QRadioButton(QStringLiteral("&Off"), this), "rbOff");
    rbDaily = named(new QRadioButton(QStringLiteral("&Daily"), this), "rbDaily");
    rbWeekly = named(new QRadioButton(QStringLiteral("&Weekly"), this), "rbWeekly");
    for (QRadioButton* kind : {rbOff, rbDaily, rbWeekly}) {
        outer->addWidget(kind);
        connect(kind, &QRadioButton::toggled, this, &TFrmSchedule::kindChanged);
    }

    makeTimeFields(outer);
    makeCrontabFields(outer);
    outer->addStretch(1);
    makeButtons(outer);

    showCurrent();
    showCrontabLine(false);
    kindChanged();
    showStatus();
    AppLanguage().TranslateForm(this);
}

void TFrmSchedule::makeTimeFields(QVBoxLayout* outer)
{
    auto* when = new QGridLayout;
    lbDay = named(new QLabel(QStringLiteral("Da&y:"), this), "lbDay");
    cbDay = named(new QComboBox(this), "cbDay");
    for (int day = Qt::Monday; day <= Qt::Sunday; ++day) {
        cbDay->addItem(locale().dayName(day));
    }
    lbDay->setBuddy(cbDay);
    lbTime = named(new QLabel(QStringLiteral("&Time:"), this), "lbTime");
    edTime = named(new QTimeEdit(this), "edTime");
    edTime->setDisplayFormat(QStringLiteral("HH:mm"));
    lbTime->setBuddy(edTime);
    when->addWidget(lbDay, 0, 0);
    when->addWidget(cbDay, 0, 1);
    when->addWidget(lbTime, 1, 0);
    when->addWidget(edTime, 1, 1);
    when->setColumnStretch(2, 1);
    outer->addLayout(when);
}

void TFrmSchedule::makeCrontabFields(QVBoxLayout* outer)
{
    _lbStatus = named(new QLabel(this), "_lbStatus");
    _lbStatus->setWordWrap(true);
    _lbStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    outer->addWidget(_lbStatus);
    _lbCrontab = named(new QLabel(this), "_lbCrontab");
    _lbCrontab->setWordWrap(true);
    outer->addWidget(_lbCrontab);
    auto* cron = new QHBoxLayout;
    edCrontab = named(new QLineEdit(this), "edCrontab");
    edCrontab->setReadOnly(true);
    setMinimumWidth(kMinimumWidth);
    _lbCrontab->setBuddy(edCrontab);
    btCopy = named(new QPushButton(QStringLiteral("Co&py"), this), "btCopy");
    cron->addWidget(edCrontab, 1);
    cron->addWidget(btCopy);
    outer->addLayout(cron);
}

void TFrmSchedule::makeButtons(QVBoxLayout* outer)
{
    auto* buttons = new QHBoxLayout;
    btApply = named(new QPushButton(QStringLiteral("&Apply"), this), "btApply");
    btApply->setDefault(true);
    btClose = named(new QPushButton(QStringLiteral("&Close"), this), "btClose");
    buttons->addStretch(1);
    buttons->addWidget(btApply);
    buttons->addWidget(btClose);
    outer->addLayout(buttons);
    connect(btApply, &QPushButton::clicked, this, &TFrmSchedule::btApplyClick);
    connect(btCopy, &QPushButton::clicked, this, &TFrmSchedule::btCopyClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TFrmSchedule::showCurrent()
{
    const TSchedule current = m_installer.Current();
    rbOff->setChecked(current.Kind == TScheduleKind::Off);
    rbDaily->setChecked(current.Kind == TScheduleKind::Daily);
    rbWeekly->setChecked(current.Kind == TScheduleKind::Weekly);
    cbDay->setCurrentIndex(current.Weekday);
    // A new schedule proposes a quiet hour of the evening.
    edTime->setTime(current.Kind == TScheduleKind::Off ? QTime(20, 0) : QTime(current.Hour, current.Minute));
}

void TFrmSchedule::kindChanged()
{
    lbDay->setEnabled(rbWeekly->isChecked());
    cbDay->setEnabled(rbWeekly->isChecked());
    lbTime->setEnabled(!rbOff->isChecked());
    edTime->setEnabled(!rbOff->isChecked());
}

void TFrmSchedule::showStatus()
{
    const TSchedule current = m_installer.Current();
    const std::time_t next = NextRunTime(current, std::time(nullptr));
    if (next == 0) {
        _lbStatus->setText(numbered(sNotScheduled));
        return;
    }
    const QDateTime when = QDateTime::fromSecsSinceEpoch(next);
    _lbStatus->setText(numbered(sNextRun, locale().toString(when.date(), QLocale::LongFormat) + QLatin1Char(' ') +
                                              locale().toString(when.time(), QLocale::ShortFormat)));
}

TSchedule TFrmSchedule::chosen() const
{
    TSchedule wanted;
    if (!rbOff->isChecked()) {
        wanted.Kind = rbDaily->isChecked() ? TScheduleKind::Daily : TScheduleKind::Weekly;
        wanted.Weekday = cbDay->currentIndex();
        wanted.Hour = edTime->time().hour();
        wanted.Minute = edTime->time().minute();
    }
    return wanted;
}

void TFrmSchedule::showCrontabLine(bool shown)
{
    _lbCrontab->setVisible(shown);
    edCrontab->setVisible(shown);
    btCopy->setVisible(shown);
}

void TFrmSchedule::showCrontab(const QString& reason)
{
    _lbStatus->setText(reason);
    _lbCrontab->setText(numbered(sCrontabInstead));
    edCrontab->setText(QString::fromStdString(CrontabLine(m_installer.Program(), m_installer.BatchFile(), chosen())));
    edCrontab->setCursorPosition(0);
    showCrontabLine(true);
}

void TFrmSchedule::btApplyClick()
{
    try {
        m_installer.Apply(chosen());
    } catch (const EScheduleUnavailable& error) {
        // Only putting a schedule in place fails this way; removing one goes on without systemctl.
        showCrontab(QString::fromStdString(error.what()));
        return;
    }
    showCrontabLine(false);
    showStatus();
}

void TFrmSchedule::btCopyClick()
{
    QApplication::clipboard()->setText(edCrontab->text());
}
