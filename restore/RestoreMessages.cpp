#include "restore/RestoreMessages.h"

namespace restore {

std::string restoreText(int number, std::initializer_list<std::string> values)
{
    const std::string pattern = AppString(number);
    std::string out;
    auto next = values.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == 'd') &&
            next != values.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

} // namespace restore
