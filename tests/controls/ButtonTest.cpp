// The flat button: frames by mode and state, glyph cells, layouts, mouse and keyboard input,
// Default, Cancel and ModalResult in a dialog, and what screen readers see.
#include "controls/vk_Button.h"

#include "ControlsTestKit.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace controls_test;

namespace {

const QColor kBackground(255, 0, 255);
const QColor kFace(200, 200, 200);
const QColor kHighlight(0, 255, 0);
const QColor kShadow(255, 0, 0);
// Cell colours of the test glyph: up, disabled, down, exclusive.
const QColor kCells[4] = {QColor(0, 0, 255), QColor(128, 128, 0), QColor(0, 128, 128), QColor(255, 255, 0)};

// A strip of n 10-by-10 cells, each a solid square with a one-pixel border of the transparent
// colour (black, read from the bottom-left pixel).
QPixmap glyphStrip(int n)
{
    QImage strip(10 * n, 10, QImage::Format_RGB32);
    strip.fill(Qt::black);
    QPainter p(&strip);
    for (int i = 0; i < n; ++i)
        p.fillRect(QRect(i * 10 + 1, 1, 8, 8), kCells[i]);
    p.end();
    return QPixmap::fromImage(strip);
}

std::unique_ptr<TvkButton> makeButton(const QString& caption = QString())
{
    auto b = std::make_unique<TvkButton>();
    b->setPalette(TestPalette());
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    b->setFont(font);
    b->SetCaption(caption);
    return b;
}

int countPixels(const QImage& image, const QColor& colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == colour ? 1 : 0;
    }
    return n;
}

} // namespace

TEST(Button, creation_defaults_and_ranges)
{
    TvkButton b;
    EXPECT_EQ(b.size(), QSize(80, 25));
    EXPECT_EQ(b.BorderMode(), TvkButton::bmSingle);
    EXPECT_EQ(b.TextStyle(), TvkButton::txRaised);
    EXPECT_EQ(b.NumGlyphs(), 1);
    b.SetNumGlyphs(0);
    EXPECT_EQ(b.NumGlyphs(), 1);
    b.SetNumGlyphs(9);
    EXPECT_EQ(b.NumGlyphs(), 4);
    b.SetBevelWidth(0);
    EXPECT_EQ(b.BevelWidth(), 1);
    b.SetGlyphSpace(-5);
    EXPECT_EQ(b.GlyphSpace(), 0);
    EXPECT_EQ(b.focusPolicy(), Qt::StrongFocus);
}

TEST(Button, flat_button_shows_its_frame_only_under_the_mouse)
{
    auto b = makeButton(QStringLiteral("Open"));
    b->SetBorderMode(TvkButton::bmFlat);
    for (qreal dpr : {1.0, 2.0}) {
        SCOPED_TRACE(dpr);
        b->SetHot(false);
        QImage image = Render(b.get(), dpr);
        EXPECT_EQ(Pixel(image, 10, 0), kBackground);
        EXPECT_EQ(Pixel(image, 0, 10), kBackground);
        EXPECT_EQ(Pixel(image, 10, 24), kBackground);
        EXPECT_EQ(countPixels(image, kHighlight), 0); // no caption effect either

        b->SetHot(true);
        image = Render(b.get(), dpr);
        // Raised: light top and left, dark bottom and right, face-coloured corners, inside unfilled.
        EXPECT_EQ(Pixel(image, 10, 0), kHighlight);
        EXPECT_EQ(Pixel(image, 0, 10), kHighlight);
        EXPECT_EQ(Pixel(image, 10, 24), kShadow);
        EXPECT_EQ(Pixel(image, 79, 10), kShadow);
        EXPECT_EQ(Pixel(image, 0, 0), kFace);
        EXPECT_EQ(Pixel(image, 79, 24), kFace);
        EXPECT_EQ(Pixel(image, 3, 3), kBackground);
        if (dpr == 2.0) {
            // One logical pixel is two device pixels thick.
            EXPECT_EQ(image.pixelColor(20, 1), kHighlight);
            EXPECT_EQ(image.pixelColor(20, 2), kBackground);
        }
        // The raised caption effect: the caption in the highlight colour, one pixel up and left.
        const QRect effect = DeviceBounds(image, [](const QColor& c) { return c == kHighlight; });
        const QRect caption = DeviceBounds(image, [](const QColor& c) { return c == QColor(Qt::black); });
        ASSERT_FALSE(caption.isEmpty());
        EXPECT_GT(countPixels(image.copy(caption.adjusted(-4, -4, 0, 0)), kHighlight), 10);
        Q_UNUSED(effect);
    }
}

TEST(Button, single_frame_is_a_filled_rectangle_until_hot_and_pressed_swaps_the_bevel)
{
    auto b = makeButton(QStringLiteral("OK"));
    QImage image = Render(b.get());
    EXPECT_EQ(Pixel(image, 10, 0), kShadow);
    EXPECT_EQ(Pixel(image, 0, 10), kShadow);
    EXPECT_EQ(Pixel(image, 5, 5), kFace);
    EXPECT_EQ(Pixel(image, 0, 0), kFace);

    b->SetBorderMode(TvkButton::bmRaised);
    b->SetBevelWidth(2);
    b->setDown(true);
    image = Render(b.get());
    EXPECT_EQ(Pixel(image, 10, 0), kShadow);
    EXPECT_EQ(Pixel(image, 10, 1), kShadow);
    EXPECT_EQ(Pixel(image, 10, 24), kHighlight);
    EXPECT_EQ(Pixel(image, 10, 23), kHighlight);
    EXPECT_EQ(Pixel(image, 10, 2), kBackground);
}

TEST(Button, glyph_cell_follows_the_state)
{
    struct Case
    {
        int cells;
        bool enabled, down, checked;
        int expected;
    };
    const Case cases[] = {
        {1, true, false, false, 0}, {1, false, false, false, 0}, {2, false, false, false, 1},
        {2, true, true, false, 0},  {3, true, true, false, 2},   {3, false, false, false, 1},
        {4, true, false, true, 3},  {3, true, false, true, 0},   {4, false, false, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cells << " cells, enabled " << c.enabled << ", down " << c.down
                                        << ", checked " << c.checked);
        auto b = makeButton();
        b->SetGlyph(glyphStrip(c.cells));
        b->SetNumGlyphs(c.cells);
        b->setEnabled(c.enabled);
        b->setCheckable(c.checked);
        b->setChecked(c.checked);
        b->setDown(c.down);
        EXPECT_EQ(static_cast<int>(b->CurrentCell()), c.expected);
        for (qreal dpr : {1.0, 2.0}) {
            const QImage image = Render(b.get(), dpr);
            const QRect g = b->GlyphRect().translated(c.down ? QPoint(1, 1) : QPoint(0, 0));
            EXPECT_EQ(g.size(), QSize(10, 10));
            EXPECT_EQ(Pixel(image, g.center().x(), g.center().y()), kCells[c.expected]) << dpr;
        }
    }
}

TEST(Button, glyph_border_colour_of_the_bottom_left_pixel_is_transparent)
{
    auto b = makeButton();
    b->SetBorderMode(TvkButton::bmFlat);
    b->SetGlyph(glyphStrip(1));
    const QImage image = Render(b.get());
    const QRect g = b->GlyphRect();
    EXPECT_EQ(Pixel(image, g.left(), g.top()), kBackground);
    EXPECT_EQ(Pixel(image, g.left() + 1, g.top() + 1), kCells[0]);
}

TEST(Button, layouts_place_glyph_and_caption)
{
    auto b = makeButton(QStringLiteral("Caption"));
    b->SetGlyph(glyphStrip(1));
    b->SetGlyphSpace(4);
    b->resize(100, 50);
    const int tw = b->CaptionRect().width();
    const int th = b->CaptionRect().height();

    b->SetGlyphLayout(TvkButton::lyLeft);
    const int m = (100 - 10 - 4 - tw) / 2;
    EXPECT_EQ(b->GlyphRect().topLeft(), QPoint(m, 20));
    EXPECT_EQ(b->CaptionRect().left(), m + 10 + 4);

    b->SetGlyphLayout(TvkButton::lyRight);
    EXPECT_EQ(b->GlyphRect().left(), 100 - m - 10);
    EXPECT_EQ(b->CaptionRect().right() + 1, b->GlyphRect().left() - 4);

    b->SetGlyphLayout(TvkButton::lyTop);
    const int mv = (50 - 10 - 4 - th) / 2;
    EXPECT_EQ(b->GlyphRect().topLeft(), QPoint(45, mv));
    EXPECT_EQ(b->CaptionRect().top(), mv + 10 + 4);

    b->SetGlyphLayout(TvkButton::lyBottom);
    EXPECT_EQ(b->GlyphRect().top(), 50 - mv - 10);
    EXPECT_EQ(b->CaptionRect().bottom() + 1, b->GlyphRect().top() - 4);

    b->SetGlyphLayout(TvkButton::lyCenter);
    EXPECT_EQ(b->GlyphRect().topLeft(), QPoint(45, 20));

    // A caption wider than the button: the glyph starts at the left edge.
    b->SetGlyphLayout(TvkButton::lyLeft);
    b->SetCaption(QStringLiteral("A caption much wider than the button"));
    EXPECT_EQ(b->GlyphRect().left(), 0);
    const QImage image = Render(b.get());
    EXPECT_EQ(Pixel(image, 1, 21), kCells[0]);
}

TEST(Button, right_click_never_shows_it_pressed)
{
    auto b = makeButton(QStringLiteral("OK"));
    b->SetBorderMode(TvkButton::bmRaised);
    QSignalSpy clicked(b.get(), &QAbstractButton::clicked);
    const QImage before = Render(b.get());
    QTest::mousePress(b.get(), Qt::RightButton);
    EXPECT_FALSE(b->Pressed());
    EXPECT_EQ(Render(b.get()), before);
    QTest::mouseRelease(b.get(), Qt::RightButton);
    EXPECT_EQ(clicked.count(), 0);

    QTest::mousePress(b.get(), Qt::LeftButton);
    EXPECT_TRUE(b->Pressed());
    EXPECT_NE(Render(b.get()), before);
    QTest::mouseRelease(b.get(), Qt::LeftButton);
    EXPECT_FALSE(b->Pressed());
    EXPECT_EQ(clicked.count(), 1);
}

TEST(Button, space_enter_and_the_accelerator_click_it)
{
    QWidget window;
    auto* b = new TvkButton(QStringLiteral("&Abort"), &window);
    auto* edit = new QLineEdit(&window);
    edit->move(0, 40);
    QSignalSpy clicked(b, &QAbstractButton::clicked);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    b->setFocus();
    ASSERT_TRUE(b->hasFocus());
    QTest::keyClick(b, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), 1);
    QTest::keyClick(b, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 2);
    QTest::keyClick(b, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicked.count(), 3);
    edit->setFocus();
    QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicked.count() == 4; }, 2000));
    b->setEnabled(false);
    QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
    QTest::qWait(200);
    EXPECT_EQ(clicked.count(), 4);
}

TEST(Button, default_and_cancel_answer_enter_and_escape_and_close_the_dialog)
{
    QDialog dialog;
    auto* edit = new QLineEdit(&dialog);
    auto* ok = new TvkButton(QStringLiteral("OK"), &dialog);
    auto* cancel = new TvkButton(QStringLiteral("Cancel"), &dialog);
    ok->move(0, 30);
    cancel->move(90, 30);
    ok->SetDefault(true);
    ok->SetModalResult(TvkButton::mrOk);
    cancel->SetCancel(true);
    cancel->SetModalResult(TvkButton::mrCancel);
    QSignalSpy okClicked(ok, &QAbstractButton::clicked);
    QSignalSpy cancelClicked(cancel, &QAbstractButton::clicked);
    QSignalSpy finished(&dialog, &QDialog::finished);

    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(okClicked.count(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 2000));
    EXPECT_EQ(dialog.result(), TvkButton::mrOk);

    // A click handler that sets the result back to none keeps the dialog open.
    QObject::connect(cancel, &QAbstractButton::clicked, &dialog, [&] { dialog.setResult(TvkButton::mrNone); });
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(cancelClicked.count(), 1);
    QTest::qWait(50);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(finished.count(), 1);

    // Shift+Enter and a disabled default button do nothing.
    QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
    ok->setEnabled(false);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(okClicked.count(), 1);
    dialog.hide();
}

TEST(Button, screen_readers_see_a_push_button_named_by_caption_or_hint)
{
    auto captioned = makeButton(QStringLiteral("&Open"));
    captioned->SetHint(QStringLiteral("Open a batch file"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(captioned.get());
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::PushButton);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Open"));
    EXPECT_EQ(iface->text(QAccessible::Description), QStringLiteral("Open a batch file"));
    EXPECT_TRUE(iface->state().focusable);

    auto glyphOnly = makeButton();
    glyphOnly->SetGlyph(glyphStrip(1));
    glyphOnly->SetHint(QStringLiteral("Save the batch file"));
    QAccessibleInterface* glyphIface = QAccessible::queryAccessibleInterface(glyphOnly.get());
    EXPECT_EQ(glyphIface->role(), QAccessible::PushButton);
    EXPECT_EQ(glyphIface->text(QAccessible::Name), QStringLiteral("Save the batch file"));

    QSignalSpy clicked(glyphOnly.get(), &QAbstractButton::clicked);
    ASSERT_NE(glyphIface->actionInterface(), nullptr);
    EXPECT_TRUE(glyphIface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    glyphIface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicked.count(), 1);

    glyphOnly->setCheckable(true);
    glyphOnly->setChecked(true);
    EXPECT_TRUE(glyphIface->state().checkable);
    EXPECT_TRUE(glyphIface->state().checked);
    glyphOnly->setEnabled(false);
    glyphIface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicked.count(), 1);
}

TEST(Button, disabled_caption_is_drawn_in_the_shadow_colour)
{
    auto b = makeButton(QStringLiteral("OK"));
    b->setEnabled(false);
    const QImage image = Render(b.get());
    const QRect caption = b->CaptionRect();
    EXPECT_EQ(countPixels(image.copy(caption), QColor(Qt::black)), 0);
    EXPECT_GT(countPixels(image.copy(caption), kShadow), 5);
}
