#pragma once
// The style a TStyledMenu sets on itself and on its submenus: it measures and paints the menu items
// (the menu's own layout code asks it for every item's size and paints through it), the menu's
// background and frame. Belongs to its menu; internal to the controls.

#include "controls/StyledMenu.h"

#include <QProxyStyle>

class TStyledMenuStyle : public QProxyStyle
{
    Q_OBJECT
public:
    explicit TStyledMenuStyle(TStyledMenu* owner);

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

    // Background of the side bar.
    QColor SideBarBackground(const TStyledMenu::TMenuColors& colours) const;

    // Pixel size of item images.
    static constexpr int kImageSize = 16;

private:
    bool inBarRegion(const QWidget* widget) const;
    void drawMenuItem(const QStyleOptionMenuItem& item, QPainter& p, const QWidget* widget) const;
    // The caption (with the default item's shadow) and the shortcut, vertically centred on the
    // height of "W".
    void drawItemText(const QStyleOptionMenuItem& item, QPainter& p, int textLeft, const QColor& textColour,
                      const TStyledMenu::TMenuColors& c) const;
    void drawCheckMark(const QStyleOptionMenuItem& item, QPainter& p, const QRect& iconColumn, bool hasImage,
                       const QRect& imageRect, const TStyledMenu::TMenuColors& c) const;
    void drawImage(const QStyleOptionMenuItem& item, QPainter& p, const QRect& imageRect,
                   const TStyledMenu::TMenuColors& c) const;

    TStyledMenu* m_owner;
};
