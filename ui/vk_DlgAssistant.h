#pragma once
// The generic wizard dialog: a picture on the left, a stack of pages without tabs on the right and
// the buttons Prior, Next, Cancel and Close below. It moves between the pages, skipping disabled
// ones, and enables the buttons by position; subclasses add the pages and narrow the rules.

#include <QDialog>

class QFrame;
class QImage;
class QLabel;
class TvkButton;
class QStackedWidget;

class TDlgAssistant : public QDialog
{
    Q_OBJECT
public:
    explicit TDlgAssistant(QWidget* parent = nullptr);

    // Enables and shows the buttons for the active page: Prior from the second page on, Next
    // everywhere but on the last page, Close only there (Next and Close share one place).
    virtual void UpdateButtons();
    // Runs when Close is pressed, before the dialog ends; nothing here.
    virtual void Finish() {}

    // Restores the placement, then translates the wizard (after the pages were built). Closing stores
    // the placement.
    void FormCreate();
    void done(int result) override;

    // The side picture (shown scaled into the frame).
    void SetPicture(const QImage& picture);
    // Makes page 0 the active page; subclasses call it once their pages are in pgcMain.
    void Loaded();
    // Makes the page active (the page-change handling runs) and updates the buttons.
    void SetActivePage(int index);
    int ActivePage() const;

    void btPrecedentClick();
    void btSuivantClick();
    void btAnnulerClick();
    void btTerminerClick();

    QFrame* pnlLeft = nullptr;
    QFrame* pnlBitmap = nullptr;
    QLabel* imgExpert = nullptr;
    QWidget* pnlRight = nullptr;
    QStackedWidget* pgcMain = nullptr;
    QWidget* pnlBevel = nullptr;
    QFrame* bvlPied = nullptr;
    QWidget* pnlBottom = nullptr;
    TvkButton* btPrecedent = nullptr;
    TvkButton* btSuivant = nullptr;
    TvkButton* btAnnuler = nullptr;
    TvkButton* btTerminer = nullptr;

protected:
    // Runs after another page became the active one.
    virtual void PageChanged(int /*index*/) {}
    // FormKeyDown: Enter alone or with Ctrl alone clicks Next, else Close, when enabled.
    void keyPressEvent(QKeyEvent* event) override;
    // Closing by the window manager counts as Cancel.
    void closeEvent(QCloseEvent* event) override;

private:
    // The teal panel with the picture, and the panel of the wizard's buttons.
    void MakeLeftPanel();
    void MakeButtonPanel();
};
