#pragma once
// The callback the zip engine calls while ZipEngineExec runs: a plain C function that finds its
// component through the record's Caller pointer. No exception ever leaves it: an error raised by
// an event handler is kept by the component, the engine is told to stop, and Add reports the error
// once the engine has returned.

#include "zipengine/ZipEngineApi.h"

#include <string>

extern "C" int32_t ZipCallback(ZipCallbackRec* record);

namespace zipcallback {

// The record's text up to its first NUL (never past the buffer), without trailing blanks and
// control characters.
std::string CleanText(const char (&text)[ZIP_CALLBACK_TEXT_SIZE]);

// Writes at most maxChars characters of `value` and a NUL into the record's text.
void WriteText(char (&text)[ZIP_CALLBACK_TEXT_SIZE], const std::string& value, std::size_t maxChars);

} // namespace zipcallback
