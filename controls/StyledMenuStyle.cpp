#include "controls/StyledMenuStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionMenuItem>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// Height of a separator item, and where its line starts, counted from the start of the text area.
constexpr int kSeparatorHeight = 4;
constexpr int kSeparatorIndent = 7;
// Space added to an item's width beside the icon column and the text, and the gap the measure adds
// between a caption and its shortcut.
constexpr int kItemExtraWidth = 10;
const char* const kShortcutGap = "WWW";
// The text starts this far into the text area; the shortcut ends this far from the right edge.
constexpr int kTextIndent = 5;
constexpr int kShortcutRightGap = 10;
// Images sit this far below the item's top.
constexpr int kImageTop = 4;
// Side of the check box drawn for items without image.
constexpr int kCheckBoxSize = 10;

QString captionOf(const QString& text)
{
    const qsizetype tab = text.indexOf(u'\t');
    return tab < 0 ? text : text.left(tab);
}

QString shortcutOf(const QString& text)
{
    const qsizetype tab = text.indexOf(u'\t');
    return tab < 0 ? QString() : text.mid(tab + 1);
}

// The caption as shown: "&&" becomes "&", a single "&" marks the next letter and is not shown.
QString withoutMnemonic(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
        }
        out += text[i];
    }
    return out;
}

// Fills a one-pixel frame with rectangles, so it stays crisp at any device pixel ratio.
void frameRect(QPainter& p, const QRect& r, const QColor& colour)
{
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
}

QImage mapPixels(const QImage& source, const std::function<QRgb(QRgb)>& fn)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = fn(line[x]);
    }
    return image;
}

} // namespace

TStyledMenuStyle::TStyledMenuStyle(TStyledMenu* owner) : m_owner(owner) {}

bool TStyledMenuStyle::inBarRegion(const QWidget* widget) const
{
    return widget == m_owner && m_owner->HasSideBar();
}

QColor TStyledMenuStyle::SideBarBackground(const TStyledMenu::TMenuColors& colours) const
{
    return TStyledMenu::Darken(colours.IconColumn, 24);
}

int TStyledMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_MenuPanelWidth:
        return 1;
    case PM_MenuHMargin:
    case PM_MenuVMargin:
    case PM_MenuDesktopFrameWidth:
        return 0;
    case PM_SmallIconSize:
        return kImageSize;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int TStyledMenuStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                QStyleHintReturn* returnData) const
{
    switch (hint) {
    case SH_Menu_SupportsSections:
        return 0;
    case SH_Menu_Mask:
        return 0;
    default:
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

QSize TStyledMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                         const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (type != CT_MenuItem || item == nullptr)
        return QProxyStyle::sizeFromContents(type, option, size, widget);

    const bool bar = inBarRegion(widget);
    const bool hasImage = !item->icon.isNull();
    const int imageSize = hasImage ? kImageSize : 0;
    const int iconColumn = std::max(imageSize, m_owner->IconWidth()) + (bar ? m_owner->EffectiveBarWidth() : 0);

    if (item->menuItemType == QStyleOptionMenuItem::Separator)
        return QSize(iconColumn + kItemExtraWidth, kSeparatorHeight);

    const QFontMetrics fm(item->font);
    int textWidth = fm.horizontalAdvance(QLatin1Char(' ') + withoutMnemonic(captionOf(item->text)));
    // The menu adds the widest shortcut by itself; the measure only keeps the gap in front of it.
    if (!shortcutOf(item->text).isEmpty())
        textWidth += fm.horizontalAdvance(QString::fromLatin1(kShortcutGap));
    const int textHeight = fm.height();
    const int height = std::max(textHeight + static_cast<int>(std::lround(0.75 * textHeight)), imageSize + 4);
    return QSize(textWidth + iconColumn + kItemExtraWidth, height);
}

void TStyledMenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                     const QWidget* widget) const
{
    switch (element) {
    case PE_PanelMenu:
        painter->fillRect(option->rect, m_owner->EffectiveColors().TextArea);
        return;
    case PE_FrameMenu: {
        const TStyledMenu::TMenuColors c = m_owner->EffectiveColors();
        const QRect r = option->rect;
        if (m_owner->FlatMenu()) {
            frameRect(*painter, r, c.DarkFrame1);
        } else {
            const QPalette& pal = option->palette;
            painter->fillRect(QRect(r.left(), r.top(), r.width(), 1), pal.color(QPalette::Light));
            painter->fillRect(QRect(r.left(), r.top(), 1, r.height()), pal.color(QPalette::Light));
            painter->fillRect(QRect(r.left(), r.bottom(), r.width(), 1), pal.color(QPalette::Shadow));
            painter->fillRect(QRect(r.right(), r.top(), 1, r.height()), pal.color(QPalette::Shadow));
        }
        return;
    }
    default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void TStyledMenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const
{
    if (element == CE_MenuItem) {
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            painter->save();
            drawMenuItem(*item, *painter, widget);
            painter->restore();
            return;
        }
    }
    if (element == CE_MenuEmptyArea) {
        painter->fillRect(option->rect, m_owner->EffectiveColors().TextArea);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void TStyledMenuStyle::drawItemText(const QStyleOptionMenuItem& item, QPainter& p, int textLeft,
                                    const QColor& textColour, const TStyledMenu::TMenuColors& c) const
{
    const QRect r = item.rect;
    const bool enabled = item.state & State_Enabled;
    const bool selected = item.state & State_Selected;
    p.setFont(item.font);
    const QRect textRect(textLeft + kTextIndent, r.top(), std::max(0, r.right() + 1 - textLeft - kTextIndent),
                         r.height());
    const QString caption = QLatin1Char(' ') + captionOf(item.text);
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    if (item.menuItemType == QStyleOptionMenuItem::DefaultItem && enabled) {
        // A soft shadow under the default item: four passes, one pixel apart, each a little darker.
        static constexpr int kShadowDarken[4] = {30, 30, 40, 60};
        static constexpr QPoint kShadowOffset[4] = {QPoint(2, 2), QPoint(2, 1), QPoint(1, 2), QPoint(1, 1)};
        const QColor background = selected && m_owner->DrawSelect() ? c.Select : c.TextArea;
        for (int i = 0; i < 4; ++i) {
            p.setPen(TStyledMenu::Darken(background, kShadowDarken[i]));
            p.drawText(textRect.translated(kShadowOffset[i]), flags, caption);
        }
    }
    p.setPen(textColour);
    p.drawText(textRect, flags, caption);

    const QString shortcut = shortcutOf(item.text);
    if (!shortcut.isEmpty()) {
        p.setPen(c.HighColour ? TStyledMenu::Lighten(textColour, 40) : textColour);
        const QRect shortcutRect(textRect.left(), r.top(),
                                 std::max(0, r.right() + 1 - kShortcutRightGap - textRect.left()), r.height());
        p.drawText(shortcutRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shortcut + QLatin1Char(' '));
    }
}

void TStyledMenuStyle::drawMenuItem(const QStyleOptionMenuItem& item, QPainter& p, const QWidget* widget) const
{
    const TStyledMenu::TMenuColors c = m_owner->EffectiveColors();
    const QRect r = item.rect;
    const bool bar = inBarRegion(widget);
    const int barWidth = bar ? m_owner->EffectiveBarWidth() : 0;
    const bool hasImage = !item.icon.isNull();
    const bool enabled = item.state & State_Enabled;
    const bool selected = item.state & State_Selected;
    const int iconWidth = std::max(hasImage ? kImageSize : 0, m_owner->IconWidth());
    const QRect iconColumn(r.left() + barWidth, r.top(), iconWidth, r.height());
    const int textLeft = iconColumn.right() + 1;
    const QRect textArea(textLeft, r.top(), std::max(0, r.right() + 1 - textLeft), r.height());

    // Background.
    if (m_owner->Gradient() && c.HighColour) {
        int amount = 0;
        for (int x = r.left(); x <= r.right(); ++x) {
            p.fillRect(QRect(x, r.top(), 1, r.height()), TStyledMenu::Lighten(c.IconColumn, std::min(amount, 96)));
            amount += (x - iconColumn.left() < iconWidth + 5) ? 3 : 1;
        }
    } else {
        p.fillRect(QRect(r.left(), r.top(), textLeft - r.left(), r.height()), c.IconColumn);
        p.fillRect(textArea, c.TextArea);
    }

    // Selection.
    if (selected && enabled && m_owner->DrawSelect() && item.menuItemType != QStyleOptionMenuItem::Separator) {
        QRect sel(r.left() + barWidth, r.top() + 1, r.width() - barWidth, r.height() - 2);
        if (m_owner->FlatMenu())
            sel.setRight(sel.right() - 1);
        p.fillRect(sel, c.Select);
        frameRect(p, sel, c.SelectBorder);
    }

    if (item.menuItemType == QStyleOptionMenuItem::Separator) {
        const int y = r.top() + r.height() / 2;
        p.fillRect(QRect(textLeft + kSeparatorIndent, y, std::max(0, r.right() + 1 - textLeft - kSeparatorIndent), 1),
                   c.Separator);
        return;
    }

    const QRect imageRect(iconColumn.left() + (iconColumn.width() - kImageSize) / 2, r.top() + kImageTop, kImageSize,
                          kImageSize);
    if (item.checkType != QStyleOptionMenuItem::NotCheckable && item.checked)
        drawCheckMark(item, p, iconColumn, hasImage, imageRect, c);
    if (hasImage)
        drawImage(item, p, imageRect, c);

    const QColor textColour = !enabled ? c.Disabled : (selected ? c.SelectFont : c.Font);
    drawItemText(item, p, textLeft, textColour, c);

    if (item.menuItemType == QStyleOptionMenuItem::SubMenu) {
        // A small triangle pointing to the submenu, in the last pixels of the item.
        const int cx = r.right() - 6;
        const int cy = r.top() + r.height() / 2;
        QPainterPath arrow;
        arrow.moveTo(cx - 2, cy - 4);
        arrow.lineTo(cx + 2, cy);
        arrow.lineTo(cx - 2, cy + 4);
        arrow.closeSubpath();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.fillPath(arrow, textColour);
    }
}

void TStyledMenuStyle::drawCheckMark(const QStyleOptionMenuItem& item, QPainter& p, const QRect& iconColumn,
                                     bool hasImage, const QRect& imageRect, const TStyledMenu::TMenuColors& c) const
{
    const bool selected = item.state & State_Selected;
    const QColor fill = selected ? c.LightShade2 : c.LightShade1;
    const QRect box =
        hasImage ? imageRect.adjusted(-2, -2, 2, 2)
                 : QRect(iconColumn.left() + (iconColumn.width() - kCheckBoxSize) / 2,
                         iconColumn.top() + (iconColumn.height() - kCheckBoxSize) / 2, kCheckBoxSize, kCheckBoxSize);
    p.save();
    if (item.checkType == QStyleOptionMenuItem::Exclusive) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(c.SelectBorder);
        p.setBrush(fill);
        const QRectF f = QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5);
        if (hasImage)
            p.drawRoundedRect(f, 3, 3);
        else
            p.drawEllipse(f);
    } else {
        p.fillRect(box, fill);
        frameRect(p, box, c.Checked);
        if (!hasImage) {
            // The tick: three pixels thick, from the left middle down and up to the top right.
            QPen pen(Qt::black);
            pen.setWidthF(1.0);
            pen.setCapStyle(Qt::SquareCap);
            p.setPen(pen);
            const int x = box.left();
            const int y = box.top();
            for (int dy = 0; dy < 3; ++dy) {
                p.drawLine(QPointF(x + 2.5, y + 3.5 + dy), QPointF(x + 4.5, y + 5.5 + dy));
                p.drawLine(QPointF(x + 4.5, y + 5.5 + dy), QPointF(x + 7.5, y + 2.5 + dy));
            }
        }
    }
    p.restore();
}

void TStyledMenuStyle::drawImage(const QStyleOptionMenuItem& item, QPainter& p, const QRect& imageRect,
                                 const TStyledMenu::TMenuColors& c) const
{
    const bool enabled = item.state & State_Enabled;
    const bool selected = item.state & State_Selected;
    const bool checked = item.checkType != QStyleOptionMenuItem::NotCheckable && item.checked;
    const qreal dpr = p.device() != nullptr ? p.device()->devicePixelRatioF() : 1.0;
    const QPixmap source = item.icon.pixmap(QSize(kImageSize, kImageSize), dpr, QIcon::Normal, QIcon::Off);
    QImage image = source.toImage();
    if (image.isNull())
        return;

    if (!enabled) {
        image = mapPixels(image, [](QRgb px) {
            const QColor g = TStyledMenu::Gray(QColor(px), 90);
            return qRgba(g.red(), g.green(), g.blue(), qAlpha(px));
        });
    } else if (!selected && !checked) {
        if (c.HighColour) {
            image = mapPixels(image, [](QRgb px) {
                const QColor l = TStyledMenu::Lighten(QColor(px), 30);
                return qRgba(l.red(), l.green(), l.blue(), qAlpha(px));
            });
        }
    } else if (selected && !checked) {
        // Lifted over its shadow: every pixel that differs from the bottom-left one, two pixels
        // right and down, in a darkened selection colour; the image itself one pixel up and left.
        const QRgb key = image.pixel(0, image.height() - 1);
        const QColor shade = TStyledMenu::Darken(c.Select, 50);
        QImage shadow = mapPixels(image, [key, shade](QRgb px) {
            if (px == key || qAlpha(px) == 0)
                return qRgba(0, 0, 0, 0);
            return qRgba(shade.red(), shade.green(), shade.blue(), 255);
        });
        shadow.setDevicePixelRatio(image.devicePixelRatio());
        p.drawImage(imageRect.translated(2, 2), shadow);
        image.setDevicePixelRatio(source.devicePixelRatio());
        p.drawImage(imageRect.translated(-1, -1), image);
        return;
    }
    image.setDevicePixelRatio(source.devicePixelRatio());
    p.drawImage(imageRect, image);
}
