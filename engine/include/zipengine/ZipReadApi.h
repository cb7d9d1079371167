#pragma once
/*
 * Reading archives: the third export of the zip engine library, beside the two of ZipEngineApi.h.
 * The program tests archives with it, restores files from them, and the engine itself reads back an
 * archive it has just written when asked to (ZipExecParams::Verify).
 *
 *   int32_t ZipEngineRead(ZipReadParams* params);
 *       Reads the archive params->ArchivePath synchronously, on the calling thread. For each entry,
 *       in directory order, it calls Entry; the answer says what to do with it:
 *         ZIP_READ_SKIP     nothing; Done is not called.
 *         ZIP_READ_TEST     decompress and decrypt it, check its size and CRC-32; then Done.
 *         ZIP_READ_EXTRACT  as ZIP_READ_TEST, handing every decompressed byte to Data in order
 *                           (before the checks are complete: the caller keeps what it got apart
 *                           until Done says ZIP_ENTRY_OK); then Done.
 *         ZIP_READ_STOP     ends the call (ZIP_READ_STOPPED).
 *       A nonzero answer of Data or Done also stops. An entry that fails (ZIP_ENTRY_* codes) is
 *       reported through Done with a text giving the cause (English, without the names), and the
 *       reading goes on with the next entry. A fault of the archive as a whole (it cannot be opened,
 *       is no zip archive, its directory does not hold together) is reported through Done with a
 *       null entry and a text naming the archive, before anything else is called; it ends the call.
 *       Returns ZIP_READ_ALL_GOOD, ZIP_READ_BAD_ENTRIES (at least one Done reported a failure),
 *       ZIP_READ_UNREADABLE, ZIP_READ_STOPPED or ZIP_READ_BAD_PARAMS (null block, another
 *       Version or Check value, no archive path, no Entry callback).
 *
 * Versions: the block carries ZIP_READ_INTERFACE_VERSION; an engine that does not know the version
 * given refuses the block with ZIP_READ_BAD_PARAMS and calls nothing. The loader of the program
 * looks the export up with the two others; an engine without it still writes archives.
 *
 * Ownership and threads as for ZipEngineExec: the caller owns the block and every text it points
 * to; the pointers handed to the callbacks (entry, name, data, text) are valid during that callback
 * only. Calls on different threads are independent. No exception crosses the interface.
 *
 * What is read: stored and deflated entries (other methods are reported as ZIP_ENTRY_METHOD), ZIP64
 * records, data descriptors, traditional encryption, and archives with data in front of the zip
 * part, with or without offsets that count it (self-extractors). Archives split over several
 * volumes are refused as unreadable.
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZIP_READ_EXPORT "ZipEngineRead"
#define ZIP_READ_INTERFACE_VERSION 1
/* Value of ZipReadParams::Check, its last field. */
#define ZIP_READ_CHECK_VALUE 0x52454144

/* Answers of the Entry callback. */
enum ZipReadAnswer
{
    ZIP_READ_SKIP = 0,
    ZIP_READ_TEST = 1,
    ZIP_READ_EXTRACT = 2,
    ZIP_READ_STOP = 3
};

/* Results of one entry (the `result` argument of Done). */
enum ZipEntryResult
{
    ZIP_ENTRY_OK = 0,
    ZIP_ENTRY_CRC = 1,         /* the data does not match its CRC-32 */
    ZIP_ENTRY_SIZE = 2,        /* the data is longer or shorter than the directory says */
    ZIP_ENTRY_DAMAGED = 3,     /* local header missing, data outside the archive, or not valid deflate data */
    ZIP_ENTRY_PASSWORD = 4,    /* encrypted, and no password or a wrong one */
    ZIP_ENTRY_METHOD = 5,      /* compressed or encrypted by a method this engine does not read */
    ZIP_ENTRY_READ_FAILED = 6, /* the archive could not be read (system error) */
    ZIP_ENTRY_ARCHIVE = 7      /* null entry: the archive as a whole cannot be read */
};

/* Results of ZipEngineRead. */
enum ZipReadResult
{
    ZIP_READ_ALL_GOOD = 0,
    ZIP_READ_BAD_ENTRIES = 1,
    ZIP_READ_UNREADABLE = 2,
    ZIP_READ_STOPPED = 3,
    ZIP_READ_BAD_PARAMS = 4
};

/* Bits of ZipReadEntry::Flags. */
#define ZIP_ENTRY_DIRECTORY 0x01 /* a folder entry (name ends with "/" or the DOS folder attribute) */
#define ZIP_ENTRY_ENCRYPTED 0x02
#define ZIP_ENTRY_SYMLINK 0x04  /* a symbolic link; its data is the link's target */
#define ZIP_ENTRY_HAS_MODE 0x08 /* Mode holds Unix type and permission bits */
#define ZIP_ENTRY_UTF8 0x10     /* the writer marked the name as UTF-8 */

/* Bits of ZipReadParams::Flags. */
#define ZIP_READ_DROP_CACHE                                                                                            \
    0x01 /* sync the file and drop its cached pages first (where the system                                            \
            allows), so the data comes from the disk */

/* One entry, as the directory describes it. */
typedef struct ZipReadEntry
{
    const char* Name;    /* the stored name's bytes, NUL-terminated (a NUL inside ends it early) */
    uint32_t NameLength; /* bytes of the stored name */
    uint32_t Index;      /* position in the directory, from 0 */
    uint32_t Flags;      /* ZIP_ENTRY_* bits */
    uint32_t Mode;       /* Unix st_mode bits when ZIP_ENTRY_HAS_MODE, else 0 */
    uint32_t Crc;        /* CRC-32 the directory gives */
    uint16_t Method;     /* 0 stored, 8 deflated, others not read */
    uint16_t Reserved;
    uint64_t Size;           /* uncompressed size the directory gives */
    uint64_t CompressedSize; /* compressed size, the encryption header included */
    int64_t ModTime;         /* modification time, seconds since the epoch (UTC) */
    uint64_t EntryCount;     /* entries in the archive */
} ZipReadEntry;

typedef int32_t (*ZipReadEntryFn)(void* caller, const ZipReadEntry* entry);
typedef int32_t (*ZipReadDataFn)(void* caller, const void* data, size_t size);
typedef int32_t (*ZipReadDoneFn)(void* caller, const ZipReadEntry* entry, int32_t result, const char* text);
/* Asked when an encrypted entry's password is missing or wrong: writes a NUL-terminated password of
 * at most size - 1 bytes into buffer and returns 1, or returns 0 for none (the entry then fails with
 * ZIP_ENTRY_PASSWORD). A password that fits is kept for the following entries. */
typedef int32_t (*ZipReadPasswordFn)(void* caller, const ZipReadEntry* entry, char* buffer, int32_t size);

typedef struct ZipReadParams
{
    int32_t Version; /* ZIP_READ_INTERFACE_VERSION */
    int32_t Flags;   /* ZIP_READ_* bits */
    const char* ArchivePath;
    const char* Password;          /* tried first on encrypted entries; null: none */
    void* Caller;                  /* handed to every callback */
    ZipReadEntryFn Entry;          /* required */
    ZipReadDataFn Data;            /* required when any answer is ZIP_READ_EXTRACT */
    ZipReadDoneFn Done;            /* may be null */
    ZipReadPasswordFn AskPassword; /* may be null */
    int32_t Check;                 /* ZIP_READ_CHECK_VALUE */
} ZipReadParams;

typedef int32_t (*ZipEngineReadFn)(ZipReadParams* params);

#ifdef __cplusplus
}
#endif
