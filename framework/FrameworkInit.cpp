#include "framework/FrameworkInit.h"

#include "framework/DialogProvider.h"

#include "core/Questions.h"
#include "framework/QtEventPump.h"
#include "framework/QtPrompter.h"
#include "framework/TvkLanguage.h"
#include "framework/vk_contexte.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

#include <memory>

namespace {

struct Framework
{
    std::unique_ptr<TvkContexte> contexte;
    std::unique_ptr<TvkLanguage> language;
};

std::unique_ptr<Framework> g_framework;

} // namespace

TQtEventPump& AppEventPump()
{
    static TQtEventPump pump;
    return pump;
}

TQtPrompter& AppQtPrompter()
{
    static TQtPrompter prompter;
    return prompter;
}

void InitFramework()
{
    if (g_framework) {
        return;
    }
    g_framework = std::make_unique<Framework>();
    g_framework->contexte = std::make_unique<TvkContexte>();
    g_framework->language = std::make_unique<TvkLanguage>();
    SetAppPrompter(&AppQtPrompter());
    RouteLinksThroughDialogs();
    qAddPostRoutine(ShutdownFramework);
}

void ShutdownFramework()
{
    if (!g_framework) {
        return;
    }
    if (AppPrompter() == &AppQtPrompter()) {
        SetAppPrompter(nullptr);
    }
    g_framework->language.reset();
    g_framework->contexte.reset();
    g_framework.reset();
}

QString BundledHelpAddress()
{
    const QString folder = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {folder + QStringLiteral("/doc/help.html"), folder + QStringLiteral("/../share/vorland/help.html")}) {
        if (QFileInfo(candidate).isFile()) {
            return QUrl::fromLocalFile(QFileInfo(candidate).canonicalFilePath()).toString();
        }
    }
    return {};
}
