#pragma once
// The error classes of the core. Errors are raised, not returned; each carries a text that names
// the file and the cause.

#include <stdexcept>
#include <string>
#include <vector>

// Base of every error the core raises on purpose.
class EVorlandError : public std::runtime_error
{
public:
    explicit EVorlandError(const std::string& text) : std::runtime_error(text) {}
};

// An error whose text is a numbered string (core/AppStrings.h): what() is its English text; the number
// and the arguments let a window or a notification say it in the user's language.
class ENumberedError : public EVorlandError
{
public:
    ENumberedError(int number, std::vector<std::string> arguments);
    int Number() const { return m_number; }
    const std::vector<std::string>& Arguments() const { return m_arguments; }

private:
    int m_number;
    std::vector<std::string> m_arguments;
};

// A file could not be created, read or written. `SystemError` is the errno value (0 when none).
class EInOutError : public EVorlandError
{
public:
    EInOutError(const std::string& fileName, int systemError, const std::string& what);
    const std::string& FileName() const { return m_fileName; }
    int SystemError() const { return m_systemError; }

private:
    std::string m_fileName;
    int m_systemError;
};

// The silent stop: unwinds a run that the user asked to stop. Never shown; the top level discards it.
class ESilentStop : public std::exception
{
public:
    const char* what() const noexcept override { return "stopped"; }
};

// The C library's text of the errno value `error`, in English whatever the process's locale (the
// window library sets the locale from the environment), for output that scripts read.
std::string SystemErrorText(int error);
// The same text in the language of the environment's messages locale (LC_ALL, LC_MESSAGES, LANG),
// for lines shown in the user's language; English when that locale is not installed or does not
// use UTF-8.
std::string LocalSystemErrorText(int error);
