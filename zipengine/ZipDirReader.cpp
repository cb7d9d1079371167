#include "zipengine/ZipComp.h"

// Interim: the archive directory reader lands in the next step; until then no entries are read.
void TZipComponent::ReadDirectory()
{
    m_entries.clear();
    m_archiveComment.clear();
    m_stubSize = 0;
    m_skippedDirCount = 0;
    if (OnDirUpdate) {
        OnDirUpdate(*this);
    }
}
