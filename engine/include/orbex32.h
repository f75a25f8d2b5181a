/* ORBEX32: the database engine's flat C interface (libORBEX32.so).
 *
 * dBASE III+/IV tables (.DBF) with memo files (.DBT) and the production
 * index (.MDX), opened shared, exclusive or read-only and kept consistent
 * between processes with file locks. Every entry answers a 16-bit result
 * (ORB_OK = 0), checks its arguments first, writes results only through its
 * out-parameters and never writes past the sizes it is given. Handles are
 * 32-bit values; 0 is never a valid handle.
 *
 * Entries are exported by name and, through OrbEntryByOrdinal, by the
 * ordinal given beside each one.
 *
 * Text is Windows-1252 throughout (the table's language driver byte 29 is
 * kept as found; new tables get ORB_LDID_ANSI_1252 = 0x57 unless told).
 */
#ifndef ORBEX32_H
#define ORBEX32_H

#include <stdint.h>

#ifdef __cplusplus
#define ORB_EXTERN_C extern "C"
#else
#define ORB_EXTERN_C
#endif
#define ORB_API ORB_EXTERN_C __attribute__((visibility("default")))

/* ---------------------------------------------------------------- results */

typedef uint16_t OrbResult;

/* The high byte is the class, the low byte the number within it. */
#define ORB_OK 0x0000

/* 0x21: the operating system refused a file operation. */
#define ORB_ERR_DISK_FULL 0x2101       /* no room left to write (ENOSPC, EFBIG, EDQUOT) */
#define ORB_ERR_WRITE_FAILED 0x2102    /* any other failed or short write */
#define ORB_ERR_READ_FAILED 0x2103     /* a read the file should have answered failed */
#define ORB_ERR_NO_SUCH_TABLE 0x2104   /* the table's file does not exist */
#define ORB_ERR_ACCESS_DENIED 0x2105   /* the system refused access to the file */
#define ORB_ERR_OPEN_FAILED 0x2106     /* any other failure to open or create a file */

/* 0x22: positions and searches. */
#define ORB_ERR_BOF 0x2201             /* before the first record */
#define ORB_ERR_EOF 0x2202             /* after the last record (end of table) */
#define ORB_ERR_RECORD_DELETED 0x2203  /* the record was deleted (or hidden) meanwhile */
#define ORB_ERR_NO_CURRENT_RECORD 0x2204
#define ORB_ERR_NO_MORE_ITEMS 0x2205   /* end of a list */
#define ORB_ERR_NOT_FOUND 0x2206       /* no record, key or bookmark matches */
#define ORB_ERR_BLOB_END 0x2207        /* a blob read went past the end of the memo */

/* 0x23: file content. */
#define ORB_ERR_CORRUPT 0x2301         /* a table or memo file whose structure is damaged */
#define ORB_ERR_NOT_DBASE 0x2302       /* not a dBASE table at all (foreign file) */
#define ORB_ERR_MEMO_MISSING 0x2303    /* the table has memo fields but its .DBT is missing */
#define ORB_ERR_MEMO_CORRUPT 0x2304    /* a memo's block chain or length is damaged */
#define ORB_ERR_INDEX_MISSING 0x2305   /* header byte 28 names a production .MDX that is missing */
#define ORB_ERR_INDEX_CORRUPT 0x2306   /* the .MDX is damaged */
#define ORB_ERR_INDEX_OUT_OF_STEP 0x2307 /* the .MDX may not match its table (a change was cut off):
                                          a writable open rebuilds it; a read-only one reads in natural
                                          order and answers this when a tag is chosen */
#define ORB_ERR_INDEX_STALE 0x2308  /* the .MDX's character tags were built in another sort order than
                                      the table's language driver gives: a writable open rebuilds them;
                                      a read-only one answers this when such a tag is chosen or searched */
#define ORB_ERR_ROLLBACK_PENDING 0x2309 /* an interrupted batch left its journal (<table>.JNL) and this open
                                           cannot write to undo it: open the table where it can be written */

/* 0x24: resources. */
#define ORB_ERR_NO_MEMORY 0x2401
#define ORB_ERR_TOO_MANY_OPEN 0x2402

/* 0x27: requests the engine cannot carry out as asked. */
#define ORB_ERR_INVALID_HANDLE 0x2701  /* a database, cursor or filter handle that is not open */
#define ORB_ERR_INVALID_PARAM 0x2702   /* a null pointer, a size too small, a value out of range */
#define ORB_ERR_NO_SUCH_FIELD 0x2703   /* field number or name not in the table */
#define ORB_ERR_NO_SUCH_INDEX 0x2704   /* no index tag of that name: nothing to delete or use */
#define ORB_ERR_NO_INDEX_SUPPORT 0x2705 /* the index module is not available */
#define ORB_ERR_FILTER_REFUSED 0x2706  /* an expression filter buffer that is malformed */
#define ORB_ERR_FIELD_TYPE 0x2707      /* the operation does not apply to this field type */
#define ORB_ERR_VALUE_TOO_LONG 0x2708  /* text longer than the field's width */
#define ORB_ERR_VALUE_RANGE 0x2709     /* a number or date that the field cannot hold */
#define ORB_ERR_INVALID_FIELD_DEF 0x270A /* a field definition a dBASE table cannot hold */
#define ORB_ERR_INDEX_EXISTS 0x270B    /* an index tag of that name exists already */
#define ORB_ERR_INVALID_EXPRESSION 0x270C /* an index key expression the engine cannot evaluate */
#define ORB_ERR_NOT_SUPPORTED 0x270D   /* an operation this engine does not offer */
#define ORB_ERR_CURSOR_BUSY 0x270E     /* a filter callback tried to move its own cursor */
#define ORB_ERR_BUFFER_TOO_SMALL 0x270F
#define ORB_ERR_QUERY_SYNTAX 0x2710    /* a query text the engine cannot read (EngineQueryErrorPosition) */
#define ORB_ERR_QUERY_FAILED 0x2711    /* a query that could not be carried out (detail in the context) */

/* 0x28: sharing. */
#define ORB_ERR_TABLE_IN_USE 0x2801    /* the table is open elsewhere in a way that refuses this open */
#define ORB_ERR_LOCKED 0x2802          /* a record or the header is locked by another program */
#define ORB_ERR_READ_ONLY 0x2803       /* the table was opened read-only */
#define ORB_ERR_NEED_EXCLUSIVE 0x2804  /* the operation needs the table opened exclusively */

/* The text of a code ("Unknown engine error" for codes not in the table);
 * never null, static storage. */
ORB_API const char* EngineErrorText(OrbResult code);
/* The same text copied into buf (size bytes with the terminator); answers
 * ORB_ERR_BUFFER_TOO_SMALL (text truncated) when it does not fit. */
ORB_API OrbResult EngineGetErrorText(OrbResult code, char* buf, uint32_t size); /* ord 60 */
/* Details of the last failure on this thread ("MASTER.DBF: header length 97
 * does not match 2 fields"), empty when the last entry succeeded. */
ORB_API OrbResult EngineGetErrorContext(char* buf, uint32_t size); /* ord 61 */

/* ---------------------------------------------------------------- handles */

typedef uint32_t OrbDatabase; /* a directory that holds tables */
typedef uint32_t OrbCursor;   /* one open table with its position, order and filters */
typedef uint32_t OrbFilter;   /* one filter of one cursor */

/* Open modes of a table. */
#define ORB_OPEN_SHARED 0     /* read and write; others may open shared or read-only */
#define ORB_OPEN_EXCLUSIVE 1  /* read and write; no other handle in any process */
#define ORB_OPEN_READ_ONLY 2  /* read; shares with shared and read-only opens */

/* Language drivers (header byte 29). */
#define ORB_LDID_ANSI_1252 0x57
#define ORB_LDID_OEM_437 0x01

/* ----------------------------------------------------------- databases */

/* A database is a directory; tables are named in it. directory may be "" or
 * null for the current directory. */
ORB_API OrbResult EngineOpenDatabase(const char* directory, OrbDatabase* db);      /* ord 1 */
ORB_API OrbResult EngineCloseDatabase(OrbDatabase db);                            /* ord 2 */

/* -------------------------------------------------------------- fields */

/* Field types, the dBASE type letters. */
#define ORB_FLD_CHAR 'C'
#define ORB_FLD_NUMERIC 'N'
#define ORB_FLD_FLOAT 'F'
#define ORB_FLD_DATE 'D'
#define ORB_FLD_LOGICAL 'L'
#define ORB_FLD_MEMO 'M'

/* Widths used when a create asks for width 0. */
#define ORB_DEFAULT_INT_WIDTH 11   /* N(11,0) */
#define ORB_DEFAULT_FLOAT_WIDTH 12 /* N(12,d), F(12,d) with d > 0; d defaults to 2 for F */

#define ORB_MAX_FIELD_NAME 10
#define ORB_MAX_CHAR_WIDTH 254

typedef struct OrbFieldDesc {
  char name[ORB_MAX_FIELD_NAME + 2]; /* zero-terminated; stored and reported upper case */
  char type;                         /* ORB_FLD_* letter */
  uint8_t decimals;                  /* N and F */
  uint16_t width;                    /* bytes in the record: C 1..254, N/F 1..20, D 8, L 1, M 10 */
  uint16_t number;                   /* reported: 1-based field number */
  uint32_t offset;                   /* reported: offset in the record buffer (byte 0 is the deletion flag) */
} OrbFieldDesc;

/* Value formats of EngineGetField / EnginePutField, by type:
 *   C  zero-terminated text, right-trimmed; needs width + 1 bytes
 *   N F  double (8 bytes)
 *   D  int32_t day number, 1 = 1 January of year 1 (proleptic Gregorian)
 *   L  int16_t, 1 true, 0 false
 *   M  uint32_t block number of the memo in the .DBT (read the text as a blob)
 * A blank field (spaces; "?" for L) reports *blank = 1 and a zero value. */

/* Size in bytes of a field's value in the formats above. */
#define ORB_VALUE_SIZE_NUMBER 8
#define ORB_VALUE_SIZE_DATE 4
#define ORB_VALUE_SIZE_LOGICAL 2
#define ORB_VALUE_SIZE_MEMO 4

/* Day numbers. */
ORB_API OrbResult EngineEncodeDate(int32_t year, int32_t month, int32_t day, int32_t* dayNumber); /* ord 62 */
ORB_API OrbResult EngineDecodeDate(int32_t dayNumber, int32_t* year, int32_t* month, int32_t* day); /* ord 63 */

/* --------------------------------------------------------------- tables */

/* Creates the table from its fields. An existing file is replaced only
 * when nobody has it open (else ORB_ERR_TABLE_IN_USE); a stale production
 * .MDX of the same name is removed, a .DBT is created when there are memo
 * fields. languageDriver 0 means ORB_LDID_ANSI_1252. tableName is the file
 * name with or without ".DBF", or a full path. */
ORB_API OrbResult EngineCreateTable(OrbDatabase db, const char* tableName, uint16_t fieldCount,
                                    const OrbFieldDesc* fields, uint8_t languageDriver); /* ord 3 */

/* Opens a table: tableName as for EngineCreateTable (MY.VIVO is MY.VIVO.DBF;
 * a name ending in ".DBF" is the file itself). The new cursor is before the
 * first record in natural order.
 *
 * A header whose record count exceeds the records in the file (an
 * interrupted write by another tool) is trusted only as far as the file
 * goes: the cursor sees the whole records present and
 * OrbTableInfo.recordsTrimmed says how many counted records were missing;
 * the header is corrected on the next write. Records beyond the count (an
 * append interrupted before its count was written) are never shown. */
ORB_API OrbResult EngineOpenTable(OrbDatabase db, const char* tableName, uint16_t openMode,
                                  OrbCursor* cursor);                                /* ord 4 */
ORB_API OrbResult EngineCloseCursor(OrbCursor cursor);                              /* ord 5 */

typedef struct OrbTableInfo {
  char path[1024];         /* the table's file */
  uint16_t openMode;       /* ORB_OPEN_* */
  uint16_t fieldCount;
  uint32_t recordSize;     /* bytes of a record buffer, the deletion flag included */
  uint32_t physicalCount;  /* records in the file, deleted ones included */
  uint32_t recordsTrimmed; /* counted in the header at open but missing from the file */
  uint8_t version;         /* header byte 0 */
  uint8_t languageDriver;  /* header byte 29 */
  uint8_t hasProductionIndex; /* header byte 28 */
  uint8_t hasMemo;
  int32_t lastUpdate;      /* day number of the header's date of last update */
  uint16_t indexCount;     /* tags of the production index in use */
  uint16_t keyOrder;        /* how texts sort: 1 in the language driver's order; byte order because
                               2 SLW32 has no locale for the driver, 3 SLW32 could not be loaded */
} OrbTableInfo;

ORB_API OrbResult EngineGetTableInfo(OrbCursor cursor, OrbTableInfo* info);          /* ord 6 */
/* Copies up to capacity descriptors; *count gets the field count. */
ORB_API OrbResult EngineGetFieldDescs(OrbCursor cursor, uint16_t capacity, OrbFieldDesc* fields,
                                      uint16_t* count);                               /* ord 7 */
/* The 1-based number of the named field (case-insensitive). */
ORB_API OrbResult EngineFieldNumber(OrbCursor cursor, const char* name, uint16_t* fieldNumber); /* ord 8 */

/* ------------------------------------------------------------- cursors */

/* Records deleted (flag "*") are invisible to every cursor operation until
 * a pack removes them; so are records rejected by an active filter.
 * A cursor stands on a record, before the first (BOF) or after the last
 * (EOF). Record buffers hold the raw dBASE record, recordSize bytes. */

typedef struct OrbRecordInfo {
  uint32_t recordNumber;   /* 1-based physical record number */
  uint32_t sequenceNumber; /* 1-based position among visible records in the current order, 0 unknown */
  int32_t deleted;         /* the record's deletion flag */
} OrbRecordInfo;

ORB_API OrbResult EngineSetToBegin(OrbCursor cursor);                                 /* ord 9 */
ORB_API OrbResult EngineSetToEnd(OrbCursor cursor);                                   /* ord 10 */
/* Moves to the next visible record and copies it (record may be null). */
ORB_API OrbResult EngineGetNextRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize,
                                      OrbRecordInfo* info);                           /* ord 16 */
ORB_API OrbResult EngineGetPriorRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize,
                                       OrbRecordInfo* info);                          /* ord 17 */
/* The current record, re-read from the file. */
ORB_API OrbResult EngineGetRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize,
                                  OrbRecordInfo* info);                               /* ord 18 */
/* Moves by offset visible records (0 re-reads the current one); stops at
 * BOF/EOF with that code. */
ORB_API OrbResult EngineGetRelativeRecord(OrbCursor cursor, int32_t offset, uint8_t* record,
                                          uint32_t recordSize, OrbRecordInfo* info);  /* ord 19 */
/* First and last visible record. */
ORB_API OrbResult EngineGetFirstRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize,
                                       OrbRecordInfo* info);                          /* ord 14 */
ORB_API OrbResult EngineGetLastRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize,
                                      OrbRecordInfo* info);                           /* ord 15 */
/* Visible records, honouring filters and range. */
ORB_API OrbResult EngineGetRecordCount(OrbCursor cursor, uint32_t* count);            /* ord 21 */
/* Sequence number of the current record among the visible ones. */
ORB_API OrbResult EngineGetSeqNo(OrbCursor cursor, uint32_t* sequenceNumber);         /* ord 25 */
/* Stands on the visible record of that sequence number. */
ORB_API OrbResult EngineSetToSeqNo(OrbCursor cursor, uint32_t sequenceNumber);        /* ord 222 */
/* Stands on the physical record (ORB_ERR_RECORD_DELETED when it is not visible). */
ORB_API OrbResult EngineSetToRecordNo(OrbCursor cursor, uint32_t recordNumber);       /* ord 223 */
/* Re-reads the header: records appended or changed by other handles appear. */
ORB_API OrbResult EngineForceReread(OrbCursor cursor);                                /* ord 26 */

/* Bookmarks: opaque, ORB_BOOKMARK_SIZE bytes, valid for the cursor that made
 * them (and its table) until a pack. */
#define ORB_BOOKMARK_SIZE 16
ORB_API OrbResult EngineGetBookmark(OrbCursor cursor, uint8_t* bookmark, uint32_t size); /* ord 27 */
ORB_API OrbResult EngineSetToBookmark(OrbCursor cursor, const uint8_t* bookmark);     /* ord 28 */
/* *result: <0, 0, >0 as a stands before, with, after b in the current order. */
ORB_API OrbResult EngineCompareBookmarks(OrbCursor cursor, const uint8_t* a, const uint8_t* b,
                                         int32_t* result);                            /* ord 30 */

/* ------------------------------------------------------- record buffers */

/* Fills a record buffer with a blank live record. */
ORB_API OrbResult EngineInitRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize); /* ord 40 */
/* One field of a record buffer (any buffer of this table: also the one a
 * filter callback receives), in the value formats above. valueSize is the
 * size of value in bytes. */
ORB_API OrbResult EngineGetField(OrbCursor cursor, uint16_t fieldNumber, const uint8_t* record,
                                 void* value, uint32_t valueSize, int32_t* blank);    /* ord 207 */
/* Sets one field of a record buffer; value null makes it blank. Text longer
 * than the width is refused (ORB_ERR_VALUE_TOO_LONG), a number that does not
 * fit is refused (ORB_ERR_VALUE_RANGE); nothing is written then. */
ORB_API OrbResult EnginePutField(OrbCursor cursor, uint16_t fieldNumber, uint8_t* record,
                                 const void* value);                                  /* ord 208 */
/* Appends the record (dBASE tables keep insertion order) and stands on it.
 * The record is written, then the header count: a crash leaves no half
 * record counted. Memos written into the buffer's blobs are stored first. */
ORB_API OrbResult EngineInsertRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize); /* ord 41 */
/* Rewrites the current record from the buffer. */
ORB_API OrbResult EngineModifyRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize); /* ord 42 */
/* Marks the current record deleted; the cursor stays between its
 * neighbours (next gives the following record). */
ORB_API OrbResult EngineDeleteRecord(OrbCursor cursor);                               /* ord 43 */

/* ------------------------------------------------------------ batches */

/* A batch: every change made through the cursor's table in this process
 * (appends, modifies, deletes, memos), until EngineCommitBatch or
 * EngineRollbackBatch, reaches the files as one: all of it or none of it,
 * also across a kill, a crash or a full disk, synced once at the commit
 * instead of at every post. A rollback journal "<table>.JNL" beside the
 * table holds what the batch changes in place; any later open that finds
 * one no live batch holds undoes it first (ORB_ERR_ROLLBACK_PENDING where
 * that open cannot write). Other programs see none of the batch's appends
 * before the commit (the header count moves only then); in a shared open
 * the batch holds the append lock from begin to end, so their appends
 * wait. The production index is brought back (rebuilt) after a rollback.
 * Begin answers ORB_ERR_READ_ONLY on a read-only open and
 * ORB_ERR_INVALID_PARAM inside a batch; commit and rollback answer
 * ORB_ERR_INVALID_PARAM without one. A commit that fails rolls back and
 * answers why; so does a change whose write fails inside the batch, and
 * the batch's later changes and its commit then answer that failure too
 * (its rollback answers ORB_OK). Closing the cursor that began the batch,
 * or the database it was opened in, rolls it back. Packing, adding,
 * deleting and rebuilding indexes are refused inside a batch
 * (ORB_ERR_INVALID_PARAM). */
ORB_API OrbResult EngineBeginBatch(OrbCursor cursor);                                 /* ord 44 */
ORB_API OrbResult EngineCommitBatch(OrbCursor cursor);                                /* ord 45 */
ORB_API OrbResult EngineRollbackBatch(OrbCursor cursor);                              /* ord 46 */

/* ------------------------------------------------------------ filters */

/* Called for every record a fetch, count or refresh considers; answers 1
 * to keep the record and 0 to hide it. It may read fields of the buffer it
 * gets (EngineGetField) but must not move its cursor (such calls answer
 * ORB_ERR_CURSOR_BUSY). */
typedef int (*OrbRecordFilterFn)(void* context, const uint8_t* record, uint32_t recordNumber);

/* Adds a filter to the cursor, inactive. expression is an engine filter
 * buffer (layout in the filter compiler's header); one whose nodes, offsets
 * or field names do not hold together is refused with ORB_ERR_FILTER_REFUSED. Exactly one of expression and recordFn is
 * given. priority orders the filters (lower first); canAbort is kept. */
ORB_API OrbResult EngineAddFilter(OrbCursor cursor, void* context, uint16_t priority,
                                  int32_t canAbort, const uint8_t* expression,
                                  OrbRecordFilterFn recordFn, OrbFilter* filter);     /* ord 840 */
ORB_API OrbResult EngineDeactivateFilter(OrbCursor cursor, OrbFilter filter);         /* ord 841 */
ORB_API OrbResult EngineActivateFilter(OrbCursor cursor, OrbFilter filter);           /* ord 842 */
ORB_API OrbResult EngineDropFilter(OrbCursor cursor, OrbFilter filter);               /* ord 843 */
/* The buffer of an expression filter as it was added (its literals
 * included); *length gets its size, also when size is too small
 * (ORB_ERR_BUFFER_TOO_SMALL, nothing copied then). */
ORB_API OrbResult EngineGetFilterBuffer(OrbCursor cursor, OrbFilter filter, uint8_t* buffer, uint32_t size,
                                        uint32_t* length);                            /* ord 845 */

/* --------------------------------------------------------------- blobs */

/* A memo field of a record buffer, opened for reading or for writing. The
 * blob belongs to (cursor, record buffer, field): writes stay in memory and
 * are stored in the .DBT when that buffer is inserted or modified. */
#define ORB_BLOB_READ_ONLY 0
#define ORB_BLOB_READ_WRITE 1
#define ORB_MAX_BLOB_CHUNK 32768u /* bytes per EngineGetBlob call callers rely on */

ORB_API OrbResult EngineOpenBlob(OrbCursor cursor, uint8_t* record, uint16_t fieldNumber,
                                 uint16_t mode);                                      /* ord 100 */
ORB_API OrbResult EngineGetBlobSize(OrbCursor cursor, const uint8_t* record, uint16_t fieldNumber,
                                    uint32_t* size);                                  /* ord 101 */
/* Copies up to length bytes from offset; *bytesRead gets how many. Fewer
 * than asked (the end was reached) answers ORB_ERR_BLOB_END with the bytes
 * that were there. */
ORB_API OrbResult EngineGetBlob(OrbCursor cursor, const uint8_t* record, uint16_t fieldNumber,
                                uint32_t offset, uint32_t length, uint8_t* dest,
                                uint32_t* bytesRead);                                 /* ord 102 */
/* Writes length bytes at offset (the memo grows as needed). */
ORB_API OrbResult EnginePutBlob(OrbCursor cursor, uint8_t* record, uint16_t fieldNumber,
                                uint32_t offset, uint32_t length, const uint8_t* src); /* ord 103 */
/* Cuts the memo to length bytes (0 empties it). */
ORB_API OrbResult EngineTruncateBlob(OrbCursor cursor, uint8_t* record, uint16_t fieldNumber,
                                     uint32_t length);                                /* ord 104 */
ORB_API OrbResult EngineFreeBlob(OrbCursor cursor, uint8_t* record, uint16_t fieldNumber); /* ord 105 */

/* ------------------------------------------------ pack and regeneration */

/* Removes deleted records for good and rebuilds the indexes when
 * regenIndexes is set. The table is the cursor's when cursor is not 0 (it
 * must be open exclusively), else tableName in db opened exclusively for
 * the run. driverType is "DBASE" or null. */
ORB_API OrbResult EnginePack(OrbDatabase db, OrbCursor cursor, const char* tableName,
                             const char* driverType, int32_t regenIndexes);           /* ord 246 */
/* Rebuilds every index tag of the cursor's table from the data. */
ORB_API OrbResult EngineRegenIndexes(OrbCursor cursor);                               /* ord 249 */

/* Progress of EnginePack and EngineRegenIndexes on the calling thread:
 * called with done 0 at the start, at most once for each further whole
 * percent, and with done == total at the end (a pack's count covers its
 * index rebuild too). It runs inside the engine and must not call it. A
 * null fn stops the reports. */
typedef void (*OrbProgressFn)(void* user, uint32_t done, uint32_t total);
ORB_API OrbResult EngineSetProgressCallback(OrbProgressFn fn, void* user);            /* ord 250 */

/* --------------------------------------------------------------- indexes */

#define ORB_MAX_TAG_NAME 10
#define ORB_MAX_KEY_EXPRESSION 220

/* Index options. */
#define ORB_IDX_UNIQUE 0x0001
#define ORB_IDX_DESCENDING 0x0002
#define ORB_IDX_EXPRESSION 0x0004   /* the key is an expression (else a field name) */
#define ORB_IDX_CASE_INSENSITIVE 0x0008 /* reported for keys built by Upper(...) */

typedef struct OrbIndexDesc {
  char tagName[ORB_MAX_TAG_NAME + 2];          /* zero-terminated; compared without case */
  char expression[ORB_MAX_KEY_EXPRESSION + 1]; /* key expression, or the field name */
  char keyType;                                /* reported: 'C', 'N' or 'D' */
  uint16_t options;                            /* ORB_IDX_* */
  uint16_t keyLength;                          /* reported: key bytes */
  uint16_t fieldCount;                         /* reported: 1 for a key on one field, else 0 */
  uint16_t fieldNumbers[16];                   /* reported: the key's field for fieldCount 1 */
} OrbIndexDesc;

/* Adds a tag to the table's production index (creating the .MDX and setting
 * header byte 28). The table is the cursor's when cursor is not 0, else
 * tableName in db opened exclusively for the run. */
ORB_API OrbResult EngineAddIndex(OrbDatabase db, OrbCursor cursor, const char* tableName,
                                 const OrbIndexDesc* index);                          /* ord 50 */
/* Deletes a tag; ORB_ERR_NO_SUCH_INDEX when there is none of that name. */
ORB_API OrbResult EngineDeleteIndex(OrbDatabase db, OrbCursor cursor, const char* tableName,
                                    const char* tagName);                             /* ord 51 */
/* Makes the tag the cursor's order (null or "" for natural order); the
 * cursor stays on its record when that record is visible, else BOF. */
ORB_API OrbResult EngineSwitchToIndex(OrbCursor cursor, const char* tagName);         /* ord 52 */
/* The active tag's name, "" in natural order. */
ORB_API OrbResult EngineGetActiveIndex(OrbCursor cursor, char* tagName, uint32_t size); /* ord 53 */
/* Copies up to capacity descriptors; *count gets the number of tags. */
ORB_API OrbResult EngineGetIndexDescs(OrbCursor cursor, uint16_t capacity, OrbIndexDesc* indexes,
                                      uint16_t* count);                               /* ord 54 */

/* Key searches in the active tag. The key is built from the fields of a
 * record buffer by the tag's expression (EngineSetToKey) or given as the
 * key's text for a character key (EngineSetToKeyText). partialLength is the
 * number of leading key bytes compared, 0 for the whole key.
 * ORB_KEY_EQ stands on the first equal key (ORB_ERR_NOT_FOUND when none,
 * the cursor then before the nearest greater key); ORB_KEY_GE on the
 * first key >= the search key (ORB_ERR_EOF when none); ORB_KEY_GT on the
 * first key > it. */
#define ORB_KEY_EQ 0
#define ORB_KEY_GE 1
#define ORB_KEY_GT 2
ORB_API OrbResult EngineSetToKey(OrbCursor cursor, uint16_t searchMode, uint16_t partialLength,
                                 const uint8_t* record);                              /* ord 55 */
ORB_API OrbResult EngineSetToKeyText(OrbCursor cursor, uint16_t searchMode, const char* keyText,
                                     uint16_t partialLength);                         /* ord 56 */
/* Limits the cursor to keys from low to high of the active tag (either
 * record may be null for an open end; the lengths as above). */
ORB_API OrbResult EngineSetRange(OrbCursor cursor, uint16_t lowPartialLength,
                                 const uint8_t* lowRecord, int32_t lowIncluded,
                                 uint16_t highPartialLength, const uint8_t* highRecord,
                                 int32_t highIncluded);                              /* ord 57 */
ORB_API OrbResult EngineResetRange(OrbCursor cursor);                                 /* ord 58 */

/* ------------------------------------------------------------- queries */

/* A statement is SQL or query by example over the tables of a database's
 * directory. SQL is SQLite's dialect; a table is named as for
 * EngineOpenTable (quote names that are no plain words: "MY.VIVO"). Column
 * values: C and M text, N and F integer (no decimals) or real, D text
 * "YYYY-MM-DD", L 1 or 0; a blank field is NULL. Writes go through the
 * engine's cursors and locks, record by record: a failing write stops the
 * statement, the records already written stay, EngineQueryRowsAffected
 * says how many. CREATE, DROP and ALTER answer ORB_ERR_NOT_SUPPORTED.
 *
 * Query by example, one table per query:
 *   TABLE | FIELD | FIELD |
 *         | cell  | cell  |      (one or more example rows)
 * A cell holds an optional "Check" (the column is answered) and conditions
 * separated by ",", all of which must hold: value or "= value", "<>", "<",
 * "<=", ">", ">=", "BLANK", "NOT BLANK"; ".." in a text matches any run of
 * characters; double quotes keep a value literal. A record passes when one
 * row holds. Text compares without regard to case, numbers use ".", dates
 * are m/d/yyyy. The answer is the checked columns (all when none), distinct,
 * ordered by them.
 *
 * An answer is a snapshot: a dBASE table in the engine's private folder,
 * opened read-only as an ordinary cursor (close it with EngineCloseCursor).
 * A column read plainly from a field keeps its type and width; computed
 * ones become N(20,0), N(20,6) or C (the longest value, up to 254; longer
 * as M). Names are upper case, cut to 10 characters and made unique. */
typedef uint32_t OrbStatement;

#define ORB_QUERY_SQL 1
#define ORB_QUERY_QBE 2

/* Statement properties. */
#define ORB_QPROP_BLANK_AS_ZERO 0x60023 /* QBE: 1 makes blank numbers 0 (default 0: a blank number matches no comparison) */
#define ORB_QPROP_AUX_TABLES 0x60026    /* kept; no effect */

ORB_API OrbResult EngineQueryAlloc(OrbDatabase db, uint16_t language, OrbStatement* stmt);    /* ord 131 */
/* A syntax error answers ORB_ERR_QUERY_SYNTAX; EngineQueryErrorPosition
 * then gives its 1-based line and column. */
ORB_API OrbResult EngineQueryPrepare(OrbStatement stmt, const char* text);                 /* ord 132 */
ORB_API OrbResult EngineQueryGetProp(OrbStatement stmt, uint32_t prop, uint32_t* value);    /* ord 133 */
/* The SQL the statement runs (a QBE text's translation). */
ORB_API OrbResult EngineQueryGetSQL(OrbStatement stmt, char* buf, uint32_t size);           /* ord 134 */
ORB_API OrbResult EngineQueryRowsAffected(OrbStatement stmt, uint32_t* rows);               /* ord 135 */
/* Runs the statement; *answer gets the answer cursor, 0 when the statement
 * has none (INSERT, UPDATE, DELETE). answer may be null for those. */
ORB_API OrbResult EngineQueryExecute(OrbStatement stmt, OrbCursor* answer);                 /* ord 136 */
/* Frees the statement; its answers stay open. */
ORB_API OrbResult EngineQueryFree(OrbStatement stmt);                                       /* ord 137 */
ORB_API OrbResult EngineQuerySetProp(OrbStatement stmt, uint32_t prop, uint32_t value);     /* ord 1072 */
/* Binds a parameter (":NAME" in the text; name given with or without the
 * colon) in the value formats of EnginePutField by type letter; value null
 * binds NULL. Bindings are kept across executions. */
ORB_API OrbResult EngineQueryBindParam(OrbStatement stmt, const char* name, char type,
                                       const void* value);                                 /* ord 65 */
ORB_API OrbResult EngineQueryParamCount(OrbStatement stmt, uint16_t* count);                /* ord 1063 */
/* The 1-based parameter's name without its colon. */
ORB_API OrbResult EngineQueryParamName(OrbStatement stmt, uint16_t number, char* buf,
                                       uint32_t size);                                     /* ord 1068 */
ORB_API OrbResult EngineQueryErrorPosition(OrbStatement stmt, uint32_t* line,
                                           uint32_t* column);                              /* ord 1078 */

/* Copies an answer to a table of that name (in the answer's database when
 * not a full path). Refused with ORB_ERR_TABLE_IN_USE when the target is
 * a table the query read or is open anywhere; an existing table is
 * replaced only when overwrite is set, and only by a complete copy renamed
 * in. */
ORB_API OrbResult EngineMakePermanent(OrbCursor answer, const char* name, int32_t overwrite); /* ord 12 */
/* Appends every visible record of source to target, field by field by
 * name (fields the target lacks are skipped); *copied counts them. All or
 * nothing, synced once at its end: a target that holds no record and that
 * no other handle has open is built whole beside its files and renamed in;
 * otherwise the copy is one batch (or part of the caller's). */
ORB_API OrbResult EngineBatchCopy(OrbCursor source, OrbCursor target, uint32_t* copied);    /* ord 13 */
/* The directory of an alias of the running configuration
 * ("\DATABASES\alias\DB INFO", parameter PATH). */
ORB_API OrbResult EngineGetAliasPath(const char* alias, char* buf, uint32_t size);          /* ord 29 */
/* The file of an answer cursor (ORB_ERR_INVALID_HANDLE for other cursors). */
ORB_API OrbResult EngineGetAnswerPath(OrbCursor answer, char* buf, uint32_t size);          /* ord 234 */
/* Removes a table with its memo and production index files; refused with
 * ORB_ERR_TABLE_IN_USE while any handle has it open. */
ORB_API OrbResult EngineDeleteTable(OrbDatabase db, const char* tableName);                 /* ord 298 */

/* -------------------------------------------------------------- ordinals */

/* The entry of an ordinal above, null when there is none. */
ORB_API void* OrbEntryByOrdinal(uint16_t ordinal);

#endif /* ORBEX32_H */
