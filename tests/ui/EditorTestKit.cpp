#include "ui/EditorTestKit.h"

namespace uitest {

TQueuedPickers::TQueuedPickers()
{
    SetFilePicker(this);
}

TQueuedPickers::~TQueuedPickers()
{
    SetFilePicker(nullptr);
}

bool TQueuedPickers::BrowseForFolder(QWidget*, const QString& start, QString& picked)
{
    browseStarts.append(start);
    if (folders.empty())
        return false;
    picked = folders.front();
    folders.pop_front();
    return true;
}

bool TQueuedPickers::OpenFile(QWidget*, const TFileDialogSpec& spec, QString& picked)
{
    fileSpecs.push_back(spec);
    if (files.empty())
        return false;
    picked = files.front();
    files.pop_front();
    return true;
}

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
