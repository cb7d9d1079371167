// The read export of libzipengine.so: walks the archive's entries and reads the ones the caller
// asks for. Nothing but plain data crosses it.

#include "EntryReader.h"
#include "zipengine/ZipReadApi.h"

#include <memory>
#include <new>
#include <string>

#define ZIPENGINE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Longest password asked for (the traditional cipher takes any length; this bounds the buffer).
constexpr int kPasswordBuffer = 256;

class ReadRun
{
public:
    explicit ReadRun(const ZipReadParams& params)
        : m_params(params), m_password(params.Password != nullptr ? params.Password : "")
    {
    }

    std::int32_t run()
    {
        std::unique_ptr<zipengine::EntryReader> reader;
        try {
            reader = std::make_unique<zipengine::EntryReader>(m_params.ArchivePath,
                                                              (m_params.Flags & ZIP_READ_DROP_CACHE) != 0);
        } catch (const zipengine::ArchiveUnreadable& e) {
            done(nullptr, e.code(), e.what());
            return ZIP_READ_UNREADABLE;
        }
        bool anyBad = false;
        for (std::size_t i = 0; i < reader->count(); ++i) {
            ZipReadEntry entry;
            reader->describe(i, entry);
            const std::int32_t answer = m_params.Entry(m_params.Caller, &entry);
            if (answer == ZIP_READ_STOP) {
                return ZIP_READ_STOPPED;
            }
            if (answer != ZIP_READ_TEST && answer != ZIP_READ_EXTRACT) {
                continue;
            }
            const bool extract = answer == ZIP_READ_EXTRACT && m_params.Data != nullptr;
            const zipengine::EntryReader::Sink sink = [this](const std::uint8_t* data, std::size_t size) {
                return m_params.Data(m_params.Caller, data, size) == 0;
            };
            std::string why;
            bool stopped = false;
            ZipEntryResult result = reader->read(i, m_password, extract ? &sink : nullptr, why, stopped);
            // A missing or wrong password: ask until an answer opens the entry or none comes.
            while (result == ZIP_ENTRY_PASSWORD && m_params.AskPassword != nullptr) {
                char buffer[kPasswordBuffer] = {};
                if (m_params.AskPassword(m_params.Caller, &entry, buffer, kPasswordBuffer) == 0) {
                    break;
                }
                buffer[kPasswordBuffer - 1] = '\0';
                const std::string tried = buffer;
                result = reader->read(i, tried, extract ? &sink : nullptr, why, stopped);
                if (result != ZIP_ENTRY_PASSWORD) {
                    m_password = tried;
                }
            }
            if (stopped) {
                return ZIP_READ_STOPPED;
            }
            anyBad = anyBad || result != ZIP_ENTRY_OK;
            if (done(&entry, result, why) != 0) {
                return ZIP_READ_STOPPED;
            }
        }
        return anyBad ? ZIP_READ_BAD_ENTRIES : ZIP_READ_ALL_GOOD;
    }

private:
    std::int32_t done(const ZipReadEntry* entry, std::int32_t result, const std::string& text)
    {
        return m_params.Done != nullptr ? m_params.Done(m_params.Caller, entry, result, text.c_str()) : 0;
    }

    const ZipReadParams& m_params;
    std::string m_password;
};

} // namespace

ZIPENGINE_EXPORT int32_t ZipEngineRead(ZipReadParams* params)
{
    if (params == nullptr || params->Version != ZIP_READ_INTERFACE_VERSION || params->Check != ZIP_READ_CHECK_VALUE ||
        params->ArchivePath == nullptr || params->Entry == nullptr) {
        return ZIP_READ_BAD_PARAMS;
    }
    try {
        ReadRun run(*params);
        return run.run();
    } catch (const std::bad_alloc&) {
        if (params->Done != nullptr) {
            params->Done(params->Caller, nullptr, ZIP_ENTRY_READ_FAILED, "out of memory");
        }
    } catch (...) {
        if (params->Done != nullptr) {
            params->Done(params->Caller, nullptr, ZIP_ENTRY_READ_FAILED, "unexpected failure");
        }
    }
    return ZIP_READ_UNREADABLE;
}
