#pragma once
// The list dialog: edits a list of short texts (such as file masks) line by line, and can offer
// candidates from a provider supplied by the caller.

#include "framework/vk_fBaseDialog.h"

#include <QStringList>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class TvkButton;

// Fills the given (empty) list with candidates for the list dialog's "..." button.
using TListProvider = std::function<void(QStringList&)>;

// Modal OK/Cancel dialog (the base dialog's buttons and placement) editing the entries of `lbListe`
// through `EdListe` and the buttons Replace, Add, Delete, Up and Down (Enter in EdListe adds).
// Created for one use.
class TFrmBaseDialogList : public TFrmBaseDialog
{
    Q_OBJECT
public:
    explicit TFrmBaseDialogList(QWidget* parent = nullptr);

    // The provider behind "..."; the button shows only while one is set.
    void SetListProvider(TListProvider provider);
    // Replaces the entries, selects the first one and shows it in EdListe.
    void SetEntries(const QStringList& entries);
    QStringList Entries() const;

    void lbListeClick();
    void btReplaceClick();
    void btAddClick();
    void btDeleteClick();
    void _sbUpClick();
    void _sbBottomClick();
    void sbSelectListClick();

    QLabel* _lbListe = nullptr;
    QListWidget* lbListe = nullptr;
    QLineEdit* EdListe = nullptr;
    TvkButton* sbSelectList = nullptr;
    TvkButton* _sbUp = nullptr;
    TvkButton* _sbBottom = nullptr;
    TvkButton* btReplace = nullptr;
    TvkButton* btAdd = nullptr;
    TvkButton* btDelete = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Select(int row);

    TListProvider m_listProvider;
    bool m_keepEdit = false; // a deletion moves the selection without refilling EdListe
};

// Edits `list` in the list dialog titled `title`, with "..." asking `provider` (may be empty) for
// candidates. OK replaces `list` by the dialog's entries in their order and gives true; Cancel
// leaves `list` exactly as it was and gives false.
bool EditList(const QString& title, QStringList& list, const TListProvider& provider, QWidget* parent = nullptr);
