// vorland-screens: writes a picture of every registered window and control gallery, in English and
// in French, into one folder.
//
//   vorland-screens [--out DIR] [--lang en,fr] [--require-names] [SCREEN...]
//
// DIR defaults to "screenshots" in the current folder. Naming screens writes only those. Exit code
// 0 when every picture was written (and, with --require-names, every control shown has an
// accessible name), 1 otherwise. Runs on any Qt platform; scripts/screenshots.sh
// uses the offscreen one.
#include "ScreenRegistry.h"
#include "ScreenSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <string>

std::vector<TScreenEntry>& RegisteredScreens()
{
    static std::vector<TScreenEntry> screens;
    return screens;
}

bool RegisterScreen(const char* name, TScreenFunction build)
{
    RegisteredScreens().push_back(TScreenEntry{QString::fromUtf8(name), std::move(build)});
    return true;
}

namespace {

constexpr int kTitleHeight = 22;

bool needsName(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::EditableText:
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::PageTab:
    case QAccessible::SpinBox:
    case QAccessible::ButtonMenu:
    case QAccessible::ProgressBar:
    case QAccessible::MenuItem:
        return true;
    default:
        return false;
    }
}

// The visible controls under `node` that need a name and have none, as "objectName (role)".
void collectNameless(QAccessibleInterface* node, QStringList& nameless, int depth = 0)
{
    if (node == nullptr || depth > 40 || node->state().invisible)
        return;
    if (needsName(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty()) {
        // A menu's separators are items without text, and need none.
        if (!(node->role() == QAccessible::MenuItem && node->state().disabled)) {
            QObject* object = node->object();
            nameless.append((object != nullptr ? object->objectName() : QStringLiteral("?")) + QStringLiteral(" (") +
                            QString::number(node->role(), 16) + QLatin1Char(')'));
        }
    }
    for (int i = 0; i < node->childCount(); ++i)
        collectNameless(node->child(i), nameless, depth + 1);
}

// The widget's picture, with a title bar showing its caption when it is a window.
QPixmap windowPicture(QWidget* widget)
{
    const QPixmap body = widget->grab();
    if (!widget->isWindow() || qobject_cast<QMenu*>(widget) != nullptr)
        return body;
    const qreal ratio = body.devicePixelRatio();
    const QSize size(widget->width() + 2, widget->height() + kTitleHeight + 1);
    QPixmap framed(size * ratio);
    framed.setDevicePixelRatio(ratio);
    framed.fill(QColor(60, 74, 92));
    QPainter painter(&framed);
    int textLeft = 6;
    const QIcon icon = widget->windowIcon();
    if (!icon.isNull() && !QApplication::windowIcon().isNull()) {
        icon.paint(&painter, QRect(4, 3, 16, 16));
        textLeft = 24;
    }
    QFont bold = widget->font();
    bold.setBold(true);
    bold.setPixelSize(12);
    painter.setFont(bold);
    painter.setPen(Qt::white);
    painter.drawText(QRect(textLeft, 0, size.width() - textLeft - 4, kTitleHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     widget->windowTitle());
    painter.drawPixmap(1, kTitleHeight, body);
    return framed;
}

} // namespace

bool TScreenContext::Save(const QString& name, QWidget* widget, const QList<QWidget*>& popups)
{
    if (!widget->isVisible())
        widget->show();
    QApplication::processEvents();
    QTest::qWait(10);
    const QString path = QDir(m_outDir).filePath(QStringLiteral("%1-%2.%3.png").arg(m_screen, name, m_language));

    QStringList nameless;
    collectNameless(QAccessible::queryAccessibleInterface(widget), nameless);
    for (QWidget* popup : popups)
        collectNameless(QAccessible::queryAccessibleInterface(popup), nameless);
    for (const QString& control : std::as_const(nameless))
        std::fprintf(stderr, "vorland-screens: %s: no accessible name: %s\n", qPrintable(path), qPrintable(control));
    m_nameless += static_cast<int>(nameless.size());

    QPixmap picture = windowPicture(widget);
    if (!picture.isNull() && !popups.isEmpty()) {
        // The window's picture starts at its title bar; the popups stand where the screen shows them.
        const bool framed = widget->isWindow() && qobject_cast<QMenu*>(widget) == nullptr;
        const QPoint origin = widget->mapToGlobal(QPoint(0, 0)) - QPoint(framed ? 1 : 0, framed ? kTitleHeight : 0);
        const qreal ratio = picture.devicePixelRatio();
        QRect bounds(QPoint(0, 0), picture.size() / ratio);
        QList<QPair<QPoint, QPixmap>> layers;
        for (QWidget* popup : popups) {
            if (popup == nullptr || !popup->isVisible())
                continue;
            const QPoint at = popup->mapToGlobal(QPoint(0, 0)) - origin;
            layers.append({at, popup->grab()});
            bounds = bounds.united(QRect(at, popup->size()));
        }
        QPixmap composed(bounds.size() * ratio);
        composed.setDevicePixelRatio(ratio);
        composed.fill(QColor(200, 200, 200));
        QPainter painter(&composed);
        painter.translate(-bounds.topLeft());
        painter.drawPixmap(0, 0, picture);
        for (const auto& layer : std::as_const(layers)) {
            painter.setPen(QColor(90, 90, 90));
            painter.drawRect(QRect(layer.first - QPoint(1, 1), layer.second.size() / ratio + QSize(1, 1)));
            painter.drawPixmap(layer.first, layer.second);
        }
        painter.end();
        picture = composed;
    }
    if (picture.isNull() || !picture.save(path)) {
        std::fprintf(stderr, "vorland-screens: could not write %s\n", qPrintable(path));
        ++m_failed;
        return false;
    }
    ++m_written;
    return true;
}

int main(int argc, char** argv)
{
    // Settings and the user's language files go to a folder of this run: pictures never depend on
    // the settings of the person taking them, and never change them.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    QApplication app(argc, argv);
    screens::InitScreens();
    // The same font on every machine, so pictures can be compared.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    QApplication::setFont(font);

    QString outDir = QStringLiteral("screenshots");
    QStringList languages{QStringLiteral("en"), QStringLiteral("fr")};
    QStringList only;
    bool requireNames = false;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            outDir = args[++i];
        else if (args[i] == QLatin1String("--lang") && i + 1 < args.size())
            languages = args[++i].split(u',', Qt::SkipEmptyParts);
        else if (args[i] == QLatin1String("--require-names"))
            requireNames = true;
        else
            only << args[i];
    }
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "vorland-screens: cannot create %s\n", qPrintable(outDir));
        return 1;
    }

    int written = 0;
    int failed = 0;
    int nameless = 0;
    for (const TScreenEntry& screen : RegisteredScreens()) {
        if (!only.isEmpty() && !only.contains(screen.Name))
            continue;
        for (const QString& language : std::as_const(languages)) {
            TScreenContext ctx(outDir, screen.Name, language);
            screen.Build(ctx);
            written += ctx.Written();
            failed += ctx.Failed();
            nameless += ctx.Nameless();
        }
    }
    std::printf("vorland-screens: %d pictures in %s%s; %d controls without an accessible name\n", written,
                qPrintable(QDir(outDir).absolutePath()), failed > 0 ? " (some failed)" : "", nameless);
    return failed == 0 && written > 0 && (!requireNames || nameless == 0) ? 0 : 1;
}
