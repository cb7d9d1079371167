#include "core/Questions.h"

namespace {

IPrompter* g_prompter = nullptr;

} // namespace

void SetAppPrompter(IPrompter* prompter)
{
    g_prompter = prompter;
}

IPrompter* AppPrompter()
{
    return g_prompter;
}

bool Confirm(const std::string& text)
{
    return g_prompter != nullptr && g_prompter->Confirm(text);
}

YesNoCancel ConfirmYesNoCancel(const std::string& text)
{
    return g_prompter != nullptr ? g_prompter->ConfirmYesNoCancel(text) : YesNoCancel::Cancel;
}
