#pragma once
/*
 * The interface between the zip component (in the program) and the zip engine library
 * (libzipengine.so; ZIPENGINE.DLL on Windows).
 *
 * The component loads the library at run time and looks up two exports by name:
 *
 *   int32_t GetZipEngineVersion(void);
 *       The engine's version times 100. Engines of 151 or more receive a ZipExecParams block,
 *       engines of 150 or less a ZipLegacyExecParams block. Our engine announces 160.
 *
 *   int32_t ZipEngineExec(void* params);
 *       Runs one add operation described by the block, synchronously, on the calling thread.
 *       Returns the number of files added or replaced; 0 when nothing was added or the operation
 *       failed (the reason went out through action 4 of the callback). While it works it calls
 *       the callback of the block on the same thread; a nonzero answer of the callback asks the
 *       engine to stop promptly, leaving the previous archive as it was.
 *
 * Ownership: the caller allocates the block and every text and array it points to, keeps them
 * alive for the whole call and frees them afterwards. The engine keeps no pointer past its return
 * and lets no exception or other C++ type cross this interface.
 *
 * Layout: every field keeps its order and the width of the original 32-bit block; pointers are
 * native pointers. "Flag" fields hold -1 for true and 0 for false. Texts are NUL-terminated 8-bit
 * strings (UTF-8 on Linux); a null pointer means "absent". The block is zero-filled by the caller,
 * so every field not named here is 0. The number at the start of a field's comment is its offset
 * with 64-bit pointers (Linux x86-64 and AArch64, 64-bit Windows); the number in brackets is its
 * offset in the original 32-bit layout, which a 32-bit build has. The checks at the end of this
 * header pin both, and the sizes, so a change of layout does not build.
 *
 * Threads and nesting: the engine keeps no state between calls or across them. Calls may run at the
 * same time on different threads, each with its own block, callback and worker threads; callbacks
 * of a call arrive only on the thread that made it. Two calls on the same archive at the same time
 * both complete, each replacing the archive atomically with its own result: the archive is always
 * one of the two complete results, never a mix, but the changes of the call that renames first are
 * lost. A call from inside a callback is a separate, nested operation under the same rules (on the
 * archive of the outer call, the outer call's rename comes last and wins); the zip component never
 * makes one. The temporary archive of a running call is never removed by another call.
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The version the component announces in ZipExecParams::Version, and the one our engine reports. */
#define ZIP_ENGINE_INTERFACE_VERSION 160
/* Engines of this version or less receive the legacy block. */
#define ZIP_ENGINE_LEGACY_MAX_VERSION 150
/* Value of the Check field, the last field of both blocks. */
#define ZIP_EXEC_CHECK_VALUE 7
/* Number of file spec pointers in the legacy block. */
#define ZIP_LEGACY_MAX_SPECS 4097
/* Size of the text buffer of a callback record, the terminating NUL included. */
#define ZIP_CALLBACK_TEXT_SIZE 512

/* Names of the two exports, as looked up by the component. */
#define ZIP_ENGINE_EXEC_EXPORT "ZipEngineExec"
#define ZIP_ENGINE_VERSION_EXPORT "GetZipEngineVersion"

/* Suffixes stored without compression, in the order of the component's store-suffix set.
 * The store-suffix text is "." + suffix for each member present, joined by ":". */
#define ZIP_STORE_SUFFIX_COUNT 18
#define ZIP_STORE_SUFFIXES                                                                                             \
    {                                                                                                                  \
        "gif", "png", "z", "zip", "zoo", "arc", "lzh", "arj", "taz", "tgz", "lha", "rar", "ace", "cab", "gz", "gzip",  \
            "jar", "exe"                                                                                               \
    }

/* Callback action codes (ZipCallbackRec::Action). A20 and A24 are Arg1 and Arg2. */
enum ZipCallbackAction
{
    ZIP_ACTION_NEW_FILE = 1,      /* a file starts: Text = stored name, A24 = its size (see Size64) */
    ZIP_ACTION_PROGRESS = 2,      /* A24 = bytes done since the previous report (at least every MiB
                                     and at the file's end) */
    ZIP_ACTION_END_OF_BATCH = 3,  /* all is done */
    ZIP_ACTION_MESSAGE = 4,       /* Text = message naming the file and the cause; A20 = code
                                     (ZipEngineMessageCode, 0 for information only) */
    ZIP_ACTION_TOTAL_FILES = 5,   /* A24 = number of files to process */
    ZIP_ACTION_TOTAL_SIZE = 6,    /* A24 = total bytes to process (see Size64) */
    ZIP_ACTION_NEW_NAME = 7,      /* Text = entry name; answer: A20 = 1 and Text = new name */
    ZIP_ACTION_PASSWORD = 8,      /* password needed: A20 bit 0 = enter twice (new password),
                                     A24 = repeat count, IsZipAction; answer: A20 = 1 and Text =
                                     password (at most 80 characters), A20 = 0 for none; Action set
                                     to 0 means cancel-all */
    ZIP_ACTION_CRC_ERROR = 9,     /* extraction only */
    ZIP_ACTION_OVERWRITE = 10,    /* extraction only */
    ZIP_ACTION_SKIPPED = 11,      /* extraction only */
    ZIP_ACTION_FILE_COMMENT = 12, /* Text = entry name; answer: A20 = 1 and Text = comment */
    ZIP_ACTION_STREAM_MEMORY = 13 /* stream operations only; never used by this system */
};

/* Codes of action 4 (Arg1). The component keeps the low byte as its ErrCode and the whole value
 * as EngineErrCode. Codes below ZIP_MSG_FATAL_FIRST are problems the operation survives (the file
 * is skipped and the rest goes on), except the notices ZIP_MSG_INFO and ZIP_MSG_DIR_LINK_SKIPPED,
 * which tell what was done and are no problem; codes from ZIP_MSG_FATAL_FIRST on stop the operation
 * and leave the previous archive untouched. */
enum ZipEngineMessageCode
{
    ZIP_MSG_INFO = 0,             /* information (verbose output); no problem */
    ZIP_MSG_FILE_SKIPPED = 1,     /* a chosen file vanished or cannot be read; it was skipped */
    ZIP_MSG_FILE_CHANGED = 2,     /* a file changed size while it was read; stored as read */
    ZIP_MSG_MOVE_FAILED = 3,      /* a moved file could not be deleted after the archive was complete */
    ZIP_MSG_DIR_UNREADABLE = 4,   /* a folder could not be listed; its files were skipped */
    ZIP_MSG_NOTHING_TO_DO = 5,    /* no file matched; the archive was not changed */
    ZIP_MSG_DIR_LINK_SKIPPED = 6, /* a symbolic link to a folder was not followed; a notice, not a problem */
    ZIP_MSG_FATAL_FIRST = 16,
    ZIP_MSG_BAD_PARAMS = 16,     /* the block is not valid (wrong check value, missing archive path) */
    ZIP_MSG_BAD_ARCHIVE = 17,    /* the existing archive is damaged or is not a zip file; left as it is */
    ZIP_MSG_CANNOT_CREATE = 18,  /* the temporary archive cannot be created in the archive's folder */
    ZIP_MSG_WRITE_FAILED = 19,   /* writing the new archive failed (disk full, I/O error) */
    ZIP_MSG_REPLACE_FAILED = 20, /* the complete new archive could not be renamed over the old one */
    ZIP_MSG_NO_PASSWORD = 21,    /* encryption asked for and no password given */
    ZIP_MSG_NO_MEMORY = 22,      /* out of memory */
    ZIP_MSG_STOPPED = 23,        /* stopped by a nonzero callback answer */
    ZIP_MSG_INTERNAL = 24,       /* any other failure */
    ZIP_MSG_VERIFY_FAILED = 25   /* Verify: the new archive did not read back as written; it was
                                    removed and the previous archive left as it was. Text: the
                                    entry's name (empty when the archive as a whole failed), a line
                                    feed, then the cause */
};

struct ZipCallbackRec;

/* The callback: one argument, the record the engine owns; returns 0 to go on, nonzero to stop. */
typedef int32_t (*ZipCallbackFn)(struct ZipCallbackRec* record);

/* Value of ZipCallbackRec::RecordVersion when the record carries Size64. */
#define ZIP_CALLBACK_RECORD_WIDE 1

/* The record of one callback. The engine owns it; the component reads it and writes answers into
 * it before returning. */
typedef struct ZipCallbackRec
{
    void* Handle;                      /* 0 [0]: not read */
    void* Caller;                      /* 8 [4]: the Caller pointer of the block, copied */
    int32_t RecordVersion;             /* 16 [8]: ZIP_CALLBACK_RECORD_WIDE when Size64 is filled, else 0 */
    int32_t IsZipAction;               /* 20 [12]: action 8 only: nonzero for an add operation */
    int32_t Action;                    /* 24 [16]: ZipCallbackAction; action 8 answer 0 = cancel-all */
    int32_t Arg1;                      /* 28 [20]: A20, first argument / first answer */
    int32_t Arg2;                      /* 32 [24]: A24, second argument / second answer (sizes cut to 32 bits) */
    char Text[ZIP_CALLBACK_TEXT_SIZE]; /* 36 [28]: file name or message in; answer text out */
    /* Extension of this engine (RecordVersion >= 1): the full 64-bit value of A24 for actions 1, 2
     * and 6, so files and archives past 2 GiB are reported exactly. */
    int64_t Size64; /* 552 [540] */
} ZipCallbackRec;

/* How our engine reads the records: Recurse and Encrypt of each record decide for its files (the
 * caller copies the block's values into every record unless the line overrides them, so the block's
 * Recurse and Encrypt are not consulted on their own). An encrypting record without Password uses the
 * block's Password, and when that is absent too the engine asks once with action 8. */
/* One file spec, built from one line of FSpecArgs. */
typedef struct ZipSpecData
{
    const char* FileSpec;   /* 0 [0]: path pattern, without its leading marker and "<" part */
    int32_t Reserved4;      /* 8 [4] */
    int32_t Reserved8;      /* 12 [8] */
    const char* Password;   /* 16 [12]: this file spec's password; null for none */
    int32_t Encrypt;        /* 24 [16]: 0, -1, or 0xFFFF when the line has its own password */
    uint16_t Recurse;       /* 28 [20]: 0xFFFF to recurse, 0 not to */
    uint16_t Reserved22;    /* 30 [22] */
    int32_t Reserved24[3];  /* 32 [24] */
    const char* RootDir;    /* 48 [36]: base directory of a relative pattern (ends with the separator); null: none */
    int32_t Reserved40[16]; /* 56 [40] to the end: 120 [104] bytes */
} ZipSpecData;

/* The parameter block of engines of version 151 or more: 272 [216] bytes. */
typedef struct ZipExecParams
{
    void* Handle;                /* 0 [0]: main window handle; null when unattended */
    void* Caller;                /* 8 [4]: opaque, copied into every callback record */
    int32_t Version;             /* 16 [8]: ZIP_ENGINE_INTERFACE_VERSION */
    ZipCallbackFn Callback;      /* 24 [12] */
    int32_t Trace;               /* 32 [16]: flag */
    const char* Password;        /* 40 [20]: at most 81 characters; null when empty */
    const char* StoreSuffixes;   /* 48 [24]: ".gif:.png:..."; null when empty */
    int32_t Encrypt;             /* 56 [28]: flag */
    int32_t HiddenFiles;         /* 60 [32]: flag: include hidden files and folders */
    int32_t Volume;              /* 64 [36]: flag */
    int32_t Reserved40;          /* 68 [40]: 0 */
    int32_t NoDirEntries;        /* 72 [44]: flag: store no directory entries */
    int32_t Reserved48;          /* 76 [48]: 0 */
    int32_t Verbose;             /* 80 [52]: flag */
    int32_t AlwaysTrue56;        /* 84 [56]: -1 */
    int32_t Level;               /* 88 [60]: 0 to 9 */
    int32_t Reserved64;          /* 92 [64]: 0 */
    int32_t Reserved68;          /* 96 [68]: 0 */
    int32_t JunkDirNames;        /* 100 [72]: flag: store file names without their path */
    uint16_t Recurse;            /* 104 [76]: 0xFFFF to recurse */
    uint16_t Reserved78;         /* 106 [78]: 0 */
    int32_t AlwaysTrue80;        /* 108 [80]: -1 */
    int32_t ForceDOS;            /* 112 [84]: flag */
    int32_t Move;                /* 116 [88]: flag: delete the sources once the archive is in place */
    int32_t Reserved92;          /* 120 [92]: 0 */
    int32_t Update;              /* 124 [96]: flag */
    int32_t Freshen;             /* 128 [100]: flag; 0 when Update is set */
    int32_t Reserved104;         /* 132 [104]: 0 */
    int32_t ZipTime;             /* 136 [108]: flag */
    uint8_t Date[8];             /* 140 [112]: never set */
    int32_t SpecCount;           /* 148 [120]: number of ZipSpecData at Specs */
    const char* ArchivePath;     /* 152 [124]: the archive to write */
    const char* TempDir;         /* 160 [128]: folder for the temporary archive; null: the archive's folder */
    const char* ArchiveComment;  /* 168 [132]: comment to keep; null when none (160 and later) */
    uint16_t ArchiveOnly;        /* 176 [136] */
    uint16_t ResetArchive;       /* 178 [138] */
    ZipSpecData* Specs;          /* 184 [140] */
    int32_t Reserved144;         /* 192 [144]: 0 */
    int32_t ExcludeCount;        /* 196 [148] */
    const char* const* Excludes; /* 200 [152]: ExcludeCount exclusion masks */
    int32_t StreamFields[8];     /* 208 [156]: memory streams; never used, 0 */
    int32_t AllowUndo;           /* 240 [188]: flag */
    uint16_t CodePage;           /* 244 [192]: 2 = OEM names, else 0 */
    uint16_t Rebuild;            /* 246 [194]: this engine's addition, 0 in the original layout: 1
                                    to write the archive from nothing. The entries, comment and
                                    leading data of an existing archive are not kept (it is not
                                    even read); it is replaced, like an update, only once the new
                                    one is complete, and stays as it is when nothing was added. */
    uint16_t Verify;             /* 248 [196]: this engine's addition, 0 in the original layout: 1
                                    to read the new archive back from the disk before it replaces
                                    the old one: every entry written by this call decompressed and
                                    its CRC and size checked, every local header against the
                                    directory. A mismatch ends the call with ZIP_MSG_VERIFY_FAILED.
                                    Nothing written, nothing read. */
    uint8_t Reserved198[14];     /* 250 [198] */
    int32_t Check;               /* 264 [212]: ZIP_EXEC_CHECK_VALUE */
} ZipExecParams;

/* The block of engines of version 150 or less: the fields up to SpecCount and ArchivePath as in
 * ZipExecParams, the check value, then the file spec lines verbatim. */
typedef struct ZipLegacyExecParams
{
    void* Handle;
    void* Caller;
    int32_t Version;
    ZipCallbackFn Callback;
    int32_t Trace;
    const char* Password;
    const char* StoreSuffixes;
    int32_t Encrypt;
    int32_t HiddenFiles;
    int32_t Volume;
    int32_t Reserved40;
    int32_t NoDirEntries;
    int32_t Reserved48;
    int32_t Verbose;
    int32_t AlwaysTrue56;
    int32_t Level;
    int32_t Reserved64;
    int32_t Reserved68;
    int32_t JunkDirNames;
    uint16_t Recurse;
    uint16_t Reserved78;
    int32_t AlwaysTrue80;
    int32_t ForceDOS;
    int32_t Move;
    int32_t Reserved92;
    int32_t Update;
    int32_t Freshen;
    int32_t Reserved104;
    int32_t ZipTime;
    uint8_t Date[8];
    int32_t SpecCount;                       /* 148 [120] */
    const char* ArchivePath;                 /* 152 [124] */
    int32_t Check;                           /* 160 [128]: ZIP_EXEC_CHECK_VALUE */
    const char* Specs[ZIP_LEGACY_MAX_SPECS]; /* 168 [132] */
} ZipLegacyExecParams;

typedef int32_t (*ZipEngineExecFn)(void* params);
typedef int32_t (*GetZipEngineVersionFn)(void);

/* The layout pinned: the offsets of the comments above, for 64-bit and for 32-bit pointers. */
#ifdef __cplusplus
#define ZIP_ENGINE_ASSERT(condition, text) static_assert(condition, text)
#else
#define ZIP_ENGINE_ASSERT(condition, text) _Static_assert(condition, text)
#endif
#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
#define ZIP_ENGINE_AT(type, field, at64, at32)                                                                         \
    ZIP_ENGINE_ASSERT(offsetof(type, field) == (at64), #type "." #field " is not at " #at64)
ZIP_ENGINE_ASSERT(sizeof(ZipExecParams) == 272, "ZipExecParams is not 272 bytes");
ZIP_ENGINE_ASSERT(sizeof(ZipSpecData) == 120, "ZipSpecData is not 120 bytes");
ZIP_ENGINE_ASSERT(sizeof(ZipCallbackRec) == 560, "ZipCallbackRec is not 560 bytes");
ZIP_ENGINE_ASSERT(sizeof(ZipLegacyExecParams) == 168 + 8 * ZIP_LEGACY_MAX_SPECS, "ZipLegacyExecParams size");
#elif UINTPTR_MAX == 0xFFFFFFFFu
#define ZIP_ENGINE_AT(type, field, at64, at32)                                                                         \
    ZIP_ENGINE_ASSERT(offsetof(type, field) == (at32), #type "." #field " is not at " #at32)
ZIP_ENGINE_ASSERT(sizeof(ZipExecParams) == 216, "ZipExecParams is not 216 bytes");
ZIP_ENGINE_ASSERT(sizeof(ZipSpecData) == 104, "ZipSpecData is not 104 bytes");
ZIP_ENGINE_ASSERT(sizeof(ZipLegacyExecParams) == 132 + 4 * ZIP_LEGACY_MAX_SPECS, "ZipLegacyExecParams size");
#else
#error "the engine interface is laid out for 32-bit or 64-bit pointers only"
#endif
ZIP_ENGINE_AT(ZipCallbackRec, Caller, 8, 4);
ZIP_ENGINE_AT(ZipCallbackRec, RecordVersion, 16, 8);
ZIP_ENGINE_AT(ZipCallbackRec, IsZipAction, 20, 12);
ZIP_ENGINE_AT(ZipCallbackRec, Action, 24, 16);
ZIP_ENGINE_AT(ZipCallbackRec, Arg1, 28, 20);
ZIP_ENGINE_AT(ZipCallbackRec, Arg2, 32, 24);
ZIP_ENGINE_AT(ZipCallbackRec, Text, 36, 28);
ZIP_ENGINE_AT(ZipCallbackRec, Size64, 552, 540);
ZIP_ENGINE_AT(ZipSpecData, Password, 16, 12);
ZIP_ENGINE_AT(ZipSpecData, Encrypt, 24, 16);
ZIP_ENGINE_AT(ZipSpecData, Recurse, 28, 20);
ZIP_ENGINE_AT(ZipSpecData, RootDir, 48, 36);
ZIP_ENGINE_AT(ZipExecParams, Caller, 8, 4);
ZIP_ENGINE_AT(ZipExecParams, Version, 16, 8);
ZIP_ENGINE_AT(ZipExecParams, Callback, 24, 12);
ZIP_ENGINE_AT(ZipExecParams, Trace, 32, 16);
ZIP_ENGINE_AT(ZipExecParams, Password, 40, 20);
ZIP_ENGINE_AT(ZipExecParams, StoreSuffixes, 48, 24);
ZIP_ENGINE_AT(ZipExecParams, Encrypt, 56, 28);
ZIP_ENGINE_AT(ZipExecParams, HiddenFiles, 60, 32);
ZIP_ENGINE_AT(ZipExecParams, Volume, 64, 36);
ZIP_ENGINE_AT(ZipExecParams, Reserved40, 68, 40);
ZIP_ENGINE_AT(ZipExecParams, NoDirEntries, 72, 44);
ZIP_ENGINE_AT(ZipExecParams, Reserved48, 76, 48);
ZIP_ENGINE_AT(ZipExecParams, Verbose, 80, 52);
ZIP_ENGINE_AT(ZipExecParams, AlwaysTrue56, 84, 56);
ZIP_ENGINE_AT(ZipExecParams, Level, 88, 60);
ZIP_ENGINE_AT(ZipExecParams, Reserved64, 92, 64);
ZIP_ENGINE_AT(ZipExecParams, Reserved68, 96, 68);
ZIP_ENGINE_AT(ZipExecParams, JunkDirNames, 100, 72);
ZIP_ENGINE_AT(ZipExecParams, Recurse, 104, 76);
ZIP_ENGINE_AT(ZipExecParams, Reserved78, 106, 78);
ZIP_ENGINE_AT(ZipExecParams, AlwaysTrue80, 108, 80);
ZIP_ENGINE_AT(ZipExecParams, ForceDOS, 112, 84);
ZIP_ENGINE_AT(ZipExecParams, Move, 116, 88);
ZIP_ENGINE_AT(ZipExecParams, Reserved92, 120, 92);
ZIP_ENGINE_AT(ZipExecParams, Update, 124, 96);
ZIP_ENGINE_AT(ZipExecParams, Freshen, 128, 100);
ZIP_ENGINE_AT(ZipExecParams, Reserved104, 132, 104);
ZIP_ENGINE_AT(ZipExecParams, ZipTime, 136, 108);
ZIP_ENGINE_AT(ZipExecParams, Date, 140, 112);
ZIP_ENGINE_AT(ZipExecParams, SpecCount, 148, 120);
ZIP_ENGINE_AT(ZipExecParams, ArchivePath, 152, 124);
ZIP_ENGINE_AT(ZipExecParams, TempDir, 160, 128);
ZIP_ENGINE_AT(ZipExecParams, ArchiveComment, 168, 132);
ZIP_ENGINE_AT(ZipExecParams, ArchiveOnly, 176, 136);
ZIP_ENGINE_AT(ZipExecParams, ResetArchive, 178, 138);
ZIP_ENGINE_AT(ZipExecParams, Specs, 184, 140);
ZIP_ENGINE_AT(ZipExecParams, Reserved144, 192, 144);
ZIP_ENGINE_AT(ZipExecParams, ExcludeCount, 196, 148);
ZIP_ENGINE_AT(ZipExecParams, Excludes, 200, 152);
ZIP_ENGINE_AT(ZipExecParams, StreamFields, 208, 156);
ZIP_ENGINE_AT(ZipExecParams, AllowUndo, 240, 188);
ZIP_ENGINE_AT(ZipExecParams, CodePage, 244, 192);
ZIP_ENGINE_AT(ZipExecParams, Rebuild, 246, 194);
ZIP_ENGINE_AT(ZipExecParams, Verify, 248, 196);
ZIP_ENGINE_AT(ZipExecParams, Reserved198, 250, 198);
ZIP_ENGINE_AT(ZipExecParams, Check, 264, 212);
ZIP_ENGINE_AT(ZipLegacyExecParams, SpecCount, 148, 120);
ZIP_ENGINE_AT(ZipLegacyExecParams, ArchivePath, 152, 124);
ZIP_ENGINE_AT(ZipLegacyExecParams, Check, 160, 128);
ZIP_ENGINE_AT(ZipLegacyExecParams, Specs, 168, 132);
#undef ZIP_ENGINE_AT
#undef ZIP_ENGINE_ASSERT

#ifdef __cplusplus
}
#endif
