#pragma once
// Caption files and about texts: reading their bytes (UTF-8, or Windows-1252 when the bytes are not
// valid UTF-8, so files written on the older platform still load), splitting lines (CR LF, LF or CR),
// the name=value entries with case-blind lookup, and writing them back as UTF-8 with CR LF.

#include "core/CaptionText.h"

#include <QString>
#include <QStringList>

// Decodes a text file's bytes: UTF-8 (a leading byte-order mark dropped) when valid, else Windows-1252.
QString DecodeLanguageText(const QByteArray& bytes);
// The decoded text of a file, split into lines at CR LF, LF or CR; false when it cannot be read.
bool ReadTextLines(const QString& fileName, QStringList& lines);

// The entries of a caption file: name=value lines. The name is everything before the first "=", the
// value everything after it (so a value may hold "="); names match without regard to the case of A to Z and
// the first line of a name counts; blanks are kept. Lines without "=" are ignored.
class TCaptionTable
{
public:
    void Clear();
    bool IsEmpty() const { return m_entries.IsEmpty(); }
    // Replaces the entries by the lines of a file; false (and no change) when it cannot be read.
    bool LoadFromFile(const QString& fileName);
    void SetLines(const QStringList& lines);
    // The value of a name; empty when the name is missing or its value is empty.
    QString Value(const QString& name) const;
    const TCaptionEntries& Entries() const { return m_entries; }

private:
    TCaptionEntries m_entries;
};

// Writes lines to a file as UTF-8, each ended by CR LF, replacing the file through a temporary file
// so a failed write leaves the old one. Throws EInOutError on any failure.
void WriteTextLines(const QString& fileName, const QStringList& lines);
