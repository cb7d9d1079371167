#include "framework/DialogRunner.h"

#include <QDialog>

namespace {

TModalAnswerer& Answerer()
{
    static TModalAnswerer answerer;
    return answerer;
}

} // namespace

int RunModalDialog(QDialog& dialog)
{
    if (Answerer())
        return Answerer()(dialog);
    return dialog.exec();
}

void SetModalAnswerer(TModalAnswerer answerer)
{
    Answerer() = std::move(answerer);
}
