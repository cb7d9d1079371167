#pragma once
// The selection list dialog: the user ticks entries in a list of candidates.

#include "framework/vk_fBaseDialog.h"

#include <QStringList>

class QListWidget;

// Modal OK/Cancel dialog (the base dialog's buttons and placement) with a check-list `lbSelectList`.
// Created for one use.
class TFrmBaseSelectList : public TFrmBaseDialog
{
    Q_OBJECT
public:
    explicit TFrmBaseSelectList(QWidget* parent = nullptr);

    // Replaces the candidates (none ticked) and selects the first one.
    void SetCandidates(const QStringList& candidates);
    // The ticked candidates in list order.
    QStringList TickedEntries() const;

    QListWidget* lbSelectList = nullptr;
};

// Shows the candidates of `list` with nothing ticked. OK replaces `list` by the ticked entries in
// their order and gives true (the list is empty when nothing was ticked); Cancel leaves it alone
// and gives false.
bool SelectFromList(const QString& title, QStringList& list, QWidget* parent = nullptr);
