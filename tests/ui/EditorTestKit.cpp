#include "ui/EditorTestKit.h"

namespace uitest {

TDialogAnswers::TDialogAnswers()
{
    SetModalAnswerer([this](QDialog& dialog) {
        ++m_asked;
        if (m_queue.empty())
            return static_cast<int>(QDialog::Rejected);
        auto answer = std::move(m_queue.front());
        m_queue.pop_front();
        return answer(dialog);
    });
}

TDialogAnswers::~TDialogAnswers()
{
    SetModalAnswerer({});
}

} // namespace uitest
