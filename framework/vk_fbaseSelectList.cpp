#include "framework/vk_fbaseSelectList.h"

#include "core/AppStrings.h"
#include "framework/DialogRunner.h"

#include <QAbstractButton>
#include <QListWidget>
#include <QVBoxLayout>

TFrmBaseSelectList::TFrmBaseSelectList(QWidget* parent) : TFrmBaseDialog(parent)
{
    setObjectName(QStringLiteral("TFrmBaseSelectList"));
    resize(229, 242);

    lbSelectList = new QListWidget(ClientArea);
    lbSelectList->setObjectName(QStringLiteral("lbSelectList"));
    auto* layout = new QVBoxLayout(ClientArea);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lbSelectList);
    setTabOrder(lbSelectList, BtOK);
    setTabOrder(BtOK, BtCancel);
}

void TFrmBaseSelectList::SetCandidates(const QStringList& candidates)
{
    lbSelectList->clear();
    for (const QString& text : candidates) {
        auto* item = new QListWidgetItem(text, lbSelectList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    if (lbSelectList->count() > 0)
        lbSelectList->setCurrentRow(0);
}

QStringList TFrmBaseSelectList::TickedEntries() const
{
    QStringList ticked;
    for (int i = 0; i < lbSelectList->count(); ++i) {
        if (lbSelectList->item(i)->checkState() == Qt::Checked)
            ticked.append(lbSelectList->item(i)->text());
    }
    return ticked;
}

bool SelectFromList(const QString& title, QStringList& list, QWidget* parent)
{
    TFrmBaseSelectList dialog(parent);
    dialog.FormCreate();
    dialog.BtOK->setText(QString::fromStdString(AppString(sOk)));
    dialog.BtCancel->setText(QString::fromStdString(AppString(sCancel)));
    dialog.setWindowTitle(title);
    dialog.lbSelectList->setAccessibleName(title);
    dialog.SetCandidates(list);
    // The user ticks entries first: Enter or Space must not end the dialog before that.
    dialog.lbSelectList->setFocus();
    if (RunModalDialog(dialog) != QDialog::Accepted)
        return false;
    list = dialog.TickedEntries();
    return true;
}
