#pragma once
// The about box: the program's icon and name, the version compiled in from the build, the links
// (a link without an address is hidden), and the about text of the current language, which the user
// edits through the text's context menu ("Edit about file"). Modal; centred; not stored.
//
// The caller sets the caption (numbered string 2) and cmEdit's caption (numbered string 3).

#include <QDialog>

class QAbstractButton;
class QAction;
class QFrame;
class QGridLayout;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QVBoxLayout;
class TvkButton;
class TvkLabel;
class TvkLabelLink;

class TfrmBaseAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmBaseAboutBox(QWidget* parent = nullptr);

    // The version text: the product version of the build as four numbers ("1.0.0.0").
    static QString VersionText();
    // The address opened by the home page link and by a double click on the brand picture: the help
    // address when one is set; empty otherwise.
    static QString HomeAddress();
    // The author's mail address: none is published, so the mail link stays hidden.
    static QString MailAddress();

    QFrame* _pnAbout = nullptr;
    QLabel* ImageBrand = nullptr;
    QLabel* ProgramIcon = nullptr;
    TvkLabel* _ProductName = nullptr;
    QLabel* _lbVersion = nullptr;
    QLabel* _lbNoVersion = nullptr;
    QLabel* lbMailTo = nullptr;
    TvkLabelLink* _LbMailTo = nullptr;
    QLabel* lbHomePage = nullptr;
    TvkLabelLink* _lbLink = nullptr;
    // The program's licence.
    QLabel* lbLicense = nullptr;
    QLabel* lbLicenseName = nullptr;
    QPlainTextEdit* moAPropos = nullptr;
    TvkButton* OKButton = nullptr;
    QLabel* ImageBottom = nullptr;
    QMenu* PopupMenu = nullptr;
    QAction* cmEdit = nullptr;

public slots:
    // Opens the current language's about file in the user's editor (made when missing).
    void cmEditClick();
    // Opens the home address.
    void BrandClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Parts of the box, made in this order (which is the order of the focus chain).
    void makeTitleRow(QGridLayout* grid);
    // The version, mail, home page and licence rows; returns the next free row.
    int makeFieldRows(QGridLayout* grid);
    void makeAboutText(QGridLayout* grid, int row);
    void makeButtons(QVBoxLayout* outer);
    void makePopupMenu();
    void FormCreate();
};
