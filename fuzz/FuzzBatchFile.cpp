// Fuzz target of the batch file reader and writer. The input is a batch file. It is loaded; when
// the loaded batch can be saved at all, what is written must load back to the same batch (values
// without their surrounding blanks) and be written again byte for byte the same. A batch that
// cannot be stored faithfully must be refused with EVorlandError, never written damaged.

#include "FuzzCheck.h"
#include "batch/IniFile.h"
#include "batch/p_BatchList.h"
#include "core/CoreErrors.h"
#include "core/vk_tools.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The input as a file the batch list can open by name. A memory file keeps the disk out of the
// fuzzing loop; it is closed again after the run.
class MemoryFile
{
public:
    explicit MemoryFile(std::string_view bytes)
    {
        m_fd = ::memfd_create("batch", MFD_CLOEXEC);
        if (m_fd < 0) {
            std::abort();
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                std::abort();
            }
            done += static_cast<std::size_t>(n);
        }
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~MemoryFile() { ::close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const std::string& path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
};

void load(TpxBatchList& list, std::string_view text)
{
    const MemoryFile file(text);
    list.LoadFromFile(file.path());
}

void checkSameBatch(const TpxBatchList& saved, const TpxBatchList& reloaded)
{
    check(TrimBlanks(saved.Before) == reloaded.Before);
    check(TrimBlanks(saved.After) == reloaded.After);
    check(TrimBlanks(saved.Password) == reloaded.Password);
    check(saved.UpdateZip == reloaded.UpdateZip);
    check(saved.Count() == reloaded.Count());
    for (int i = 0; i < saved.Count(); ++i) {
        const TBatchEntry& a = saved.Entries(i);
        const TBatchEntry& b = reloaded.Entries(i);
        check(TrimBlanks(a.Name) == b.Name);
        check(TrimBlanks(a.Zip) == b.Zip);
        check(TrimBlanks(a.Dir) == b.Dir);
        check(TrimBlanks(a.Suffix) == b.Suffix);
        check(TrimBlanks(a.Ignore) == b.Ignore);
        check(a.Compress == b.Compress && a.Recurse == b.Recurse && a.DirName == b.DirName);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // The reader on its own: every section and value it reports lies within the input.
    const IniFile ini = IniFile::Parse(text);
    for (const auto& section : ini.Sections()) {
        check(section.Name.size() <= size);
        for (const auto& [key, value] : section.Values) {
            check(key.size() + value.size() <= size);
            bool nonZero = false;
            (void)IniFile::ParseBoolean(value, nonZero);
        }
    }

    TpxBatchList first;
    load(first, text);
    std::string written;
    try {
        written = first.BatchFileText();
    } catch (const EVorlandError&) {
        return 0; // refused: nothing is written, nothing is lost
    }
    TpxBatchList second;
    // Parameters a file does not set keep their values: start from other ones, so a lost
    // parameter section shows.
    second.UpdateZip = !first.UpdateZip;
    second.Before = "lost";
    load(second, written);
    checkSameBatch(first, second);
    check(second.BatchFileText() == written);
    return 0;
}
