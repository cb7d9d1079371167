#pragma once
// The progress window of a run: the archive (or copy target), the source folder and the current
// file, three bars (the batch, the current archive, the current file) and the Abort button.
//
// The runner drives it through IProgressView on the GUI thread. Every call only records the new
// state; the widgets follow at most every kRefreshInterval (and at once for the start of a batch,
// of a section and the end of an archive), so a run with thousands of files per second spends its
// time in the engine and not in repainting. The last state is always shown: a pending change is
// pushed by a timer as soon as events are processed again.
//
// The window is a plain top-level window that stays on top. Closing it with the title-bar button
// only hides it; the run goes on. Its placement is stored when it is closed or hidden and restored
// when it is created. It takes part in translation like every form (key FrmSaveProgress): its
// captions follow a change of language, and so do the texts of the run it shows that come from the
// numbered strings.

#include "core/UiInterfaces.h"
#include "framework/TvkForm.h"

#include <QElapsedTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QAbstractButton;
class QFrame;
class QLabel;
class QProgressBar;
class QTimer;
class TpxBatchList;
class TvkLabel;

class TFrmSaveProgress : public TvkForm, public IProgressView
{
    Q_OBJECT

public:
    // Created hidden, without parent (the batch list that owns it decides when it is shown), placed
    // where it was last closed and translated.
    TFrmSaveProgress();
    ~TFrmSaveProgress() override;

    // The batch list the Abort button asks; not owned (nullptr: Abort does nothing).
    TpxBatchList* BatchList = nullptr;

    // Receives every problem of a run as it is reported (batch mode writes them to standard error).
    void SetProblemSink(std::function<void(const std::string&)> sink) { m_problemSink = std::move(sink); }

    void Show() override;
    void Hide() override;
    void SetBatchMax(int count) override;
    void SetBatchPosition(int position) override;
    void StartSection(const std::string& name, const std::string& archive, const std::string& directory,
                      int maximum) override;
    void SetZipPosition(int position) override;
    void ArchiveComplete() override;
    void StartFile(const std::string& text, int maximum) override;
    void SetFilePosition(int position) override;
    void FileComplete() override;
    void ReportProblem(const std::string& text) override;

    // Shows the recorded state in the widgets now.
    void Flush();

    // Abort (the button's click).
    void tsbZipItClick();

    // The texts of a run re-read from the numbered strings (after every translation of the form).
    void RetranslateState();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The title is "Processing archive ..." and, once a section started, a blank and its name. The
    // file line shows the runner's text, or a numbered string (fileString >= 0) read when shown.
    struct State
    {
        std::optional<std::string> sectionName;
        std::string archive;
        std::string directory;
        std::string file;
        int fileString = -1;
        int batchMax = 100;
        int batchPosition = 0;
        int zipMax = 100;
        int zipPosition = 0;
        int fileMax = 100;
        int filePosition = 0;
    };

    void buildForm();
    void changed();
    void FormShow();
    void FormClose();
    void LoadPlacement();
    void SavePlacement();
    void showDirectory();
    QString titleText() const;
    void fitAbortButton();
    QString fileText() const;

    State m_state;
    std::function<void(const std::string&)> m_problemSink;
    QElapsedTimer m_sinceFlush;
    QTimer* m_flushTimer = nullptr;
    bool m_dirty = false;
    QString m_shownDirectory;

    QFrame* PnSuivi = nullptr;
    QLabel* lbSection = nullptr;
    QLabel* lbFile = nullptr;
    QLabel* lbRepertoire = nullptr;
    TvkLabel* _idSection = nullptr;
    TvkLabel* _idFichier = nullptr;
    TvkLabel* _idRepertoire = nullptr;
    QLabel* lbBatch = nullptr;
    QLabel* lbZip = nullptr;
    QLabel* lbProcessFile = nullptr;
    QFrame* Bevel1 = nullptr;
    QAbstractButton* tsbZipIt = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QProgressBar* Gauge = nullptr;
    QProgressBar* ProgressFile = nullptr;
};
