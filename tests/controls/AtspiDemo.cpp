// A window with one of each control for the AT-SPI test (atspi_controls.py): a captioned flat
// button, a glyph-only one named by its hint, a checked toggle, a label with its edit field, a link
// label, and the styled menu popped up with a submenu and a checked item. Activations are printed
// on standard output ("CLICK <caption or hint>", "OPEN <address>", "TRIGGER <item>").
#include "controls/StyledMenu.h"
#include "controls/vk_Button.h"
#include "controls/vk_Component.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("controls-atspi-demo"));
    TvkLabelLink::SetOpenHandler([](const QString& target) {
        say(QStringLiteral("OPEN ") + target);
        return true;
    });

    QWidget window;
    window.setWindowTitle(QStringLiteral("Controls"));
    auto* layout = new QVBoxLayout(&window);

    auto* ok = new TvkButton(QStringLiteral("&OK"), &window);
    QObject::connect(ok, &QAbstractButton::clicked, [] { say(QStringLiteral("CLICK OK")); });
    layout->addWidget(ok);

    QPixmap glyph(16, 16);
    glyph.fill(Qt::magenta);
    {
        QPainter p(&glyph);
        p.fillRect(QRect(3, 3, 10, 10), Qt::darkBlue);
    }
    auto* open = new TvkButton(&window);
    open->SetGlyph(glyph);
    open->SetFlat(true);
    open->SetHint(QStringLiteral("Open a batch file"));
    open->setFixedSize(26, 26);
    layout->addWidget(open);

    auto* wrap = new TvkButton(QStringLiteral("Wrap"), &window);
    wrap->setCheckable(true);
    wrap->setChecked(true);
    layout->addWidget(wrap);

    auto* label = new TvkLabel(QStringLiteral("&Name"), &window);
    auto* edit = new QLineEdit(&window);
    label->SetFocusControl(edit);
    layout->addWidget(label);
    layout->addWidget(edit);

    auto* link = new TvkLabelLink(QStringLiteral("www.example.org"), &window);
    link->SetLinkKind(TvkLabelLink::lkHttp);
    layout->addWidget(link);

    window.show();

    TvkStyledMenu menu(&window);
    menu.SetBarCaption(QStringLiteral("V o r l a n d"));
    QObject::connect(menu.addAction(QStringLiteral("&About")), &QAction::triggered,
                     [] { say(QStringLiteral("TRIGGER About")); });
    QMenu* languages = menu.addMenu(QStringLiteral("&Languages"));
    QAction* english = languages->addAction(QStringLiteral("English"));
    english->setCheckable(true);
    english->setChecked(true);
    QAction* lines = menu.addAction(QStringLiteral("&Wrap lines"));
    lines->setCheckable(true);
    lines->setChecked(true);
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Close"));
    // The glyph button opens the menu and walks its highlight over the first items, as the arrow
    // keys would; screen readers follow the highlight.
    QObject::connect(open, &QAbstractButton::clicked, &menu, [&] {
        say(QStringLiteral("CLICK Open a batch file"));
        menu.popup(window.geometry().center());
        const QList<QAction*> items = menu.actions();
        for (int i = 0; i < 3; ++i)
            QTimer::singleShot(300 + 300 * i, &menu, [&menu, action = items.at(i)] { menu.setActiveAction(action); });
    });

    // Ends by itself, so a lost test never leaves it running.
    QTimer::singleShot(60000, &app, &QApplication::quit);
    return app.exec();
}
