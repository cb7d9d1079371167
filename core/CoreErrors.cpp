#include "core/CoreErrors.h"

#include "core/AppStrings.h"

#include <cstring>
#include <utility>

namespace {

std::string describe(const std::string& fileName, int systemError, const std::string& what)
{
    std::string text = what + " \"" + fileName + "\"";
    if (systemError != 0) {
        text += ": ";
        text += std::strerror(systemError);
    }
    return text;
}

} // namespace

EInOutError::EInOutError(const std::string& fileName, int systemError, const std::string& what)
    : EVorlandError(describe(fileName, systemError, what)), m_fileName(fileName), m_systemError(systemError)
{
}

ENumberedError::ENumberedError(int number, std::vector<std::string> arguments)
    : EVorlandError(FillTextFrom(TvkStringList::DefaultText(number), arguments)), m_number(number),
      m_arguments(std::move(arguments))
{
}
