#include "framework/vk_fBaseDialogueListe.h"

#include "controls/vk_Button.h"
#include "core/AppStrings.h"
#include "framework/DialogRunner.h"
#include "framework/HintNames.h"
#include "framework/vk_fbaseSelectList.h"

#include <QAbstractButton>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QString Numbered(int number)
{
    return QString::fromStdString(AppString(number));
}

constexpr int kGlyphSize = 16;
constexpr int kGlyphButtonSize = 22;

TvkButton* GlyphButton(QWidget* parent, const char* name, QStyle::StandardPixmap glyph, const char* hint)
{
    auto* button = new TvkButton(parent);
    button->setObjectName(QLatin1String(name));
    button->SetGlyph(parent->style()->standardIcon(glyph).pixmap(kGlyphSize, kGlyphSize));
    button->SetGlyphLayout(TvkButton::lyCenter);
    button->SetBorderMode(TvkButton::bmFlat);
    button->SetHint(QLatin1String(hint));
    button->setFixedSize(kGlyphButtonSize, kGlyphButtonSize);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

TvkButton* TextButton(QWidget* parent, const char* name)
{
    auto* button = new TvkButton(parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

TFrmBaseDialogList::TFrmBaseDialogList(QWidget* parent) : TFrmBaseDialog(parent)
{
    setObjectName(QStringLiteral("TFrmBaseDialogList"));
    resize(372, 275);

    _lbListe = new QLabel(ClientArea);
    _lbListe->setObjectName(QStringLiteral("_lbListe"));
    lbListe = new QListWidget(ClientArea);
    lbListe->setObjectName(QStringLiteral("lbListe"));
    lbListe->setSelectionMode(QAbstractItemView::SingleSelection);
    _lbListe->setBuddy(lbListe);
    _sbUp = GlyphButton(ClientArea, "_sbUp", QStyle::SP_ArrowUp, "Move up");
    _sbBottom = GlyphButton(ClientArea, "_sbBottom", QStyle::SP_ArrowDown, "Move down");
    EdListe = new QLineEdit(ClientArea);
    EdListe->setObjectName(QStringLiteral("EdListe"));
    EdListe->setToolTip(QStringLiteral("Entry"));
    NameByHint(EdListe);
    sbSelectList = TextButton(ClientArea, "sbSelectList");
    sbSelectList->SetCaption(QStringLiteral("..."));
    sbSelectList->SetHint(QStringLiteral("Proposals"));
    sbSelectList->setFixedSize(kGlyphButtonSize, kGlyphButtonSize);
    sbSelectList->hide();
    btReplace = TextButton(ClientArea, "btReplace");
    btAdd = TextButton(ClientArea, "btAdd");
    btDelete = TextButton(ClientArea, "btDelete");

    auto* grid = new QGridLayout;
    grid->addWidget(_lbListe, 0, 0, 1, 2);
    grid->addWidget(lbListe, 1, 0);
    auto* moves = new QVBoxLayout;
    moves->addWidget(_sbUp);
    moves->addWidget(_sbBottom);
    moves->addStretch();
    grid->addLayout(moves, 1, 1);
    grid->addWidget(EdListe, 2, 0);
    grid->addWidget(sbSelectList, 2, 1);
    grid->setRowStretch(1, 1);
    auto* edits = new QHBoxLayout;
    edits->addStretch();
    edits->addWidget(btReplace);
    edits->addWidget(btAdd);
    edits->addWidget(btDelete);
    auto* layout = new QVBoxLayout(ClientArea);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(grid, 1);
    layout->addLayout(edits);

    setTabOrder(lbListe, EdListe);
    setTabOrder(EdListe, btReplace);
    setTabOrder(btReplace, btAdd);
    setTabOrder(btAdd, btDelete);
    setTabOrder(btDelete, BtOK);
    setTabOrder(BtOK, BtCancel);

    // The selection, not the current row, drives the edit field: a mouse click makes the entry current
    // before it selects it, so at currentRowChanged the entry is not selected yet.
    connect(lbListe, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_keepEdit)
            lbListeClick();
    });
    // Enter in the edit field adds the entry; it must not reach the dialog's default button.
    EdListe->installEventFilter(this);
    connect(btReplace, &TvkButton::clicked, this, &TFrmBaseDialogList::btReplaceClick);
    connect(btAdd, &TvkButton::clicked, this, &TFrmBaseDialogList::btAddClick);
    connect(btDelete, &TvkButton::clicked, this, &TFrmBaseDialogList::btDeleteClick);
    connect(_sbUp, &TvkButton::clicked, this, &TFrmBaseDialogList::_sbUpClick);
    connect(_sbBottom, &TvkButton::clicked, this, &TFrmBaseDialogList::_sbBottomClick);
    connect(sbSelectList, &TvkButton::clicked, this, &TFrmBaseDialogList::sbSelectListClick);
}

void TFrmBaseDialogList::SetListProvider(TListProvider provider)
{
    m_listProvider = std::move(provider);
    sbSelectList->setVisible(static_cast<bool>(m_listProvider));
}

void TFrmBaseDialogList::SetEntries(const QStringList& entries)
{
    lbListe->clear();
    lbListe->addItems(entries);
    if (lbListe->count() > 0)
        lbListe->setCurrentRow(0);
    lbListeClick();
}

QStringList TFrmBaseDialogList::Entries() const
{
    QStringList entries;
    for (int i = 0; i < lbListe->count(); ++i)
        entries.append(lbListe->item(i)->text());
    return entries;
}

void TFrmBaseDialogList::Select(int row)
{
    lbListe->setCurrentRow(row);
    if (row < 0)
        lbListe->clearSelection();
}

bool TFrmBaseDialogList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == EdListe && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            btAddClick();
            return true;
        }
    }
    return TFrmBaseDialog::eventFilter(watched, event);
}

void TFrmBaseDialogList::lbListeClick()
{
    const QList<QListWidgetItem*> selected = lbListe->selectedItems();
    EdListe->setText(selected.isEmpty() ? QString() : selected.constFirst()->text());
}

void TFrmBaseDialogList::btReplaceClick()
{
    if (QListWidgetItem* item = lbListe->currentItem(); item != nullptr && item->isSelected())
        item->setText(EdListe->text());
}

void TFrmBaseDialogList::btAddClick()
{
    QListWidgetItem* item = lbListe->currentItem();
    const int row = item != nullptr && item->isSelected() ? lbListe->row(item) : lbListe->count();
    lbListe->insertItem(row, EdListe->text());
    Select(row);
}

void TFrmBaseDialogList::btDeleteClick()
{
    QListWidgetItem* item = lbListe->currentItem();
    if (item == nullptr || !item->isSelected())
        return;
    const int row = lbListe->row(item);
    m_keepEdit = true;
    delete lbListe->takeItem(row);
    Select(std::min(row, lbListe->count() - 1));
    m_keepEdit = false;
}

void TFrmBaseDialogList::_sbUpClick()
{
    const int row = lbListe->currentRow();
    if (row <= 0 || !lbListe->currentItem()->isSelected())
        return;
    m_keepEdit = true;
    lbListe->insertItem(row - 1, lbListe->takeItem(row));
    Select(row - 1);
    m_keepEdit = false;
}

void TFrmBaseDialogList::_sbBottomClick()
{
    const int row = lbListe->currentRow();
    if (row < 0 || row >= lbListe->count() - 1 || !lbListe->currentItem()->isSelected())
        return;
    m_keepEdit = true;
    lbListe->insertItem(row + 1, lbListe->takeItem(row));
    Select(row + 1);
    m_keepEdit = false;
}

void TFrmBaseDialogList::sbSelectListClick()
{
    if (!m_listProvider)
        return;
    QStringList candidates;
    m_listProvider(candidates);
    if (candidates.isEmpty())
        return;
    if (!SelectFromList(windowTitle(), candidates, this))
        return;
    for (const QString& candidate : candidates) {
        bool present = false;
        for (int i = 0; i < lbListe->count() && !present; ++i)
            present = lbListe->item(i)->text().compare(candidate, Qt::CaseInsensitive) == 0;
        if (!present)
            lbListe->addItem(candidate);
    }
}

bool EditList(const QString& title, QStringList& list, const TListProvider& provider, QWidget* parent)
{
    TFrmBaseDialogList dialog(parent);
    dialog.FormCreate();
    dialog.btReplace->setText(Numbered(sReplace));
    dialog.btAdd->setText(Numbered(sAdd));
    dialog.btDelete->setText(Numbered(sDelete));
    dialog.BtOK->setText(Numbered(sOk));
    dialog.BtCancel->setText(Numbered(sCancel));
    dialog._lbListe->setText(title);
    dialog.lbListe->setAccessibleName(title);
    dialog.setWindowTitle(title);
    dialog.SetListProvider(provider);
    dialog.SetEntries(list);
    dialog.lbListe->setFocus();
    if (RunModalDialog(dialog) != QDialog::Accepted)
        return false;
    list = dialog.Entries();
    return true;
}
