#include "framework/TvkForm.h"

#include "framework/FormTexts.h"

TvkForm::TvkForm(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags | Qt::Window)
{
    RegisterForm(this);
}
