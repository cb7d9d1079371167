#pragma once
// The base of the program's windows that take part in translation with an event of their own: after
// the language layer has translated the form's components it raises OnTranslate, so the form can
// refresh the texts it builds in code.

#include <QWidget>

#include <functional>

class TvkForm : public QWidget
{
    Q_OBJECT
public:
    // Registers the form with the language layer (FormTexts.h).
    explicit TvkForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    // Raised (with the form) after TranslateForm translated the form's components.
    std::function<void(TvkForm*)> OnTranslate;
};
