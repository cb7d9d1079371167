#pragma once
// The numbered strings: every text that code shows at run time is read from this table by its
// number at the moment it is shown, so that a change of language reaches it. Numbers 0 to 8 belong
// to the framework, 9 to 26 to the program's first texts, and the program's later texts take
// numbers in ranges by subject (below); a number means the same text in every run and in every
// caption file. Numbers not given a text are unused. The table starts with the English texts; the
// language layer replaces them.

#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The numbers of the table.
enum TAppString : int
{
    sLanguageToAdd = 0,
    sLanguageName = 1,
    sAbout = 2,
    sEditAboutFile = 3,
    sOk = 4,
    sCancel = 5,
    sAdd = 6,
    sDelete = 7,
    sReplace = 8,
    sZipIt = 9,
    sSaveBatchFile = 10,
    sNew = 11,
    sAbort = 12,
    sCancelZip = 13,
    sAdding = 14,
    sInitializingFileList = 15,
    sAddingFiles = 16,
    sProcessingArchive = 17,
    sProcessing = 18,
    sArchiveComplete = 19,
    sAlreadyExists = 20,
    sAddFiles = 21,
    sExcludeFiles = 22,
    sZipName = 23,
    sDirArchive = 24,
    sSelectZipFile = 25,
    sSelectCopyDirectory = 26,

    // 30 to 69: the editor's messages.
    sNotLatin1 = 30,
    sPasswordNotStorable = 31,
    sValueLineBreak = 32,
    sChangedOnDisk = 33,
    sSourceNotShown = 34,
    sSourceReadOnly = 35,
    sHidesShippedLanguage = 50,
    sSectionNameEmpty = 51,

    // 70 to 99: the messages of runs.
    sLinkToFolderNotFollowed = 85,
    sDisplayWentAway = 86,

    // 100 to 199: the desktop: notifications, run logs, status, schedules.
    // 100 to 149: what a run did and how it ended.
    sRunSummaryCounts = 100,
    sRunNoProblems = 101,
    sRunProblemCount = 102,
    sRunProblemKinds = 103, // 103 to 110: the kinds of problems, in TRunProblem's order
    sRunStoppedByUser = 111,
    sRunStoppedByError = 112,
    sRunBeforeFirstSection = 113,
    sRunInSection = 114,
    sNoticeProblems = 115,
    sNoticeStoppedByError = 116,
    sNoticeStoppedByUser = 117,
    sNoticeCompleted = 118,
    sNoticeBody = 119,
    sRunAlreadyRunning = 120,
    sLastRun = 121,
    sEndedWithoutProblems = 122,
    sEndedWithProblems = 123,
    sEndedByError = 124,
    sEndedByUser = 125,
    sEndedUnfinished = 126,
    sRunningNow = 127,
    sNeverRun = 128,
    sLastSuccess = 129,
    sLastSuccessNever = 130,
    sStaleWarning = 131,
    sBatchUnreadable = 132,
    sRunLogPlace = 133,
    sRunNoticeCount = 134,
    sSystemctlMissing = 150,
    sServiceManagerUnreachable = 151,
    sScheduleRefused = 152,
    sCrontabInstead = 153,
    sNextRun = 154,
    sNotScheduled = 155,
    sCannotWriteUnit = 156,
    sCannotRemoveUnit = 157,
    sHelpPageWithoutBrowser = 158,
    sScheduleTitle = 159,
    // 160 to 179: the problem lines of the run itself (not the engine's) and how it may stop.
    sBeforeNotStarted = 160,
    sAfterNotStarted = 161,
    sBeforeFailed = 162,
    sAfterFailed = 163,
    sSectionNotRun = 164,
    sSectionNoSource = 165,
    sSectionNoArchive = 166,
    sSectionNoTarget = 167,
    sArchiveRemoved = 168,
    sLinkNotFollowed = 169,
    sCannotReadFolder = 170,
    sFileChangedWhileCopied = 171,
    sCannotCreateFolder = 172,
    sParametersDefect = 173,

    // 200 to 259: verifying and restoring.
    sVerifyEntryFailed = 200,
    sVerifyCopyFailed = 201,
    sRestoreOutside = 202,
    sRestoreLinkOutside = 203,
    sRestoreDamaged = 204,
    sRestoreWriteFailed = 205,
    sRestoreExists = 206,
    sArchiveUnreadable = 207,
    sRestoreSummary = 208,
    sTesting = 209,
    sRestoring = 210,
    sTestBadEntry = 211,
    sTestSummary = 212,
    sNoReadEngine = 213,
    sRestoreUsage = 214,
    sRestoreTitle = 215,
    sRestoreExistsQuestion = 216,
    sRestoreKeepBoth = 217,
    sRestoreSkip = 218,
    sRestoreForAll = 219,
    sRestorePassword = 220,
    sRestoreChooseFolder = 221,
    sRestoreListed = 222,
    sRestoreColumnName = 223,
    sRestoreColumnSize = 224,
    sRestoreColumnDate = 225,
    sRestoreNoMatch = 226,

    kAppStringCount = 260
};

// A list of texts addressed by number. Safe to use from several threads (each call locks).
class TvkStringList
{
public:
    // Starts with the default English texts.
    TvkStringList();

    // Number of texts in the table.
    int Count() const;
    // The text with that number; a number outside the table gives the empty text.
    std::string Get(int number) const;
    // Replaces the text with that number; a number outside the table changes nothing and gives
    // false.
    bool Set(int number, std::string text);
    // Puts every default text back (a switch back to the design language, and tests).
    void Reset();

    // The default English text of a number; empty outside the table and for unused numbers.
    static std::string DefaultText(int number);
    // Whether the number has a text (a default English one).
    static bool IsUsed(int number);

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

// The one table of the process; lives until the process ends.
TvkStringList& AppStrings();

// Shorthand for AppStrings().Get(number).
std::string AppString(int number);

// The text with "%1" to "%9" replaced by the arguments (a translation may put them in any order).
std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> arguments);
// FillText with arguments kept for later (a message number stored with its arguments).
std::string FillTextFrom(std::string_view pattern, const std::vector<std::string>& arguments);
// FillText of the current text of a number.
std::string AppText(int number, std::initializer_list<std::string_view> arguments);
// FillText of the default English text of a number (output that scripts read).
std::string EnglishText(int number, std::initializer_list<std::string_view> arguments);
