#include "controls/StyledMenu.h"

#include "controls/StyledMenuStyle.h"

#include <QActionEvent>
#include <QApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

int clampChannel(int v)
{
    return std::clamp(v, 0, 255);
}

} // namespace

TStyledMenu::TStyledMenu(QWidget* parent) : QMenu(parent)
{
    init();
}

TStyledMenu::TStyledMenu(const QString& title, QWidget* parent) : QMenu(title, parent)
{
    init();
}

void TStyledMenu::init()
{
    m_style = std::make_unique<TStyledMenuStyle>(this);
    hook();
}

TStyledMenu::~TStyledMenu()
{
    unhook();
}

QColor TStyledMenu::Lighten(const QColor& colour, int percent)
{
    const int p = std::min(percent, 100);
    auto light = [p](int c) { return clampChannel(static_cast<int>(std::lround(c + (255 - c) * p / 100.0))); };
    return QColor(light(colour.red()), light(colour.green()), light(colour.blue()));
}

QColor TStyledMenu::Darken(const QColor& colour, int amount)
{
    return QColor(clampChannel(colour.red() - amount), clampChannel(colour.green() - amount + 2),
                  clampChannel(colour.blue() - amount));
}

QColor TStyledMenu::Gray(const QColor& colour, int amount)
{
    const int mean = (colour.red() + colour.green() + colour.blue()) / 3;
    const int v = std::clamp(mean + amount, 0, 240);
    return QColor(v, v, v);
}

TStyledMenu::TMenuColors TStyledMenu::EffectiveColors() const
{
    const QPalette& pal = palette();
    const QColor btnFace = pal.color(QPalette::Active, QPalette::Button);
    const QColor highlight = pal.color(QPalette::Active, QPalette::Highlight);
    const QColor btnShadow = pal.color(QPalette::Active, QPalette::Dark);
    const QColor menuText = pal.color(QPalette::Active, QPalette::Text);
    auto orDefault = [](const QColor& c, const QColor& fallback) { return c.isValid() ? c : fallback; };

    TMenuColors c;
    const QScreen* scr = screen();
    c.HighColour = scr == nullptr || scr->depth() > 15;
    c.Font = orDefault(m_fontColor, menuText);
    if (m_useSystemColors) {
        c.Font = menuText;
        c.TextArea = c.HighColour ? Lighten(btnFace, 86) : QColor(Qt::white);
        c.IconColumn = c.HighColour ? Lighten(btnFace, 16) : btnFace;
        c.Select = c.HighColour ? Lighten(highlight, 68) : QColor(Qt::white);
        c.SelectBorder = highlight;
        c.SelectFont = orDefault(m_selectFontColor, c.Font);
        c.MenuBar = btnFace;
        c.Disabled = c.HighColour ? Lighten(btnShadow, 10) : btnShadow;
        c.Checked = highlight;
        c.Separator = c.HighColour ? Lighten(btnShadow, 25) : btnShadow;
        c.LightShade1 = c.HighColour ? Lighten(highlight, 75) : QColor(Qt::white);
        c.LightShade2 = c.HighColour ? Lighten(highlight, 50) : QColor(Qt::white);
    } else {
        const QColor select = orDefault(m_selectColor, highlight);
        c.TextArea = orDefault(m_color, btnFace);
        c.IconColumn = orDefault(m_iconBackColor, btnFace);
        c.Select = select;
        c.SelectBorder = orDefault(m_selectBorderColor, highlight);
        c.SelectFont = orDefault(m_selectFontColor, c.Font);
        c.MenuBar = orDefault(m_menuBarColor, btnFace);
        c.Disabled = orDefault(m_disabledColor, pal.color(QPalette::Disabled, QPalette::Text));
        c.Checked = orDefault(m_checkedColor, highlight);
        c.Separator = orDefault(m_separatorColor, btnFace);
        c.LightShade1 = c.HighColour ? Lighten(select, 75) : QColor(Qt::white);
        c.LightShade2 = c.HighColour ? Lighten(select, 50) : QColor(Qt::lightGray);
    }
    if (c.HighColour) {
        c.DarkFrame1 = Darken(btnFace, 90);
        c.DarkFrame2 = Darken(btnFace, 76);
    } else {
        c.DarkFrame1 = btnShadow;
        c.DarkFrame2 = btnShadow;
    }
    return c;
}

// ---- hooking ---------------------------------------------------------------------------------------

void TStyledMenu::hook()
{
    hookMenu(this);
    refresh();
}

void TStyledMenu::unhook()
{
    for (const QPointer<QMenu>& hooked : std::as_const(m_hooked)) {
        QMenu* menu = hooked.data();
        if (menu == nullptr)
            continue;
        if (menu != this)
            menu->removeEventFilter(this);
        if (menu->style() == m_style.get())
            menu->setStyle(nullptr);
    }
    m_hooked.clear();
}

void TStyledMenu::hookMenu(QMenu* menu)
{
    if (menu == nullptr)
        return;
    const bool known =
        std::any_of(m_hooked.cbegin(), m_hooked.cend(), [menu](const QPointer<QMenu>& m) { return m == menu; });
    if (!known) {
        // A submenu that brings its own look (another styled menu, a style set on purpose) keeps it
        // unless OverrideOwnerDraw says otherwise.
        if (menu != this && menu->testAttribute(Qt::WA_SetStyle) && !m_overrideOwnerDraw)
            return;
        m_hooked.append(menu);
        if (menu != this)
            menu->installEventFilter(this);
    }
    if (menu->style() != m_style.get())
        menu->setStyle(m_style.get());
    hookSubmenusOf(menu);
}

void TStyledMenu::hookSubmenusOf(QMenu* menu)
{
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        if (QMenu* sub = QMenu::menuInAction(action); sub != nullptr && sub != menu)
            hookMenu(sub);
    }
}

void TStyledMenu::refresh()
{
    for (const QPointer<QMenu>& hooked : std::as_const(m_hooked)) {
        QMenu* menu = hooked.data();
        if (menu == nullptr)
            continue;
        menu->updateGeometry();
        if (menu->isVisible())
            menu->adjustSize();
        menu->update();
    }
    updateGeometry();
    update();
}

void TStyledMenu::SetActive(bool value)
{
    unhook();
    m_active = value;
    if (m_active)
        hookMenu(this);
    refresh();
}

void TStyledMenu::SetOverrideOwnerDraw(bool value)
{
    m_overrideOwnerDraw = value;
    if (m_active)
        hook();
}

bool TStyledMenu::event(QEvent* e)
{
    if ((e->type() == QEvent::ActionAdded || e->type() == QEvent::ActionChanged) && m_active && m_autoDetect)
        hookSubmenusOf(this);
    else if (e->type() == QEvent::Show && m_active)
        hookSubmenusOf(this);
    return QMenu::event(e);
}

bool TStyledMenu::eventFilter(QObject* watched, QEvent* e)
{
    if ((e->type() == QEvent::ActionAdded || e->type() == QEvent::ActionChanged) && m_active && m_autoDetect) {
        if (auto* menu = qobject_cast<QMenu*>(watched))
            hookSubmenusOf(menu);
    }
    return QMenu::eventFilter(watched, e);
}

void TStyledMenu::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange && !m_barFontSet)
        m_barFont = QFont();
    QMenu::changeEvent(e);
}

QMenu* TStyledMenu::addMenu(const QString& title)
{
    auto* menu = new QMenu(title, this);
    QMenu::addMenu(menu);
    if (m_active)
        hookMenu(menu);
    return menu;
}

QMenu* TStyledMenu::addMenu(const QIcon& icon, const QString& title)
{
    auto* menu = new QMenu(title, this);
    menu->setIcon(icon);
    QMenu::addMenu(menu);
    if (m_active)
        hookMenu(menu);
    return menu;
}

QAction* TStyledMenu::addMenu(QMenu* menu)
{
    QAction* action = QMenu::addMenu(menu);
    if (m_active)
        hookMenu(menu);
    return action;
}

// ---- properties ------------------------------------------------------------------------------------

#define VK_COLOR_SETTER(Name, member)                                                                                  \
    void TStyledMenu::Set##Name(const QColor& value)                                                                   \
    {                                                                                                                  \
        member = value;                                                                                                \
        refresh();                                                                                                     \
    }
VK_COLOR_SETTER(FontColor, m_fontColor)
VK_COLOR_SETTER(Color, m_color)
VK_COLOR_SETTER(IconBackColor, m_iconBackColor)
VK_COLOR_SETTER(MenuBarColor, m_menuBarColor)
VK_COLOR_SETTER(SelectColor, m_selectColor)
VK_COLOR_SETTER(SelectBorderColor, m_selectBorderColor)
VK_COLOR_SETTER(SelectFontColor, m_selectFontColor)
VK_COLOR_SETTER(DisabledColor, m_disabledColor)
VK_COLOR_SETTER(SeparatorColor, m_separatorColor)
VK_COLOR_SETTER(CheckedColor, m_checkedColor)
VK_COLOR_SETTER(BarFontColor, m_barFontColor)
#undef VK_COLOR_SETTER

void TStyledMenu::SetIconWidth(int value)
{
    m_iconWidth = std::max(0, value);
    refresh();
}

void TStyledMenu::SetDrawSelect(bool value)
{
    m_drawSelect = value;
    refresh();
}

void TStyledMenu::SetUseSystemColors(bool value)
{
    m_useSystemColors = value;
    refresh();
}

void TStyledMenu::SetGradient(bool value)
{
    m_gradient = value;
    refresh();
}

void TStyledMenu::SetFlatMenu(bool value)
{
    m_flatMenu = value;
    refresh();
}

void TStyledMenu::SetBarCaption(const QString& value)
{
    m_barCaption = value;
    refresh();
}

void TStyledMenu::SetBarWidth(int value)
{
    m_barWidth = value;
    refresh();
}

void TStyledMenu::SetBarFont(const QFont& value)
{
    m_barFont = value;
    m_barFontSet = true;
    refresh();
}

void TStyledMenu::SetBarPicture(const QPixmap& value)
{
    m_barPicture = value;
    refresh();
}

void TStyledMenu::SetBarTransparent(bool value)
{
    m_barTransparent = value;
    refresh();
}

// ---- painting --------------------------------------------------------------------------------------

void TStyledMenu::paintEvent(QPaintEvent* e)
{
    QMenu::paintEvent(e);
    if (!HasSideBar())
        return;
    QPainter p(this);
    paintSideBar(p);
}

void TStyledMenu::paintSideBar(QPainter& p)
{
    const TMenuColors colours = EffectiveColors();
    const int frame = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    const QRect bar(frame, frame, EffectiveBarWidth(), height() - 2 * frame);
    p.fillRect(bar, m_style->SideBarBackground(colours));

    int bottom = bar.bottom() + 1;
    if (!m_barPicture.isNull()) {
        QPixmap picture = m_barPicture;
        if (m_barTransparent && !picture.hasAlphaChannel()) {
            const QImage image = picture.toImage();
            const QColor key = image.pixelColor(0, image.height() - 1);
            picture.setMask(picture.createMaskFromColor(key, Qt::MaskInColor));
        }
        const QSizeF size = picture.deviceIndependentSize();
        const int w = static_cast<int>(std::lround(size.width()));
        const int h = static_cast<int>(std::lround(size.height()));
        const int y = bar.bottom() + 1 - 2 - h;
        p.drawPixmap(QRect(bar.left() + (bar.width() - w) / 2, y, w, h), picture);
        bottom = y;
    }
    bottom -= 5;

    const QFont barFont = m_barFontSet ? m_barFont : [this] {
        QFont f = font();
        f.setBold(true);
        return f;
    }();
    const QFontMetrics fm(barFont);
    p.save();
    p.setFont(barFont);
    p.setPen(m_barFontColor.isValid() ? m_barFontColor : colours.Font);
    p.setClipRect(bar);
    // Turned by 90 degrees so that it reads upward; the text cell is centred across the bar.
    p.translate(bar.left() + (bar.width() - fm.height()) / 2 + fm.ascent(), bottom);
    p.rotate(-90);
    p.drawText(0, 0, m_barCaption);
    p.restore();
}
