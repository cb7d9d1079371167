#include "zipcomp/ZipCallback.h"

#include "core/UiInterfaces.h"
#include "zipcomp/ZipComp.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr std::int32_t kStop = -1;
constexpr std::int32_t kGoOn = 0;
// Longest answer text: the buffer less its NUL.
constexpr std::size_t kMaxAnswerText = ZIP_CALLBACK_TEXT_SIZE - 1;
// Longest password handed back to the engine.
constexpr std::size_t kMaxPasswordAnswer = 80;
constexpr std::uint32_t kMaxRepeatCount = 15;
constexpr std::int32_t kCrcNoHandler = 2;

// A size argument: the 64-bit value of a wide record, else the 32-bit field read as unsigned.
std::int64_t SizeArg(const ZipCallbackRec& record)
{
    if (record.RecordVersion >= ZIP_CALLBACK_RECORD_WIDE) {
        return record.Size64;
    }
    return static_cast<std::int64_t>(static_cast<std::uint32_t>(record.Arg2));
}

} // namespace

namespace zipcallback {

std::string CleanText(const char (&text)[ZIP_CALLBACK_TEXT_SIZE])
{
    const void* nul = std::memchr(text, '\0', ZIP_CALLBACK_TEXT_SIZE);
    std::size_t length = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - text)
                                        : static_cast<std::size_t>(ZIP_CALLBACK_TEXT_SIZE);
    while (length > 0) {
        const auto c = static_cast<unsigned char>(text[length - 1]);
        if (c > ' ' && c != 0x7F) {
            break;
        }
        --length;
    }
    return std::string(text, length);
}

void WriteText(char (&text)[ZIP_CALLBACK_TEXT_SIZE], const std::string& value, std::size_t maxChars)
{
    const std::size_t n = std::min({value.size(), maxChars, kMaxAnswerText});
    std::memcpy(text, value.data(), n);
    text[n] = '\0';
}

} // namespace zipcallback

extern "C" int32_t ZipCallback(ZipCallbackRec* record)
{
    return TZipComponent::EngineCallback(record);
}

std::int32_t TZipComponent::EngineCallback(ZipCallbackRec* record)
{
    if (record == nullptr || record->Caller == nullptr) {
        return kStop;
    }
    return static_cast<TZipComponent*>(record->Caller)->HandleCallback(*record);
}

std::int32_t TZipComponent::HandleCallback(ZipCallbackRec& record)
{
    // A handler already failed: the engine is to stop, whatever it reports now.
    if (m_callbackError) {
        return kStop;
    }
    try {
        DispatchCallback(record, zipcallback::CleanText(record.Text));
    } catch (...) {
        m_callbackError = std::current_exception();
        return kStop;
    }
    // The answer is fixed before the user interface runs: a cancel made there counts next time.
    const std::int32_t answer = m_cancel ? kStop : kGoOn;
    try {
        ProcessMessages();
    } catch (...) {
        m_callbackError = std::current_exception();
        return kStop;
    }
    return answer;
}

void TZipComponent::DispatchCallback(ZipCallbackRec& record, const std::string& text)
{
    switch (record.Action) {
    case ZIP_ACTION_NEW_FILE:
        if (OnProgress) {
            OnProgress(*this, ProgressType::NewFile, text, SizeArg(record));
        }
        break;
    case ZIP_ACTION_PROGRESS:
        if (OnProgress) {
            OnProgress(*this, ProgressType::ProgressUpdate, std::string(), SizeArg(record));
        }
        break;
    case ZIP_ACTION_END_OF_BATCH:
        if (OnProgress) {
            OnProgress(*this, ProgressType::EndOfBatch, std::string(), 0);
        }
        break;
    case ZIP_ACTION_MESSAGE:
        m_message = text;
        if (record.Arg1 != 0) {
            m_errCode = record.Arg1 & 0xFF;
            m_engineErrCode = record.Arg1;
        }
        if (OnMessage) {
            OnMessage(*this, record.Arg1, text);
        }
        break;
    case ZIP_ACTION_TOTAL_FILES:
        if (OnProgress) {
            OnProgress(*this, ProgressType::TotalFiles2Process, std::string(), static_cast<std::uint32_t>(record.Arg2));
        }
        break;
    case ZIP_ACTION_TOTAL_SIZE:
        m_announcedTotalSize = SizeArg(record);
        if (OnProgress) {
            OnProgress(*this, ProgressType::TotalSize2Process, std::string(), m_announcedTotalSize);
        }
        break;
    case ZIP_ACTION_NEW_NAME:
        AnswerNewName(record, text);
        break;
    case ZIP_ACTION_PASSWORD:
        HandlePasswordRequest(record, text);
        break;
    case ZIP_ACTION_CRC_ERROR:
        AnswerCrcError(record, text);
        break;
    case ZIP_ACTION_OVERWRITE:
        AnswerOverwrite(record, text);
        break;
    case ZIP_ACTION_SKIPPED:
        if (record.Arg1 != 0) {
            m_errCode = record.Arg1 & 0xFF;
            m_engineErrCode = record.Arg1;
        }
        if (OnExtractSkipped) {
            OnExtractSkipped(*this, text, static_cast<UnZipSkipTypes>((record.Arg2 & 0xFF) - 1), record.Arg1);
        }
        break;
    case ZIP_ACTION_FILE_COMMENT:
        AnswerFileComment(record, text);
        break;
    case ZIP_ACTION_STREAM_MEMORY:
        AnswerStreamMemory(record);
        break;
    default:
        break;
    }
}

void TZipComponent::AnswerNewName(ZipCallbackRec& record, const std::string& text)
{
    if (OnSetNewName) {
        std::string name = text;
        bool changed = false;
        OnSetNewName(*this, name, changed);
        if (changed) {
            zipcallback::WriteText(record.Text, name, kMaxAnswerText);
            record.Arg1 = 1;
        } else {
            record.Arg1 = 0;
        }
    }
}

void TZipComponent::AnswerCrcError(ZipCallbackRec& record, const std::string& text)
{
    if (OnCRC32Error) {
        bool doExtract = true;
        OnCRC32Error(*this, text, static_cast<std::uint32_t>(record.Arg1), static_cast<std::uint32_t>(record.Arg2),
                     doExtract);
        record.Arg1 = doExtract ? 1 : 0;
    } else {
        record.Arg1 = kCrcNoHandler;
    }
}

void TZipComponent::AnswerOverwrite(ZipCallbackRec& record, const std::string& text)
{
    if (OnExtractOverwrite) {
        const bool isOlder = (record.Arg1 & 0x10000) != 0;
        const std::int32_t dirIndex = record.Arg1 & 0xFFFF;
        bool doOverwrite = (record.Arg2 & 0xFF) != 0;
        OnExtractOverwrite(*this, text, isOlder, doOverwrite, dirIndex);
        record.Arg2 = doOverwrite ? 1 : 0;
    }
}

void TZipComponent::AnswerFileComment(ZipCallbackRec& record, const std::string& text)
{
    if (OnFileComment) {
        std::string comment;
        bool changed = false;
        OnFileComment(*this, text, comment, changed);
        if (changed && !comment.empty()) {
            zipcallback::WriteText(record.Text, comment, kMaxAnswerText);
        } else {
            zipcallback::WriteText(record.Text, std::string(), 0);
        }
        record.Arg1 = changed ? 1 : 0;
        record.Arg2 = static_cast<std::int32_t>(std::strlen(record.Text));
    }
}

void TZipComponent::AnswerStreamMemory(ZipCallbackRec& record)
{
    // A native pointer does not fit the 32-bit answer: it goes out in Size64, so only a wide
    // record can receive it; a narrow one gets the failure answer.
    const std::int64_t wanted = SizeArg(record);
    bool ok = record.RecordVersion >= ZIP_CALLBACK_RECORD_WIDE && wanted >= 0;
    if (ok) {
        try {
            m_zipStream.assign(static_cast<std::size_t>(wanted), 0);
        } catch (const std::bad_alloc&) {
            ok = false;
        } catch (const std::length_error&) {
            ok = false;
        }
    }
    if (ok) {
        record.Arg1 = 0;
        record.Arg2 = 0;
        record.Size64 = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(m_zipStream.data()));
    } else {
        record.Arg1 = 1;
        record.Arg2 = 0;
    }
}

void TZipComponent::HandlePasswordRequest(ZipCallbackRec& record, const std::string& text)
{
    std::uint32_t repeat = static_cast<std::uint32_t>(record.Arg2);
    std::string answer;
    bool cancelAll = false;
    bool abort = false;
    if (OnPasswordError) {
        TPasswordButton button = TPasswordButton::pwbOk;
        OnPasswordError(*this, record.IsZipAction != 0, answer, text, repeat, button);
        if (button != TPasswordButton::pwbOk) {
            answer.clear();
        }
        cancelAll = button == TPasswordButton::pwbCancelAll;
        abort = button == TPasswordButton::pwbAbort;
    } else if ((record.Arg1 & 1) != 0) {
        answer = AskNewPassword();
    } else {
        answer = AskPassword(cancelAll, abort);
    }
    if (!answer.empty()) {
        zipcallback::WriteText(record.Text, answer, kMaxPasswordAnswer);
        record.Arg1 = 1;
    } else {
        record.Arg1 = 0;
        repeat = 0;
    }
    record.Arg2 = static_cast<std::int32_t>(std::min(repeat, kMaxRepeatCount));
    if (cancelAll) {
        record.Action = 0;
    }
    if (abort) {
        m_cancel = true;
    }
}

std::string TZipComponent::AskNewPassword()
{
    if (m_unattended || m_prompter == nullptr) {
        ReportMessage(zipmsg::kNewPasswordUnattended);
        return {};
    }
    const int buttons = kPwButtonOk | kPwButtonCancel;
    std::string first;
    if (m_prompter->AskPassword(MessageText(zipmsg::kPwTitle), MessageText(zipmsg::kPwPrompt), buttons, first) !=
            PasswordResult::Ok ||
        first.empty()) {
        return {};
    }
    std::string second;
    if (m_prompter->AskPassword(MessageText(zipmsg::kPwTitle), MessageText(zipmsg::kPwConfirm), buttons, second) !=
            PasswordResult::Ok ||
        second.empty()) {
        return {};
    }
    if (first != second) {
        ReportMessage(zipmsg::kPasswordMismatch);
        return {};
    }
    return second;
}

std::string TZipComponent::AskPassword(bool& cancelAll, bool& abort)
{
    if (m_unattended || m_prompter == nullptr) {
        ReportMessage(zipmsg::kPasswordUnattended);
        return {};
    }
    std::string answer;
    const PasswordResult result = m_prompter->AskPassword(MessageText(zipmsg::kPwTitle), MessageText(zipmsg::kPwPrompt),
                                                          kPwButtonOk | kPwButtonCancel | kPwButtonCancelAll, answer);
    cancelAll = result == PasswordResult::CancelAll;
    abort = result == PasswordResult::Abort;
    return result == PasswordResult::Ok ? answer : std::string();
}
