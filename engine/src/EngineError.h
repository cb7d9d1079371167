#pragma once
// The error the engine's units raise inside one ZipEngineExec call. It never crosses the exported C
// interface: the export turns it into one action-4 message and a result of 0.

#include "zipengine/ZipEngineApi.h"

#include <stdexcept>
#include <string>

namespace zipengine {

class EngineError : public std::runtime_error
{
public:
    EngineError(ZipEngineMessageCode code, const std::string& text) : std::runtime_error(text), m_code(code) {}
    ZipEngineMessageCode code() const { return m_code; }

private:
    ZipEngineMessageCode m_code;
};

// Raised when a callback answered nonzero; unwinds the call like an error, with ZIP_MSG_STOPPED.
class StopRequested : public EngineError
{
public:
    StopRequested() : EngineError(ZIP_MSG_STOPPED, "stopped on request; the archive was not changed") {}
};

// The text of an errno value.
std::string errnoText(int error);

} // namespace zipengine
