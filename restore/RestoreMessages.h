#pragma once
// The numbered texts of verifying and restoring, filled in.

#include "core/AppStrings.h"

#include <initializer_list>
#include <string>

namespace restore {

// The numbered text with each "%s" or "%d" replaced by the next value, in order.
std::string restoreText(int number, std::initializer_list<std::string> values);

} // namespace restore
