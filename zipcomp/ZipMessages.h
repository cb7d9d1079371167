#pragma once
// The zip component's numbered messages: identifiers, the English message table, formatting of a
// text with one inserted value, and the component's error class.

#include "core/CoreErrors.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zipmsg {

// The component's numbers start here; the engine's own codes are far below.
constexpr int kFirstComponentMessage = 10101;
constexpr int kEngineCallFailed = 10101;
constexpr int kNoArchiveName = 10102;
constexpr int kOutOfMemory = 10103;
constexpr int kCopyPrefix = 10105;
constexpr int kPasswordMismatch = 10104;
constexpr int kNewPasswordUnattended = 10150;
constexpr int kPasswordUnattended = 10151;
constexpr int kPwButtonOk = 10152;
constexpr int kPwButtonCancel = 10153;
constexpr int kPwTitle = 10154;
constexpr int kPwPrompt = 10155;
constexpr int kPwConfirm = 10156;
constexpr int kPwButtonCancelAll = 10157;
constexpr int kPwButtonAbort = 10158;
constexpr int kDirSeekFailed = 10201;
constexpr int kDirReadError = 10202;
constexpr int kDirDisplaced = 10203;
constexpr int kTrailingBytes = 10204;
constexpr int kNothingToAdd = 10301;
constexpr int kNoPasswordUnattended = 10302;
constexpr int kSpanWithUpdate = 10303;
constexpr int kSfxCreateFailed = 10304;
constexpr int kEngineLoaded = 10601;
constexpr int kNoExecExport = 10602;
constexpr int kNoVersionExport = 10603;
constexpr int kEngineNotLoadable = 10604;
constexpr int kSfxTextsTooLong = 10801;
constexpr int kSfxStubNotFound = 10802;
constexpr int kSfxNotZipName = 10803;
constexpr int kNotAvailable = 10899;
constexpr int kVolumeOpenFailed = 11001;
constexpr int kBadDriveLetter = 11003;
constexpr int kNoSuchDrive = 11004;
constexpr int kSetLabelFailed = 11005;
constexpr int kNoVolumeAnswer = 11006;
constexpr int kVolumeRefused = 11007;
constexpr int kEndSeekFailed = 11008;
constexpr int kVolumeCreateFailed = 11009;
constexpr int kVolumeWriteFailed = 11010;
constexpr int kEndReadFailed = 11011;
constexpr int kLocalHeaderShort = 11012;
constexpr int kCentralHeaderShort = 11013;
constexpr int kLocalHeaderSignature = 11014;
constexpr int kCentralHeaderSignature = 11015;
constexpr int kLocalNameShort = 11016;
constexpr int kCentralNameShort = 11017;
constexpr int kLocalExtraShort = 11018;
constexpr int kCentralExtraShort = 11019;
constexpr int kDescriptorShort = 11020;
constexpr int kDataShort = 11021;
constexpr int kEntryCommentShort = 11022;
constexpr int kArchiveCommentShort = 11023;
constexpr int kVolumeWriteError = 11024;
constexpr int kUnattendedQuestion = 11025;
constexpr int kNoLocalHeader = 11026;
constexpr int kSfxCentralWrite = 11029;
constexpr int kSfxEndWrite = 11030;
constexpr int kNotEnoughSpace = 11032;
constexpr int kInsertLastDisk = 11033;
constexpr int kInsertDiskOf = 11034;
constexpr int kInDrive = 11035;
constexpr int kNoEndRecord = 11036;
constexpr int kNoEndRecordFirstVolume = 11037;
constexpr int kNoEndRecordOtherLabel = 11038;
constexpr int kOverwriteFile = 11039;
constexpr int kOverwriteDisk = 11040;
constexpr int kSpanToExe = 11041;
constexpr int kSfxCopyData = 11042;
constexpr int kSfxSkipEnd = 11043;
constexpr int kSfxCopyComment = 11044;
constexpr int kNoEndRecordVolume = 11045;
constexpr int kInsertDisk = 11046;
constexpr int kCentralDirectoryName = 11047;

// The text of an identifier from the table, or nothing when the table has none.
std::optional<std::string> LookupText(int id);

// The general fallback for an identifier without a text.
std::string MissingText(int id);

// Every identifier that has a text, in ascending order (for checks of the table).
const int* TableIds(std::size_t& count);

// Inserts one value into a message text at its first conversion ("%d", "%.1d", "%s" and the
// like); "%%" stands for "%". A text without a conversion is returned unchanged. Unknown or
// malformed conversions are copied as they stand, so a translated text can never read arguments
// that are not there.
std::string FormatText(const std::string& text, const std::string& value);
std::string FormatText(const std::string& text, std::int64_t value);
// Two numbers at the first two conversions.
std::string FormatText(const std::string& text, std::int64_t first, std::int64_t second);

} // namespace zipmsg

// The zip component's error: a message identifier and whether it is shown in a message box.
class EZipComponent : public EVorlandError
{
public:
    // The identifier's text; shown when showDialog is true.
    EZipComponent(int messageId, bool showDialog);
    // The identifier's text with the number inserted; always shown.
    EZipComponent(int messageId, std::int64_t value);
    // The identifier's text with the text inserted; always shown.
    EZipComponent(int messageId, const std::string& value);
    EZipComponent(int messageId, const char* value) : EZipComponent(messageId, std::string(value)) {}

    int MessageId() const { return m_messageId; }
    bool ShowDialog() const { return m_showDialog; }

private:
    int m_messageId;
    bool m_showDialog;
};
