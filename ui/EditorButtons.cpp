#include "ui/EditorButtons.h"

#include "controls/vk_Button.h"

#include <QWidget>

namespace {

constexpr int kGlyphSize = 16;

} // namespace

TvkButton* MakeGlyphButton(QWidget* parent, const char* name, QStyle::StandardPixmap glyph, const char* hint, int size)
{
    auto* button = new TvkButton(parent);
    button->setObjectName(QLatin1String(name));
    button->SetGlyph(parent->style()->standardIcon(glyph).pixmap(kGlyphSize, kGlyphSize));
    button->SetGlyphLayout(TvkButton::lyCenter);
    button->SetBorderMode(TvkButton::bmFlat);
    button->SetHint(QString::fromLatin1(hint));
    button->setFixedSize(size, size);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}
