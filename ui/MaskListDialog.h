#pragma once
// The mask list dialogs of the main window and the wizard ("Add files", "Exclude files"): a mask
// list text opens as one entry per mask in the list dialog, and the confirmed entries are joined
// back with ";", quoted where needed. GUI thread only.

#include "framework/vk_fBaseDialogueListe.h"

#include <QStringList>

#include <string>

// The masks of a mask list text as list entries; with `complete` (exclude lists) a mask without
// "." gets "*." in front ("tmp" opens as "*.tmp").
QStringList MaskListEntries(const std::string& text, bool complete);
// The entries joined by ";" (empty entries dropped, nothing before the first or after the last); an
// entry holding a blank or another separator is quoted, so it stays one mask.
std::string MaskListText(const QStringList& entries);

// Runs EditList on the masks of `text`, titled "Exclude files" (exclude) or "Add files", with the
// provider behind "...". True and the joined result in `text` when confirmed.
bool EditMaskList(QWidget* parent, bool exclude, const TListProvider& provider, std::string& text);
