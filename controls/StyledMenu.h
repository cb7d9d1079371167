#pragma once
// Popup menus with the program's own flat look: a light text area, a shaded icon column, a filled
// and framed selection, check and radio marks drawn in the icon column, 4-pixel separators, and an
// optional side bar with a vertical caption and a picture along the left edge of the menu.
//
// TStyledMenu is a QMenu that lays out and paints its items itself (through a style of its own that
// it sets on itself and on every submenu it holds). Submenus, and items or submenus added at run
// time, are drawn the same way while AutoDetect is set. Keyboard use is that of any QMenu (arrows,
// Enter, Esc, accelerators from "&"), and screen readers see the items as menu items with their
// captions and check states. GUI thread only.

#include <QColor>
#include <QFont>
#include <QList>
#include <QMenu>
#include <QPixmap>
#include <QPointer>

#include <memory>

class TStyledMenuStyle;
class QStyleOptionMenuItem;

class TStyledMenu : public QMenu
{
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(bool AutoDetect READ AutoDetect WRITE SetAutoDetect)
    Q_PROPERTY(QString BarCaption READ BarCaption WRITE SetBarCaption)
    Q_PROPERTY(int BarWidth READ BarWidth WRITE SetBarWidth)
    Q_PROPERTY(int IconWidth READ IconWidth WRITE SetIconWidth)
    Q_PROPERTY(bool UseSystemColors READ UseSystemColors WRITE SetUseSystemColors)

public:
    // The colours of one drawing, computed from the properties and the palette (see
    // EffectiveColors).
    struct TMenuColors
    {
        QColor TextArea, IconColumn, Select, SelectBorder, SelectFont, MenuBar, Disabled, Checked, Separator,
            LightShade1, LightShade2, DarkFrame1, DarkFrame2, Font;
        bool HighColour = true;
    };

    explicit TStyledMenu(QWidget* parent = nullptr);
    explicit TStyledMenu(const QString& title, QWidget* parent = nullptr);
    // Unhooks every submenu it styled (they get the application's style back).
    ~TStyledMenu() override;

    // Hooks (true) or unhooks (false) this menu and its submenus; unhooked menus look like any QMenu.
    bool Active() const { return m_active; }
    void SetActive(bool value);
    // Styles submenus that are added after the menu was hooked (the language items, for instance).
    bool AutoDetect() const { return m_autoDetect; }
    void SetAutoDetect(bool value) { m_autoDetect = value; }
    // Also restyles submenus that already carry a style of their own.
    bool OverrideOwnerDraw() const { return m_overrideOwnerDraw; }
    void SetOverrideOwnerDraw(bool value);

    // Font of the item texts: the menu's own font (QWidget::font), here under its own name.
    QFont Font() const { return font(); }
    void SetFont(const QFont& value) { setFont(value); }
    // Colour of the item texts; invalid (the default) means the palette's text colour.
    QColor FontColor() const { return m_fontColor; }
    void SetFontColor(const QColor& value);

    // Colours used when UseSystemColors is false.
    QColor Color() const { return m_color; }
    void SetColor(const QColor& value);
    QColor IconBackColor() const { return m_iconBackColor; }
    void SetIconBackColor(const QColor& value);
    QColor MenuBarColor() const { return m_menuBarColor; }
    void SetMenuBarColor(const QColor& value);
    QColor SelectColor() const { return m_selectColor; }
    void SetSelectColor(const QColor& value);
    QColor SelectBorderColor() const { return m_selectBorderColor; }
    void SetSelectBorderColor(const QColor& value);
    // Invalid means the font colour.
    QColor SelectFontColor() const { return m_selectFontColor; }
    void SetSelectFontColor(const QColor& value);
    QColor DisabledColor() const { return m_disabledColor; }
    void SetDisabledColor(const QColor& value);
    QColor SeparatorColor() const { return m_separatorColor; }
    void SetSeparatorColor(const QColor& value);
    QColor CheckedColor() const { return m_checkedColor; }
    void SetCheckedColor(const QColor& value);

    // Width of the icon column in pixels [24].
    int IconWidth() const { return m_iconWidth; }
    void SetIconWidth(int value);
    // Draws the selection of the highlighted item [true].
    bool DrawSelect() const { return m_drawSelect; }
    void SetDrawSelect(bool value);
    // Derives every colour from the palette [true].
    bool UseSystemColors() const { return m_useSystemColors; }
    void SetUseSystemColors(bool value);
    // Fills items with a horizontal gradient from the icon column [false].
    bool Gradient() const { return m_gradient; }
    void SetGradient(bool value);
    // Draws a flat one-pixel frame around the menu instead of a raised one [false].
    bool FlatMenu() const { return m_flatMenu; }
    void SetFlatMenu(bool value);

    // Caption of the side bar; empty means no side bar (and no widening of the items).
    QString BarCaption() const { return m_barCaption; }
    void SetBarCaption(const QString& value);
    // Width of the side bar; 0 or less means IconWidth [24].
    int BarWidth() const { return m_barWidth; }
    void SetBarWidth(int value);
    // The width the side bar really takes: BarWidth when above 0, else IconWidth.
    int EffectiveBarWidth() const { return m_barWidth > 0 ? m_barWidth : m_iconWidth; }
    // Font of the side bar caption [the menu font, bold]; its colour is BarFontColor (invalid: the
    // font colour).
    QFont BarFont() const { return m_barFont; }
    void SetBarFont(const QFont& value);
    QColor BarFontColor() const { return m_barFontColor; }
    void SetBarFontColor(const QColor& value);
    // Picture at the bottom of the side bar; none by default.
    QPixmap BarPicture() const { return m_barPicture; }
    void SetBarPicture(const QPixmap& value);
    // The picture's bottom-left pixel colour is transparent (for pictures without alpha channel).
    bool BarTransparent() const { return m_barTransparent; }
    void SetBarTransparent(bool value);

    // True while this menu shows a side bar (BarCaption not empty and the menu hooked).
    bool HasSideBar() const { return m_active && !m_barCaption.isEmpty(); }

    // Adds a submenu that is drawn in this menu's style (QMenu::addMenu(QString) would make a plain
    // one). The submenu belongs to this menu.
    QMenu* addMenu(const QString& title);
    QMenu* addMenu(const QIcon& icon, const QString& title);
    QAction* addMenu(QMenu* menu);

    // The effective colours for the next drawing.
    TMenuColors EffectiveColors() const;

    // Colour operations of the menu look (channel results clamped to 0..255).
    static QColor Lighten(const QColor& colour, int percent);
    static QColor Darken(const QColor& colour, int amount);
    static QColor Gray(const QColor& colour, int amount);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    friend class TStyledMenuStyle;
    void init();
    void hook();
    void unhook();
    void hookMenu(QMenu* menu);
    void hookSubmenusOf(QMenu* menu);
    void refresh();
    void paintSideBar(QPainter& p);

    std::unique_ptr<TStyledMenuStyle> m_style;
    QList<QPointer<QMenu>> m_hooked;
    bool m_active = true;
    bool m_autoDetect = true;
    bool m_overrideOwnerDraw = false;
    bool m_drawSelect = true;
    bool m_useSystemColors = true;
    bool m_gradient = false;
    bool m_flatMenu = false;
    bool m_barTransparent = true;
    int m_iconWidth = 24;
    int m_barWidth = 24;
    QColor m_fontColor, m_color, m_iconBackColor, m_menuBarColor, m_selectColor, m_selectBorderColor, m_selectFontColor,
        m_disabledColor, m_separatorColor, m_checkedColor, m_barFontColor;
    QString m_barCaption;
    QFont m_barFont;
    bool m_barFontSet = false;
    QPixmap m_barPicture;
};

// The menu class the forms use; the same as TStyledMenu.
class TvkStyledMenu : public TStyledMenu
{
    Q_OBJECT
public:
    using TStyledMenu::TStyledMenu;
};
