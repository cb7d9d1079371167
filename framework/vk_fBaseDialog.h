#pragma once
// The base of the program's modal OK/Cancel dialogs: a panel (pnXP) holding the dialog's own
// controls in ClientArea, a line (BevelBottom) above the buttons, OK (BtOK) at the left and Cancel
// (BtCancel) at the right. Stays on top; design size 336 by 242.
//
// A derived dialog lays out its controls on ClientArea in its constructor and then calls FormCreate()
// (placement, then translation). The placement is stored whenever the dialog closes, by OK or Cancel.

#include <QDialog>

class QAbstractButton;
class QFrame;

class TFrmBaseDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmBaseDialog(QWidget* parent = nullptr);

    // Restores the placement, then translates the dialog.
    void FormCreate();

    QFrame* pnXP = nullptr;
    // Where a derived dialog puts its controls (give it a layout).
    QWidget* ClientArea = nullptr;
    QFrame* BevelBottom = nullptr;
    QAbstractButton* BtOK = nullptr;
    QAbstractButton* BtCancel = nullptr;

    // Stores the placement, then ends the dialog.
    void done(int result) override;
};
