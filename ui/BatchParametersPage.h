#pragma once
// The Parameters page `tsBatch`: the batch's password (shown as "°"), the commands run before and
// after the batch, and whether archives are updated or rebuilt. Every edit goes into the batch
// list at once, untrimmed.

#include <QWidget>

class QLabel;
class QLineEdit;
class QRadioButton;
class TvkButton;
class TpxBatchList;

class TBatchParametersPage : public QWidget
{
    Q_OBJECT
public:
    explicit TBatchParametersPage(TpxBatchList& batch, QWidget* parent = nullptr);

    // Shows the batch list's parameters (the change handlers store them back unchanged).
    void Refresh();

    void edPasswordChange();
    void edBeforeChange();
    void edAfterChange();
    void _sbBeforeClick();
    void _sbAfterClick();
    void rbUpdateClick();
    void rbRebuildClick();

    QLabel* lbPasswd = nullptr;
    QLineEdit* edPassword = nullptr;
    QLabel* _lbPasswordProblem = nullptr;
    QLabel* lbBefore = nullptr;
    QLineEdit* edBefore = nullptr;
    TvkButton* _sbBefore = nullptr;
    QLabel* lbAfter = nullptr;
    QLineEdit* edAfter = nullptr;
    TvkButton* _sbAfter = nullptr;
    QRadioButton* rbUpdate = nullptr;
    QRadioButton* rbRebuild = nullptr;

private:
    void PickProgram(QLineEdit* field);

    TpxBatchList& m_batch;
};
