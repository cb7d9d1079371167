// vorland-screens: writes a picture of every registered window and control gallery, in English and
// in French, into one folder.
//
//   vorland-screens [--out DIR] [--lang en,fr] [SCREEN...]
//
// DIR defaults to "screenshots" in the current folder. Naming screens writes only those. Exit code
// 0 when every picture was written, 1 otherwise. Runs on any Qt platform; scripts/screenshots.sh
// uses the offscreen one.
#include "ScreenRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <QTest>

#include <cstdio>

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

bool TScreenContext::Save(const QString& name, QWidget* widget)
{
    if (!widget->isVisible())
        widget->show();
    QApplication::processEvents();
    QTest::qWait(10);
    const QString path = QDir(m_outDir).filePath(QStringLiteral("%1-%2.%3.png").arg(m_screen, name, m_language));
    const QPixmap picture = widget->grab();
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
    QApplication app(argc, argv);
    // The same font on every machine, so pictures can be compared.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    QApplication::setFont(font);

    QString outDir = QStringLiteral("screenshots");
    QStringList languages{QStringLiteral("en"), QStringLiteral("fr")};
    QStringList only;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            outDir = args[++i];
        else if (args[i] == QLatin1String("--lang") && i + 1 < args.size())
            languages = args[++i].split(u',', Qt::SkipEmptyParts);
        else
            only << args[i];
    }
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "vorland-screens: cannot create %s\n", qPrintable(outDir));
        return 1;
    }

    int written = 0;
    int failed = 0;
    for (const TScreenEntry& screen : RegisteredScreens()) {
        if (!only.isEmpty() && !only.contains(screen.Name))
            continue;
        for (const QString& language : std::as_const(languages)) {
            TScreenContext ctx(outDir, screen.Name, language);
            screen.Build(ctx);
            written += ctx.Written();
            failed += ctx.Failed();
        }
    }
    std::printf("vorland-screens: %d pictures in %s%s\n", written, qPrintable(QDir(outDir).absolutePath()),
                failed > 0 ? " (some failed)" : "");
    return failed == 0 && written > 0 ? 0 : 1;
}
