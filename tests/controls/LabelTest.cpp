// Labels and the link label: what the setters accept, shadow and disabled look in pixels,
// automatic size, rotation, borders, the addresses links hand on, and what screen readers see.
#include "controls/vk_Component.h"

#include "ControlsTestKit.h"

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

using namespace controls_test;

namespace {

// A label in crisp colours: text blue, shadow (dark) red, highlight (light) green, on white.
std::unique_ptr<TvkLabel> makeLabel(const QString& caption, int pixelSize = 20)
{
    auto label = std::make_unique<TvkLabel>();
    QPalette pal = TestPalette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(pal);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::NoAntialias);
    label->setFont(font);
    label->SetCaption(caption);
    return label;
}

bool isRed(const QColor& c)
{
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}
bool isGreen(const QColor& c)
{
    return c.green() > 200 && c.red() < 60 && c.blue() < 60;
}
bool isBlue(const QColor& c)
{
    return c.blue() > 200 && c.red() < 60 && c.green() < 60;
}

// Collects what links hand to the desktop while it lives.
struct OpenedLinks
{
    QStringList targets;
    OpenedLinks()
    {
        TvkLabelLink::SetOpenHandler([this](const QString& t) {
            targets << t;
            return true;
        });
    }
    ~OpenedLinks() { TvkLabelLink::SetOpenHandler(nullptr); }
};

} // namespace

TEST(Label, setters_keep_their_ranges)
{
    TvkLabel label;
    label.SetRotation(45);
    label.SetRotation(200);
    EXPECT_EQ(label.Rotation(), 45);
    label.SetRotation(180);
    EXPECT_EQ(label.Rotation(), 180);
    label.SetRotation(-180);
    EXPECT_EQ(label.Rotation(), -180);
    label.SetRotation(-181);
    EXPECT_EQ(label.Rotation(), -180);

    label.SetWeight(7);
    label.SetWeight(11);
    EXPECT_EQ(label.Weight(), 7);
    EXPECT_EQ(label.PaintFont().weight(), QFont::Bold);
    label.SetWeight(-1);
    EXPECT_EQ(label.Weight(), 7);
    label.SetWeight(0);
    EXPECT_EQ(label.PaintFont().weight(), label.font().weight());

    label.SetShadowX(-3);
    label.SetShadowY(-4);
    EXPECT_EQ(label.ShadowX(), 3);
    EXPECT_EQ(label.ShadowY(), 4);
}

TEST(Label, creation_size_without_auto_size_is_65_by_17)
{
    TvkLabel label;
    label.SetAutoSize(false);
    label.resize(65, 17);
    EXPECT_EQ(label.size(), QSize(65, 17));
    TvkLabel sized;
    sized.SetAutoSize(false);
    EXPECT_EQ(sized.size(), sized.MeasuredSize()); // auto-sized until switched off
}

TEST(Label, shadow_is_drawn_right_and_down_by_its_offsets_at_both_pixel_ratios)
{
    auto label = makeLabel(QStringLiteral("Vorland"));
    label->SetOptions(TvkLabel::loShadow);
    label->SetShadowX(4);
    label->SetShadowY(3);
    for (qreal dpr : {1.0, 2.0}) {
        SCOPED_TRACE(dpr);
        const QImage image = Render(label.get(), dpr);
        const QRect text = DeviceBounds(image, isBlue);
        const QRect shadow = DeviceBounds(image, isRed);
        ASSERT_FALSE(text.isEmpty());
        ASSERT_FALSE(shadow.isEmpty());
        // The shadow is the text moved; where the text covers it, the shadow's box is cut, so
        // compare the far edges.
        EXPECT_EQ(shadow.right() - text.right(), static_cast<int>(4 * dpr));
        EXPECT_EQ(shadow.bottom() - text.bottom(), static_cast<int>(3 * dpr));
        EXPECT_EQ(DeviceBounds(image, isGreen), QRect());
    }
    // Auto size makes room for the shadow.
    auto plain = makeLabel(QStringLiteral("Vorland"));
    EXPECT_EQ(label->size(), plain->size() + QSize(4, 3));
}

TEST(Label, disabled_label_with_shadow_draws_only_the_disabled_look)
{
    auto label = makeLabel(QStringLiteral("Vorland"));
    label->SetOptions(TvkLabel::loShadow);
    const QSize enabledSize = label->size();
    label->setEnabled(false);
    EXPECT_EQ(label->size(), enabledSize + QSize(1, 1));
    const QImage image = Render(label.get());
    const QRect dark = DeviceBounds(image, isRed);
    const QRect light = DeviceBounds(image, isGreen);
    ASSERT_FALSE(dark.isEmpty());
    ASSERT_FALSE(light.isEmpty());
    EXPECT_EQ(DeviceBounds(image, isBlue), QRect());
    // The text in the shadow colour in place, the highlight one pixel right and down: no shadow
    // at the 5-pixel offset.
    EXPECT_EQ(dark.topLeft(), QPoint(0, dark.top()));
    EXPECT_EQ(light.right() - dark.right(), 1);
    EXPECT_EQ(light.bottom() - dark.bottom(), 1);
}

TEST(Label, auto_size_keeps_the_right_edge_of_a_right_aligned_label_and_leaves_layouts_alone)
{
    QWidget parent;
    auto* label = new TvkLabel(QStringLiteral("Short"), &parent);
    label->SetAlignment(TvkLabel::taRightJustify);
    label->move(100, 10);
    const int right = label->geometry().right();
    label->SetCaption(QStringLiteral("A much longer caption"));
    EXPECT_EQ(label->geometry().right(), right);
    EXPECT_EQ(label->size(), label->MeasuredSize());
    // An empty caption measures as a blank, so the label never collapses.
    label->SetCaption(QString());
    EXPECT_GT(label->width(), 0);
    EXPECT_EQ(label->height(), QFontMetrics(label->font()).height());

    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* inLayout = new TvkLabel(QStringLiteral("Caption"), &form);
    layout->addWidget(inLayout);
    form.resize(300, 100);
    form.show();
    QApplication::processEvents();
    const QSize placed = inLayout->size();
    inLayout->SetCaption(QStringLiteral("Caption that is longer"));
    EXPECT_EQ(inLayout->size(), placed);
    EXPECT_EQ(inLayout->sizeHint(), inLayout->MeasuredSize());
}

TEST(Label, alignment_moves_the_text_and_the_shadow)
{
    auto label = makeLabel(QStringLiteral("Ab"));
    label->SetAutoSize(false);
    label->resize(120, 40);
    label->SetOptions(TvkLabel::loShadow);
    label->SetShadowX(6);
    label->SetShadowY(2);
    label->SetAlignment(TvkLabel::taRightJustify);
    label->SetLayout(TvkLabel::tlBottom);
    QImage image = Render(label.get());
    QRect text = DeviceBounds(image, isBlue);
    QRect shadow = DeviceBounds(image, isRed);
    // Right-aligned: the shadow keeps the right edge, the text moves left by ShadowX.
    EXPECT_EQ(shadow.right() - text.right(), 6);
    EXPECT_GE(shadow.right(), 120 - 4);
    EXPECT_GT(text.top(), 10); // laid out at the bottom
}

TEST(Label, rotation_turns_the_text_and_keeps_it_inside)
{
    auto label = makeLabel(QStringLiteral("Vorland"), 14);
    label->SetAutoSize(false);
    label->resize(40, 120);
    label->SetRotation(90);
    label->SetLayout(TvkLabel::tlBottom);
    const QImage image = Render(label.get());
    const QRect text = DeviceBounds(image, isBlue);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GT(text.height(), 2 * text.width());
    EXPECT_GE(text.left(), 0);
    EXPECT_GT(text.top(), 120 / 3); // placed at the bottom
    // Rotation 200 is refused: the picture does not change.
    label->SetRotation(200);
    EXPECT_EQ(Render(label.get()), image);
    label->SetRotation(0);
    const QRect flat = DeviceBounds(Render(label.get()), isBlue);
    EXPECT_LT(flat.height(), text.height());
}

TEST(Label, sunken_border_shrinks_the_text_area)
{
    auto label = makeLabel(QStringLiteral("x"), 12);
    label->SetAutoSize(false);
    label->resize(60, 20);
    label->SetBorderStyle(TvkLabel::lbsSunken);
    label->SetBorderWidth(2);
    for (qreal dpr : {1.0, 2.0}) {
        SCOPED_TRACE(dpr);
        const QImage image = Render(label.get(), dpr);
        EXPECT_TRUE(isRed(Pixel(image, 0, 10)));
        EXPECT_TRUE(isRed(Pixel(image, 1, 10)));
        EXPECT_TRUE(isRed(Pixel(image, 30, 0)));
        EXPECT_TRUE(isGreen(Pixel(image, 59, 10)));
        EXPECT_TRUE(isGreen(Pixel(image, 30, 18)));
        EXPECT_EQ(Pixel(image, 30, 10), QColor(Qt::white));
        EXPECT_GE(DeviceBounds(image, isBlue).left(), static_cast<int>(2 * dpr));
    }
    label->SetBorderStyle(TvkLabel::lbsSingle);
    EXPECT_EQ(Pixel(Render(label.get()), 0, 10), QColor(Qt::black));
}

TEST(Label, transparent_label_leaves_the_background)
{
    auto label = makeLabel(QStringLiteral("x"));
    EXPECT_EQ(Pixel(Render(label.get()), label->width() - 1, 0), QColor(Qt::white));
    label->SetTransparent(true);
    EXPECT_EQ(Pixel(Render(label.get()), label->width() - 1, 0), QColor(255, 0, 255));
}

TEST(Label, accelerator_of_a_focus_control_label_names_the_control_and_moves_the_focus)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new TvkLabel(QStringLiteral("&Name"), &window);
    auto* edit = new QLineEdit(&window);
    auto* other = new QLineEdit(&window);
    layout->addWidget(label);
    layout->addWidget(edit);
    layout->addWidget(other);
    label->SetFocusControl(edit);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();

    QAccessibleInterface* editIface = QAccessible::queryAccessibleInterface(edit);
    EXPECT_EQ(editIface->text(QAccessible::Name), QStringLiteral("Name"));
    QAccessibleInterface* labelIface = QAccessible::queryAccessibleInterface(label);
    EXPECT_EQ(labelIface->role(), QAccessible::StaticText);
    EXPECT_EQ(labelIface->text(QAccessible::Name), QStringLiteral("Name"));

    QTest::keyClick(&window, Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(edit->hasFocus());
    other->setFocus();
    label->SetShowAccelChar(false);
    QTest::keyClick(&window, Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(other->hasFocus());

    delete edit;
    EXPECT_EQ(label->FocusControl(), nullptr);
}

TEST(LabelLink, link_kinds_hand_their_prefix_and_the_caption)
{
    OpenedLinks opened;
    TvkLabelLink link(QStringLiteral("info@example.org"));
    link.SetLinkKind(TvkLabelLink::lkMailTo);
    QSignalSpy clicked(&link, &TvkCustomLabel::clicked);
    QTest::mouseClick(&link, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    link.SetLinkKind(TvkLabelLink::lkNone);
    link.SetCaption(QStringLiteral("www.example.org"));
    QTest::mouseClick(&link, Qt::LeftButton);
    link.SetLinkKind(TvkLabelLink::lkHttp);
    QTest::mouseClick(&link, Qt::LeftButton);
    // A right click opens nothing.
    QTest::mouseClick(&link, Qt::RightButton);
    EXPECT_EQ(opened.targets, (QStringList{QStringLiteral("mailto:info@example.org"), QStringLiteral("www.example.org"),
                                           QStringLiteral("http:\\\\www.example.org")}));

    // OnExecute may change both parts.
    link.OnExecute = [](TvkLabelLink&, QString& prefix, QString& target) {
        prefix = QStringLiteral("https:");
        target = QStringLiteral("//example.net/help");
    };
    link.Execute();
    EXPECT_EQ(opened.targets.last(), QStringLiteral("https://example.net/help"));
}

TEST(LabelLink, joined_addresses_become_urls_the_desktop_can_open)
{
    EXPECT_EQ(TvkLabelLink::UrlOf(QStringLiteral("http:\\\\www.example.org")),
              QUrl(QStringLiteral("http://www.example.org")));
    EXPECT_EQ(TvkLabelLink::UrlOf(QStringLiteral("https:www.example.org/a b")),
              QUrl(QStringLiteral("https://www.example.org/a%20b")));
    EXPECT_EQ(TvkLabelLink::UrlOf(QStringLiteral("mailto:info@example.org")),
              QUrl(QStringLiteral("mailto:info@example.org")));
    EXPECT_EQ(TvkLabelLink::UrlOf(QStringLiteral("www.example.org")), QUrl(QStringLiteral("http://www.example.org")));
    EXPECT_EQ(TvkLabelLink::UrlOf(QStringLiteral("file:/tmp/x.txt")), QUrl(QStringLiteral("file:///tmp/x.txt")));
}

// Receives what QDesktopServices hands to the mail handler.
class MailCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST(LabelLink, default_handler_goes_through_the_desktop_services)
{
    MailCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "open");
    TvkLabelLink link(QStringLiteral("info@example.org"));
    link.SetLinkKind(TvkLabelLink::lkMailTo);
    QTest::mouseClick(&link, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls.first(), QUrl(QStringLiteral("mailto:info@example.org")));
}

TEST(LabelLink, looks_like_a_link_and_is_seen_as_one)
{
    OpenedLinks opened;
    TvkLabelLink link(QStringLiteral("&www.example.org"));
    link.SetLinkKind(TvkLabelLink::lkHttps);
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link.FontColor(), QColor(Qt::blue));
    EXPECT_FALSE(link.PaintFont().underline());
    link.SetMouseOver(true);
    EXPECT_TRUE(link.PaintFont().underline());
    QFont over = link.font();
    over.setItalic(true);
    link.SetFontOver(over);
    EXPECT_TRUE(link.PaintFont().italic());
    link.SetMouseOver(false);
    EXPECT_FALSE(link.PaintFont().italic());

    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&link);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Link);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("www.example.org"));
    EXPECT_TRUE(iface->state().focusable);
    ASSERT_NE(iface->actionInterface(), nullptr);
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(opened.targets, QStringList{QStringLiteral("https:&www.example.org")});

    // The keyboard opens it too.
    QTest::keyClick(&link, Qt::Key_Return);
    QTest::keyClick(&link, Qt::Key_Space);
    EXPECT_EQ(opened.targets.size(), 3);
}

#include "LabelTest.moc"
