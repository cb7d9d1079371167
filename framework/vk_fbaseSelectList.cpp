#include "framework/vk_fbaseSelectList.h"

#include "controls/vk_Button.h"
#include "framework/DialogRunner.h"
#include "framework/core/AppStrings.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QListWidget>
#include <QVBoxLayout>

TFrmBaseSelectList::TFrmBaseSelectList(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFrmBaseSelectList"));
    resize(229, 242);

    lbSelectList = new QListWidget(this);
    lbSelectList->setObjectName(QStringLiteral("lbSelectList"));
    BtOK = new TvkButton(this);
    BtOK->setObjectName(QStringLiteral("BtOK"));
    BtOK->SetDefault(true);
    BtOK->SetModalResult(TvkButton::mrOk);
    BtCancel = new TvkButton(this);
    BtCancel->setObjectName(QStringLiteral("BtCancel"));
    BtCancel->SetCancel(true);
    BtCancel->SetModalResult(TvkButton::mrCancel);
    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("BevelBottom"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtOK);
    buttons->addStretch();
    buttons->addWidget(BtCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbSelectList, 1);
    layout->addWidget(bevel);
    layout->addLayout(buttons);
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
    dialog.BtOK->setText(QString::fromStdString(AppString(sOk)));
    dialog.BtCancel->setText(QString::fromStdString(AppString(sCancel)));
    dialog.setWindowTitle(title);
    dialog.lbSelectList->setAccessibleName(title);
    dialog.SetCandidates(list);
    if (RunModalDialog(dialog) != QDialog::Accepted)
        return false;
    list = dialog.TickedEntries();
    return true;
}
