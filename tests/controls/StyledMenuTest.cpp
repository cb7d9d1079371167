// The styled menu: item sizes, separators, the side bar, items and submenus added at run time,
// selection, keyboard use, what screen readers see, and painting at device pixel ratio 2.
#include "controls/StyledMenu.h"

#include "ControlsTestKit.h"

#include <QAccessible>
#include <QActionGroup>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace controls_test;

namespace {

constexpr int kFrame = 1;

std::unique_ptr<TvkStyledMenu> makeMenu(const QString& barCaption = QString())
{
    auto menu = std::make_unique<TvkStyledMenu>();
    menu->setPalette(TestPalette());
    menu->addAction(QStringLiteral("&About"));
    menu->addAction(QStringLiteral("Online &Help"));
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Close"));
    menu->SetBarCaption(barCaption);
    menu->resize(menu->sizeHint());
    return menu;
}

QAction* actionNamed(QMenu& menu, const QString& text)
{
    for (QAction* a : menu.actions()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

QAction* separatorOf(QMenu& menu)
{
    for (QAction* a : menu.actions()) {
        if (a->isSeparator())
            return a;
    }
    return nullptr;
}

} // namespace

TEST(StyledMenu, colour_operations_follow_the_menu_look)
{
    EXPECT_EQ(TStyledMenu::Lighten(QColor(0, 100, 255), 50), QColor(128, 178, 255));
    EXPECT_EQ(TStyledMenu::Lighten(QColor(0, 0, 0), 250), QColor(255, 255, 255)); // capped at 100
    EXPECT_EQ(TStyledMenu::Darken(QColor(100, 100, 100), 30), QColor(70, 72, 70));
    EXPECT_EQ(TStyledMenu::Darken(QColor(10, 250, 10), 20), QColor(0, 232, 0));
    EXPECT_EQ(TStyledMenu::Darken(QColor(250, 250, 250), -20), QColor(255, 255, 255));
    EXPECT_EQ(TStyledMenu::Gray(QColor(30, 60, 90), 90), QColor(150, 150, 150));
    EXPECT_EQ(TStyledMenu::Gray(QColor(250, 250, 250), 90), QColor(240, 240, 240));
}

TEST(StyledMenu, item_height_follows_the_font_and_separators_are_four_pixels_high)
{
    auto menu = makeMenu();
    const int textHeight = QFontMetrics(menu->font()).height();
    const QRect about = menu->actionGeometry(actionNamed(*menu, QStringLiteral("&About")));
    EXPECT_EQ(about.height(), textHeight + static_cast<int>(std::lround(0.75 * textHeight)));
    EXPECT_EQ(menu->actionGeometry(separatorOf(*menu)).height(), 4);
}

TEST(StyledMenu, separator_line_starts_seven_pixels_into_the_text_area_at_both_pixel_ratios)
{
    auto menu = makeMenu();
    const TStyledMenu::TMenuColors colours = menu->EffectiveColors();
    const QRect sep = menu->actionGeometry(separatorOf(*menu));
    const int textLeft = kFrame + menu->IconWidth();
    for (qreal dpr : {1.0, 2.0}) {
        SCOPED_TRACE(dpr);
        const QImage image = Render(menu.get(), dpr);
        const int y = sep.top() + sep.height() / 2;
        EXPECT_EQ(Pixel(image, textLeft + 7, y), colours.Separator);
        EXPECT_EQ(Pixel(image, textLeft + 6, y), colours.TextArea);
        EXPECT_EQ(Pixel(image, sep.right() - 1, y), colours.Separator);
        // One line only: the rows above and below are the text area.
        EXPECT_EQ(Pixel(image, textLeft + 20, y - 1), colours.TextArea);
        EXPECT_EQ(Pixel(image, textLeft + 20, y + 1), colours.TextArea);
        // The icon column runs through the separator.
        EXPECT_EQ(Pixel(image, kFrame + 3, y), colours.IconColumn);
        if (dpr == 2.0) {
            // The line is one logical pixel: two device rows, and it starts on an even column.
            EXPECT_EQ(image.pixelColor((textLeft + 7) * 2, y * 2 + 1), colours.Separator);
            EXPECT_EQ(image.pixelColor((textLeft + 7) * 2 - 1, y * 2), colours.TextArea);
        }
    }
}

TEST(StyledMenu, empty_bar_caption_draws_no_side_bar_and_widens_nothing)
{
    auto plain = makeMenu();
    auto barred = makeMenu(QStringLiteral("V o r l a n d"));
    EXPECT_FALSE(plain->HasSideBar());
    EXPECT_TRUE(barred->HasSideBar());
    const QRect plainItem = plain->actionGeometry(actionNamed(*plain, QStringLiteral("&About")));
    const QRect barredItem = barred->actionGeometry(actionNamed(*barred, QStringLiteral("&About")));
    EXPECT_EQ(barredItem.width(), plainItem.width() + barred->EffectiveBarWidth());
    EXPECT_EQ(barred->EffectiveBarWidth(), 24);

    const TStyledMenu::TMenuColors colours = plain->EffectiveColors();
    const QImage plainImage = Render(plain.get());
    // Without bar the left column is the icon column all the way down, text area after it.
    for (int y = kFrame; y < plain->height() - kFrame; ++y)
        ASSERT_EQ(Pixel(plainImage, kFrame + 2, y), colours.IconColumn) << y;
    EXPECT_EQ(Pixel(plainImage, kFrame + plain->IconWidth(), plainItem.top() + 1), colours.TextArea);

    // With the bar, the bar is left of the icon column and holds the caption's pixels.
    const QImage barImage = Render(barred.get());
    const QRect bar(kFrame, kFrame, barred->EffectiveBarWidth(), barred->height() - 2 * kFrame);
    int captionPixels = 0;
    for (int y = bar.top(); y <= bar.bottom(); ++y) {
        for (int x = bar.left(); x <= bar.right(); ++x) {
            if (Pixel(barImage, x, y).lightness() < 100)
                ++captionPixels;
        }
    }
    EXPECT_GT(captionPixels, 50);
    EXPECT_EQ(Pixel(barImage, bar.right() + 3, barredItem.top() + 2), colours.IconColumn);
}

TEST(StyledMenu, bar_caption_reads_upward_from_the_bottom)
{
    auto menu = makeMenu(QStringLiteral("V o r l a n d"));
    for (int i = 0; i < 4; ++i)
        menu->addAction(QStringLiteral("Item %1").arg(i));
    menu->resize(menu->sizeHint());
    const QImage image = Render(menu.get());
    const QImage bar = image.copy(0, 0, kFrame + menu->EffectiveBarWidth() + 6, image.height());
    const QRect dark = DeviceBounds(bar, [](const QColor& c) { return c.lightness() < 100; });
    ASSERT_FALSE(dark.isEmpty());
    // Turned text is taller than wide, sits in the bar and ends 5 pixels above the bottom edge.
    EXPECT_GT(dark.height(), dark.width() * 3);
    EXPECT_LT(dark.right(), kFrame + menu->EffectiveBarWidth());
    EXPECT_NEAR(dark.bottom(), menu->height() - kFrame - 1 - 5, 2);
}

TEST(StyledMenu, submenus_and_items_added_at_run_time_are_drawn_the_same_way)
{
    auto menu = makeMenu(QStringLiteral("V o r l a n d"));
    menu->show();
    // The languages submenu arrives later, as a plain QMenu, with exclusive checkable items.
    auto* languages = new QMenu(QStringLiteral("&Languages"), menu.get());
    auto* group = new QActionGroup(languages);
    for (const char* name : {"English", "Français"}) {
        QAction* a = languages->addAction(QString::fromUtf8(name));
        a->setCheckable(true);
        group->addAction(a);
    }
    group->actions().at(1)->setChecked(true);
    menu->QMenu::addMenu(languages);
    EXPECT_EQ(languages->style(), menu->style());

    // An item added to the submenu afterwards gets the same measure.
    QAction* later = languages->addAction(QStringLiteral("Deutsch"));
    languages->resize(languages->sizeHint());
    const int textHeight = QFontMetrics(languages->font()).height();
    EXPECT_EQ(languages->actionGeometry(later).height(), textHeight + static_cast<int>(std::lround(0.75 * textHeight)));

    // Submenus have no side bar: icon column from the frame, text area after it.
    languages->setPalette(TestPalette());
    const TStyledMenu::TMenuColors colours = menu->EffectiveColors();
    const QImage image = Render(languages);
    const QRect checkedItem = languages->actionGeometry(group->actions().at(1));
    EXPECT_EQ(Pixel(image, kFrame + 1, checkedItem.top() + 2), colours.IconColumn);
    EXPECT_EQ(Pixel(image, kFrame + menu->IconWidth() + 2, checkedItem.top() + 2), colours.TextArea);
    // The checked radio item shows a mark framed in the selection border colour in the icon column.
    const int cx = kFrame + menu->IconWidth() / 2;
    const int cy = checkedItem.center().y();
    EXPECT_EQ(Pixel(image, cx, cy), colours.LightShade1);
    bool framed = false;
    for (int x = cx - 7; x < cx; ++x)
        framed = framed || Near(Pixel(image, x, cy), colours.SelectBorder, 60);
    EXPECT_TRUE(framed);
    const QRect uncheckedItem = languages->actionGeometry(group->actions().at(0));
    EXPECT_EQ(Pixel(image, cx, uncheckedItem.center().y()), colours.IconColumn);

    // And the main menu's item for it is widened for the bar like the others.
    EXPECT_EQ(menu->actionGeometry(languages->menuAction()).width(),
              menu->actionGeometry(actionNamed(*menu, QStringLiteral("&About"))).width());
    menu->hide();
}

TEST(StyledMenu, a_plain_checked_item_gets_a_framed_box_with_a_tick)
{
    auto menu = makeMenu();
    QAction* option = menu->addAction(QStringLiteral("Option"));
    option->setCheckable(true);
    option->setChecked(true);
    menu->resize(menu->sizeHint());
    const TStyledMenu::TMenuColors colours = menu->EffectiveColors();
    const QImage image = Render(menu.get());
    const QRect item = menu->actionGeometry(option);
    const QRect box(kFrame + (menu->IconWidth() - 10) / 2, item.top() + (item.height() - 10) / 2, 10, 10);
    EXPECT_EQ(Pixel(image, box.left(), box.top()), colours.Checked);
    EXPECT_EQ(Pixel(image, box.right(), box.bottom()), colours.Checked);
    EXPECT_EQ(Pixel(image, box.left() + 1, box.top() + 1), colours.LightShade1);
    int black = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x)
            black += Pixel(image, x, y).lightness() < 60 ? 1 : 0;
    }
    EXPECT_GE(black, 8);
}

TEST(StyledMenu, highlighted_item_is_filled_and_framed_but_a_disabled_one_is_not)
{
    auto menu = makeMenu(QStringLiteral("V o r l a n d"));
    QAction* close = actionNamed(*menu, QStringLiteral("&Close"));
    const TStyledMenu::TMenuColors colours = menu->EffectiveColors();
    menu->show();
    menu->setActiveAction(close);
    QImage image = Render(menu.get());
    const QRect item = menu->actionGeometry(close);
    const int barRight = item.left() + menu->EffectiveBarWidth();
    EXPECT_EQ(Pixel(image, item.right() - 3, item.top() + 1), colours.SelectBorder);
    EXPECT_EQ(Pixel(image, item.right() - 3, item.top() + 3), colours.Select);
    EXPECT_EQ(Pixel(image, barRight, item.center().y()), colours.SelectBorder);
    EXPECT_EQ(Pixel(image, item.right() - 3, item.top()), colours.TextArea);
    EXPECT_NE(Pixel(image, barRight - 1, item.center().y()), colours.SelectBorder);

    close->setEnabled(false);
    menu->setActiveAction(close);
    image = Render(menu.get());
    EXPECT_EQ(Pixel(image, item.right() - 3, item.top() + 3), colours.TextArea);
    menu->hide();
}

TEST(StyledMenu, keyboard_moves_over_the_items_and_enter_triggers)
{
    auto menu = makeMenu();
    QAction* close = actionNamed(*menu, QStringLiteral("&Close"));
    QSignalSpy triggered(close, &QAction::triggered);
    menu->popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.get()));
    QTest::keyClick(menu.get(), Qt::Key_Down);
    QTest::keyClick(menu.get(), Qt::Key_Down);
    QTest::keyClick(menu.get(), Qt::Key_Down); // the separator is skipped
    EXPECT_EQ(menu->activeAction(), close);
    QTest::keyClick(menu.get(), Qt::Key_Return);
    EXPECT_EQ(triggered.count(), 1);

    menu->popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.get()));
    QAction* help = actionNamed(*menu, QStringLiteral("Online &Help"));
    QSignalSpy helpTriggered(help, &QAction::triggered);
    QTest::keyClick(menu.get(), Qt::Key_H);
    EXPECT_EQ(helpTriggered.count(), 1);
}

TEST(StyledMenu, screen_readers_see_menu_items_with_captions_and_check_states)
{
    auto menu = makeMenu();
    QAction* option = menu->addAction(QStringLiteral("&Option"));
    option->setCheckable(true);
    option->setChecked(true);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(menu.get());
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::PopupMenu);
    ASSERT_EQ(iface->childCount(), 5);
    QAccessibleInterface* about = iface->child(0);
    EXPECT_EQ(about->role(), QAccessible::MenuItem);
    EXPECT_EQ(about->text(QAccessible::Name), QStringLiteral("About"));
    EXPECT_EQ(iface->child(2)->role(), QAccessible::Separator);
    QAccessibleInterface* opt = iface->child(4);
    EXPECT_EQ(opt->text(QAccessible::Name), QStringLiteral("Option"));
    EXPECT_TRUE(opt->state().checkable);
    EXPECT_TRUE(opt->state().checked);
    option->setChecked(false);
    EXPECT_FALSE(iface->child(4)->state().checked);
}

TEST(StyledMenu, inactive_menu_gives_the_submenus_their_own_style_back)
{
    auto menu = makeMenu();
    QMenu* sub = menu->addMenu(QStringLiteral("Sub"));
    QStyle* styled = menu->style();
    EXPECT_EQ(sub->style(), styled);
    menu->SetActive(false);
    EXPECT_NE(sub->style(), styled);
    EXPECT_NE(menu->style(), styled);
    menu->SetActive(true);
    EXPECT_EQ(sub->style(), menu->style());
    EXPECT_EQ(sub->style(), styled);
    // A submenu that has a look of its own keeps it unless OverrideOwnerDraw is set.
    auto* own = new QMenu(QStringLiteral("Own"), menu.get());
    own->setStyle(QApplication::style());
    menu->addMenu(own);
    EXPECT_NE(own->style(), styled);
    menu->SetOverrideOwnerDraw(true);
    EXPECT_EQ(own->style(), styled);
}
