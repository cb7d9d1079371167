#pragma once
// The Parameters page `tsBatch`: the batch's password (shown as "°"), the commands run before and
// after the batch, whether archives are updated or rebuilt, and whether what a run writes is read
// back. Every edit goes into the batch list at once, untrimmed and in the batch file's encoding; a
// text the file cannot hold (a line break, a character its encoding lacks, a password whose
// scrambled form breaks its line) is not stored, and the reason shows under its field until the
// text is mended or the field is left.

#include <QWidget>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class TvkButton;
class TpxBatchList;
class TBatchDocument;

class TBatchParametersPage : public QWidget
{
    Q_OBJECT
public:
    TBatchParametersPage(TpxBatchList& batch, const TBatchDocument& document, QWidget* parent = nullptr);

    // Shows the batch list's parameters (the change handlers store them back unchanged).
    void Refresh();

    void edPasswordChange();
    void edBeforeChange();
    void edAfterChange();
    void _sbBeforeClick();
    void _sbAfterClick();
    void rbUpdateClick();
    void rbRebuildClick();
    void cbVerifyClick();

    QLabel* lbPasswd = nullptr;
    QLineEdit* edPassword = nullptr;
    QLabel* _lbPasswordProblem = nullptr;
    QLabel* lbBefore = nullptr;
    QLineEdit* edBefore = nullptr;
    TvkButton* _sbBefore = nullptr;
    QLabel* lbAfter = nullptr;
    QLineEdit* edAfter = nullptr;
    TvkButton* _sbAfter = nullptr;
    QLabel* _lbCommandProblem = nullptr;
    QRadioButton* rbUpdate = nullptr;
    QRadioButton* rbRebuild = nullptr;
    QCheckBox* cbVerify = nullptr;

private:
    // Parts of the constructor: the controls, their grid, their handlers.
    void MakeControls();
    void LayOutControls();
    void ConnectHandlers();
    void PickProgram(QLineEdit* field);
    // The field's text as the batch stores it, into `stored`; else why it cannot be ("" when it can).
    QString Storable(const QLineEdit* field, std::string& stored) const;

    TpxBatchList& m_batch;
    const TBatchDocument& m_document;
};
