#include "core/CoreErrors.h"

#include "core/AppStrings.h"

#include <cstring>
#include <langinfo.h>
#include <locale.h>
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

// strerror_l of `error` in the messages of `localeName` ("" for the environment's).
std::string messageIn(int error, const char* localeName)
{
    // The text is converted to the character set of the locale's LC_CTYPE: it is taken from the
    // same locale so that accented letters survive, and used only where that is UTF-8.
    locale_t locale = ::newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, localeName, static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) {
        return localeName[0] == '\0' ? messageIn(error, "C") : std::string(std::strerror(error));
    }
    const std::string codeset = ::nl_langinfo_l(CODESET, locale);
    const bool usable = localeName[0] != '\0' || codeset == "UTF-8";
    std::string text = usable ? ::strerror_l(error, locale) : std::string();
    ::freelocale(locale);
    return usable ? text : messageIn(error, "C");
}

} // namespace

std::string SystemErrorText(int error)
{
    return messageIn(error, "C");
}

std::string LocalSystemErrorText(int error)
{
    return messageIn(error, "");
}

EInOutError::EInOutError(const std::string& fileName, int systemError, const std::string& what)
    : EVorlandError(describe(fileName, systemError, what)), m_fileName(fileName), m_systemError(systemError)
{
}

ENumberedError::ENumberedError(int number, std::vector<std::string> arguments)
    : EVorlandError(FillTextFrom(TvkStringList::DefaultText(number), arguments)), m_number(number),
      m_arguments(std::move(arguments))
{
}
