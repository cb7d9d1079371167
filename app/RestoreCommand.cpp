#include "app/RestoreCommand.h"

#include "app/ConsoleEventPump.h"
#include "app/ConsoleProgressView.h"
#include "core/AppStrings.h"
#include "core/vk_tools.h"
#include "restore/ArchiveRestore.h"
#include "restore/RestoreMessages.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>

int RunRestoreCommand(const TLongOptions& options)
{
    ZipEngineLibrary engine;
    if (engine.Load(ZipEngineLibrary::ChoosePath(std::string())) != ZipEngineLibrary::LoadResult::Loaded) {
        std::fprintf(stderr, "vorland: %s\n", EscapeControls(engine.Error()).c_str());
        return 2;
    }
    TConsoleProgressView view(stderr, ::isatty(STDERR_FILENO) == 1);
    std::atomic<bool> stop{false};
    TConsoleEventPump pump([&stop](int) { stop = true; });

    restore::RestoreRequest request;
    request.archive = options.archive;
    request.destination = options.destination;
    request.password = options.password;
    request.patterns = options.names;
    request.rule = options.existing == TLongOptions::Existing::Replace    ? restore::ExistingRule::Replace
                   : options.existing == TLongOptions::Existing::KeepBoth ? restore::ExistingRule::KeepBoth
                                                                          : restore::ExistingRule::Skip;
    request.stopRequested = [&pump, &stop] {
        pump.ProcessMessages();
        return stop.load();
    };
    view.Show();
    const restore::ReadOutcome outcome = options.command == TLongOptions::Command::Test
                                             ? restore::testArchive(engine, request, view)
                                             : restore::restoreArchive(engine, request, view);
    view.Hide();
    const std::string summary =
        options.command == TLongOptions::Command::Test
            ? restore::restoreText(sTestSummary,
                                   {std::to_string(outcome.done + outcome.problems), std::to_string(outcome.problems)})
            : restore::restoreText(sRestoreSummary, {std::to_string(outcome.done), std::to_string(outcome.skipped),
                                                     std::to_string(outcome.problems)});
    if (!outcome.unreadable) {
        std::fprintf(stderr, "%s\n", EscapeControls(summary).c_str());
    }
    return outcome.exitCode();
}
