#pragma once
// The strip under the editor's pages that tells, for the open batch, when it last ran, how that run
// ended and its summary, when it last ran without problems, and warns when that is longer ago than
// the user's limit (a setting of the strip, kept as "StaleDays" in the settings store). "Open the
// log" opens the batch's run log with the desktop's program. Hidden for a batch without a file.
// GUI thread only.

#include <QWidget>

#include <cstdint>
#include <string>

class QLabel;
class QPushButton;
class QSpinBox;

class TLastRunPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TLastRunPanel(QWidget* parent = nullptr);

    // Shows the last result of the batch file ("" hides the strip) as of `now` (seconds since the
    // epoch; 0: the clock's time). Call again after a run and after a change of language.
    void ShowBatch(const std::string& batchFile, std::int64_t now = 0);
    // The limit in days (the user's setting; 7 when none is stored).
    int StaleDays() const;

    QLabel* _lbLastRun = nullptr; // when and how the last run ended, and its summary
    QLabel* _lbLastSuccess = nullptr;
    QLabel* _lbStale = nullptr; // the warning, shown only for a stale batch
    QLabel* lbStaleDays = nullptr;
    QSpinBox* edStaleDays = nullptr;
    QPushButton* btOpenLog = nullptr;

    void btOpenLogClick();
    void edStaleDaysChange(int days);

private:
    QLabel* m_staleIcon = nullptr;
    std::string m_batchFile;
    std::string m_logFile;
    std::int64_t m_now = 0;
};
