#pragma once
// The naming rules of the section list: names are unique ignoring letter case and surrounding
// blanks when a section is renamed in place, and new or wizard-made sections get a number after
// their base name ("New", "New 1", "New 2", ...) until no other section has that name.
// Plain functions on the batch list; GUI thread only, like the list itself.

#include <string>

class TpxBatchList;

// True when a section other than the one at skipIndex is named like `name`: the name is trimmed,
// the stored names are compared as stored, letter case disregarded (Unicode case folding). The
// parameter section's name counts as taken, whatever the batch.
bool SectionNameExists(const TpxBatchList& batch, const std::string& name, int skipIndex);

// The name the section at `index` gets when it is named after `base`: base itself when no other
// section has it, otherwise base + " " + n for the smallest n >= 1 that no other section has. The
// number always follows the base, never an already numbered name.
std::string NumberedSectionName(const TpxBatchList& batch, const std::string& base, int index);
