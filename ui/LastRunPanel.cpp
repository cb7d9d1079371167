#include "ui/LastRunPanel.h"

#include "batch/RunSettings.h"
#include "batch/RunStatus.h"
#include "core/AppStrings.h"
#include "framework/WindowTools.h"
#include "framework/vk_contexte.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>

#include <ctime>
#include <sys/stat.h>

namespace {

const char* const kStaleDaysKey = "StaleDays";
constexpr int kMaxStaleDays = 365;

QString fromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

TLastRunPanel::TLastRunPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PnLastRun"));
    _lbLastRun = new QLabel(this);
    _lbLastRun->setObjectName(QStringLiteral("_lbLastRun"));
    _lbLastRun->setTextInteractionFlags(Qt::TextSelectableByMouse);
    _lbLastRun->setWordWrap(true);
    _lbLastSuccess = new QLabel(this);
    _lbLastSuccess->setObjectName(QStringLiteral("_lbLastSuccess"));
    // Wraps rather than pushing the button and the day count past the window's edge in languages
    // with longer texts.
    _lbLastSuccess->setWordWrap(true);
    _lbStale = new QLabel(this);
    _lbStale->setObjectName(QStringLiteral("_lbStale"));
    _lbStale->setWordWrap(true);
    // Drawn as a warning: bold, on the palette's highlight colours, with the warning icon beside it.
    _lbStale->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; color: palette(highlighted-text); "
                                           "background: palette(highlight); padding: 3px; }"));
    auto* staleIcon = new QLabel(this);
    staleIcon->setObjectName(QStringLiteral("_imStale"));
    staleIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(20, 20));
    btOpenLog = new QPushButton(QStringLiteral("Open the lo&g"), this);
    btOpenLog->setObjectName(QStringLiteral("btOpenLog"));
    btOpenLog->setToolTip(QStringLiteral("Open the log of this batch's runs"));
    lbStaleDays = new QLabel(QStringLiteral("Warn after this many days wit&hout a good run:"), this);
    lbStaleDays->setObjectName(QStringLiteral("lbStaleDays"));
    lbStaleDays->setWordWrap(true);
    edStaleDays = new QSpinBox(this);
    edStaleDays->setObjectName(QStringLiteral("edStaleDays"));
    edStaleDays->setRange(1, kMaxStaleDays);
    lbStaleDays->setBuddy(edStaleDays);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(_lbLastRun, 0, 0, 1, 3);
    layout->addWidget(btOpenLog, 0, 3, Qt::AlignTop);
    layout->addWidget(_lbLastSuccess, 1, 0, 1, 2);
    layout->addWidget(lbStaleDays, 1, 2, Qt::AlignRight);
    layout->addWidget(edStaleDays, 1, 3);
    layout->addWidget(staleIcon, 2, 0);
    layout->addWidget(_lbStale, 2, 1, 1, 3);
    layout->setColumnStretch(1, 1);

    edStaleDays->setValue(StaleDays());
    connect(btOpenLog, &QPushButton::clicked, this, &TLastRunPanel::btOpenLogClick);
    connect(edStaleDays, &QSpinBox::valueChanged, this, &TLastRunPanel::edStaleDaysChange);
    m_staleIcon = staleIcon;
    hide();
}

int TLastRunPanel::StaleDays() const
{
    const int days = AppContexte().ReadInitialInteger(QString::fromLatin1(kStaleDaysKey), kDefaultStaleDays);
    return days >= 1 && days <= kMaxStaleDays ? days : kDefaultStaleDays;
}

void TLastRunPanel::ShowBatch(const std::string& batchFile, std::int64_t now)
{
    m_batchFile = batchFile;
    m_now = now;
    if (batchFile.empty()) {
        hide();
        return;
    }
    const std::int64_t time = now != 0 ? now : static_cast<std::int64_t>(std::time(nullptr));
    const TRunStatus status = RunStatusOf(batchFile, StaleDays(), time, false);
    m_logFile = status.LogFile;
    QString lastRun = fromUtf8(LastRunLine(status, AppText));
    if (status.State.LastEnd > 0 && !status.RunningNow && !status.Unfinished) {
        lastRun += QLatin1Char('\n') + fromUtf8(status.State.Summary.TextIn(AppText)).trimmed();
    }
    _lbLastRun->setText(lastRun);
    _lbLastRun->setAccessibleName(lastRun.section(QLatin1Char('\n'), 0, 0));
    _lbLastSuccess->setText(status.State.LastStart > 0 ? fromUtf8(LastSuccessLine(status, AppText)) : QString());
    const QString stale = fromUtf8(StaleLine(status, AppText));
    _lbStale->setText(stale);
    _lbStale->setAccessibleName(stale);
    _lbStale->setVisible(!stale.isEmpty());
    m_staleIcon->setVisible(!stale.isEmpty());
    struct stat st
    {
    };
    btOpenLog->setEnabled(::stat(m_logFile.c_str(), &st) == 0);
    show();
}

void TLastRunPanel::btOpenLogClick()
{
    OpenDocument(QString::fromStdString(m_logFile));
}

void TLastRunPanel::edStaleDaysChange(int days)
{
    AppContexte().WriteInitialInteger(QString::fromLatin1(kStaleDaysKey), days);
    ShowBatch(m_batchFile, m_now);
}
