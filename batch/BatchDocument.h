#pragma once
// The open batch file of the editor, without any window: which file it is, the text its Source
// page shows, the encoding the file is written in, whether the batch differs from its file, and
// whether the file was changed by someone else since it was read or saved.
//
// Encoding: a batch file is UTF-8, unless the bytes as read were not valid UTF-8; then the file is
// Latin-1 for as long as the document shows it (also after New, which keeps the parameters), and
// everything stored into it is Latin-1 too. Texts for the screen are always UTF-8 (ShownText);
// texts typed on the screen go back through StoredText, which refuses what the file's encoding
// cannot hold. Bytes nobody typed are never converted.
//
// The document edits the batch list it is given (owned by the caller, which must outlive it). GUI
// thread only, like the list.

#include <cstddef>
#include <string>
#include <string_view>

class TpxBatchList;

class TBatchDocument
{
public:
    explicit TBatchDocument(TpxBatchList& list);

    TpxBatchList& List() { return m_list; }
    // The open batch file ("" for an unnamed batch).
    const std::string& FileName() const { return m_fileName; }
    bool Latin1() const { return m_latin1; }

    // Opens a batch file: the sections, and the parameters of its parameter section, become the
    // list's; another file than the open one starts from the default parameters. A name of no
    // existing file gives an empty list under that name. A file that cannot be read raises
    // EInOutError naming it, and then nothing changes (name, list, parameters, Source text).
    void Open(const std::string& fileName);
    // An unnamed batch without sections; the parameters and the encoding stay.
    void New();

    // ---- texts between the file and the screen ----

    // A value or text of the file's encoding as UTF-8 for the screen.
    std::string ShownText(std::string_view stored) const;
    // UTF-8 text typed on the screen in the file's encoding. Raises EVorlandError naming the first
    // character that a Latin-1 file cannot hold.
    std::string StoredText(std::string_view shown) const;

    // ---- the Source page ----

    // The bytes the Source page shows (its lines end with CR LF, LF or CR).
    const std::string& SourceBytes() const { return m_sourceBytes; }
    // The Source text for the screen: UTF-8, lines ended by LF, the final line break kept (the
    // editor's empty last line stands after it).
    std::string SourceShownText() const;
    // The Source page shows what the list would write. Raises EVorlandError when the list holds a
    // value that cannot be stored (the Source text then stays as it was).
    void ShowListAsSource();
    // The bytes of text typed on the Source page: lines separated by LF as the editor has them;
    // every line gets CR LF, and an empty last line is the place after the final line break. Raises
    // EVorlandError as StoredText does.
    std::string TypedSourceBytes(std::string_view shown) const;
    // The list follows Source bytes (the batch file reader's rules; the parameters stay when the text
    // has no parameter section), which become the Source text.
    void ApplySource(std::string bytes);

    // ---- the file ----

    // Whether the batch differs from its file: unnamed, no such file, a file that cannot be read,
    // a value that cannot be stored, or a file that is not byte for byte what the list would write.
    bool DiffersFromFile() const;
    // True when the named file's content is no longer what was read or last saved here (a file that
    // appeared where there was none counts; a file that is gone does not).
    bool ChangedOnDisk() const;
    // Writes `bytes` as the batch file `fileName` (which becomes the document's name), replacing the
    // previous file only once the new one is complete. Raises EInOutError naming the file on failure,
    // and then the name stays as it was. Leftover temporary files of saves that were killed are
    // removed first (WriteBatchFile).
    void Save(const std::string& fileName, const std::string& bytes);
    // The bytes Save writes for the list (BatchFileText; same errors).
    std::string ListBytes() const;

private:
    void NoteDiskContent(const std::string* bytes);

    TpxBatchList& m_list;
    std::string m_fileName;
    bool m_latin1 = false;
    std::string m_sourceBytes;
    // What the file held when it was read or last saved: whether it existed, its size and a hash.
    bool m_diskExisted = false;
    std::size_t m_diskSize = 0;
    std::size_t m_diskHash = 0;
};
