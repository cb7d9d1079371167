#pragma once
// The picture program vorland-screens: every window or control gallery registers one screen,
// which builds its widgets for a language and saves pictures of them through the context.
//
//   VORLAND_SCREEN(my_window)
//   {
//       TFrmSomething form;              // translated for ctx.Language() by whatever means it has
//       ctx.Save("main", &form);        // -> <out>/my_window-main.<lang>.png
//   }
//
// A screen file is compiled into vorland-screens (tests/screens/CMakeLists.txt lists them).

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class TScreenContext
{
public:
    TScreenContext(QString outDir, QString screen, QString language)
        : m_outDir(std::move(outDir)), m_screen(std::move(screen)), m_language(std::move(language))
    {
    }

    // "en" or "fr".
    const QString& Language() const { return m_language; }
    bool French() const { return m_language == QLatin1String("fr"); }
    // Picks the text of the current language.
    QString Tr(const char* english, const char* french) const { return QString::fromUtf8(French() ? french : english); }

    // Shows the widget if it is hidden, lets pending events run, and writes its picture to
    // <out>/<screen>-<name>.<lang>.png. A window gets a plain title bar with its caption above it;
    // the popups (open menus) are painted over it where they stand. Every control without an
    // accessible name is reported on stderr. Returns false (and says why on stderr) on failure.
    bool Save(const QString& name, QWidget* widget, const QList<QWidget*>& popups = {});
    // The number of pictures written and failed so far.
    int Written() const { return m_written; }
    int Failed() const { return m_failed; }
    // The number of controls found without an accessible name.
    int Nameless() const { return m_nameless; }

private:
    QString m_outDir;
    QString m_screen;
    QString m_language;
    int m_written = 0;
    int m_failed = 0;
    int m_nameless = 0;
};

using TScreenFunction = std::function<void(TScreenContext&)>;

struct TScreenEntry
{
    QString Name;
    TScreenFunction Build;
};

// Adds a screen to the program (called by VORLAND_SCREEN at start-up).
bool RegisterScreen(const char* name, TScreenFunction build);
std::vector<TScreenEntry>& RegisteredScreens();

#define VORLAND_SCREEN(id)                                                                                             \
    static void id##_screen(TScreenContext& ctx);                                                                      \
    [[maybe_unused]] static const bool id##_registered = RegisterScreen(#id, id##_screen);                             \
    static void id##_screen(TScreenContext& ctx)
