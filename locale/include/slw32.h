/*
 * SLW32: the locale and collation library, its whole exported interface.
 *
 * Every export is extern "C" under its documented name (odd spellings kept:
 * SL_GetLDIDFromHlocale beside SL_GetLANGIDFromHLocale, leading underscores
 * of the default operations). Most exports return a LocaleStatus: 0 for
 * success, else the class in the high byte and the number in the low byte
 * (the SL_STATUS_* values below).
 *
 * Strings are zero-terminated: narrow and multi-byte text are bytes, wide
 * text is 16-bit units (SL_WCHAR), never wchar_t. Caller records keep their
 * documented field order; a pointer field has the native pointer size and
 * the fields after it follow the C layout of these structs.
 *
 * Threads: every thread gets its thread object (with its 4096-byte scratch
 * buffer) on its first call after the process's client exists, and loses it
 * when it ends. A locale handle belongs to the thread that opened it; the
 * three system locales (SLN_GetSysLocale, SLW_GetSysLocale, SLM_GetSysLocale)
 * belong to the thread of the first _SL_InitClient.
 *
 * Locale data: the built-in "POSIX" LC_CTYPE has the classes "space",
 * "digit", "lower", "upper", "xdigit", "cntrl", "punct", "blank" (masks 1 to
 * 128); the wide and multi-byte class tables are the narrow one in plane 0.
 * Class names at positions 13 to 19 get the masks 1 << 24 to 1 << 30, later
 * positions none. A wide multi-character translation entry is 34 bytes (a
 * 16-bit length, 8 units, a 16-bit length, 8 units). A translation a locale
 * lacks maps every character unchanged.
 */
#ifndef SLW32_H
#define SLW32_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define SLAPI __attribute__((visibility("default")))
#else
#define SLAPI
#endif

#ifdef __cplusplus
extern "C" {
typedef char16_t SL_WCHAR;
#else
typedef uint16_t SL_WCHAR;
#endif

typedef uint16_t LocaleStatus;
typedef struct SL_LocaleObject* hlocale;
typedef struct SL_ConversionObject* hconversion;

/* Status codes of the frame. */
enum {
  SL_STATUS_OK = 0x0000,
  SL_STATUS_NO_CLIENT = 0x0105,
  SL_STATUS_BAD_VERSION = 0x0106,
  SL_STATUS_LIB_OPEN = 0x0201,
  SL_STATUS_LIB_SEEK = 0x0203,
  SL_STATUS_LIB_READ = 0x0204,
  SL_STATUS_NO_LIBRARY = 0x0205,
  SL_STATUS_LIB_FORMAT = 0x0206,
  SL_STATUS_LIB_ABSENT = 0x020E,
  SL_STATUS_NOT_FOUND = 0x0305,
  SL_STATUS_BAD_HANDLE = 0x0307,
  SL_STATUS_CATEGORY_CREATE = 0x0401,
  SL_STATUS_CATEGORY_READ = 0x0404,
  SL_STATUS_CATEGORY_NOT_FOUND = 0x0405,
  SL_STATUS_NO_CATEGORY = 0x0407,
  SL_STATUS_CATEGORY_ABSENT = 0x0408,
  SL_STATUS_FILE_OPEN = 0x0501,
  SL_STATUS_FILE_SEEK = 0x0503,
  SL_STATUS_FILE_READ = 0x0504,
  SL_STATUS_FILE_NOT_FOUND = 0x0505,
  SL_STATUS_NO_MEMORY = 0x0601,
  SL_STATUS_NULL_FUNCTION = 0x0607,
  SL_STATUS_BUFFER_SMALL = 0x060C,
  SL_STATUS_RESOURCE_LOAD = 0x0701,
  SL_STATUS_RESOURCE_NOT_FOUND = 0x0705,
  SL_STATUS_NO_THREAD = 0x0807,
  SL_STATUS_NO_CTYPE_ENTRY = 0x0A05,
  SL_STATUS_CONV_INVALID = 0x0B01,
  SL_STATUS_CONV_HANDLE = 0x0B07,
  SL_STATUS_CONV_OUTPUT = 0x0B0A,
  SL_STATUS_CONV_STOPPED = 0x0B0B,
  SL_STATUS_CONV_NOT_SBCS = 0x0B0C,
  SL_STATUS_CONV_SUBSTITUTED = 0x0B0F,
  SL_STATUS_BAD_ARGUMENT = 0x0C07,
  SL_STATUS_REG_OPEN = 0x0D01,
  SL_STATUS_REG_CLOSE = 0x0D02,
  SL_STATUS_REG_READ = 0x0D04,
  SL_STATUS_NO_MESSAGES = 0x0E05,
  SL_STATUS_NO_LANGID = 0x0F05,
  SL_STATUS_EXT_MISSING = 0x1005,
  SL_STATUS_EXT_INIT = 0x1006,
  SL_STATUS_EXT_SLOT = 0x1008
};

/* CategoryMask bits. */
enum {
  SL_LC_COLLATE = 1, SL_LC_CTYPE = 2, SL_LC_TIME = 4, SL_LC_MONETARY = 8,
  SL_LC_NUMERIC = 16, SL_LC_MESSAGES = 32, SL_LC_SOUNDEX = 64, SL_LC_USERDEF = 128,
  SL_LC_ALL = 255
};

/* LocaleFamily values. */
enum { SL_FAMILY_NARROW = 1, SL_FAMILY_WIDE = 2, SL_FAMILY_MULTI = 3 };

/* SL_GetClientInfo (20 bytes with a 32-bit pointer). */
typedef struct SL_CLIENTINFO {
  uint8_t version[4];          /* 1, 1, 1, '1' */
  const char* libraryPath;     /* the client's current library path */
  uint16_t reserved1;          /* 0 */
  uint16_t localeEntries;      /* locale entries of the current library file */
  uint16_t reserved2;          /* 0 */
  uint16_t openLocales;
  uint16_t openConversions;
  uint16_t lastLibraryIndex;   /* 0 when the list is empty */
} SL_CLIENTINFO;

/* SL_GetLibraryInfo, 272 bytes. */
typedef struct SL_LIBRARYINFO {
  uint8_t headerBytes[4];      /* library header bytes 32 to 35 */
  char path[260];
  uint16_t directoryEntries;
  uint16_t localeEntries;
  uint16_t charsetEntries;
  uint16_t index;
} SL_LIBRARYINFO;

/* SL_GetLocaleInfo, SL_GetNamedLocaleInfo, SL_GetHlocaleInfo (394 bytes with a 32-bit pointer). */
typedef struct SL_LOCALEINFO {
  uint8_t recordBytes[4];      /* locale-record bytes 32 to 35 */
  const char* fullName;        /* SL_GetHlocaleInfo only, else null */
  char name[32];
  char description[32];
  char libraryPath[260];
  char charsetName[32];
  uint16_t position;           /* among the directory's locale entries */
  uint16_t family;
  uint16_t reserved1;
  uint16_t categoryRecords[8]; /* per category, mask order */
  uint16_t value80;
  uint16_t reserved2;
  uint16_t bytesPerUnit;       /* record byte 74 */
  uint16_t bytesPerChar;       /* record byte 75 */
} SL_LOCALEINFO;

/* SL_GetCategoryInfo. */
typedef struct SL_CATEGORYINFO {
  char name[32];
  char text[32];
  uint16_t mask;
  uint16_t index;
  uint8_t byte68;
  uint8_t byte69;
  uint32_t userdefSize;        /* mask 128 only */
} SL_CATEGORYINFO;

/* SL_GetClassInfo (20 bytes) and SL_GetTranslationInfo (18 bytes). */
typedef struct SL_CLASSINFO {
  char name[16];
  uint32_t mask;
} SL_CLASSINFO;
typedef struct SL_TRANSLATIONINFO {
  char name[16];
  uint16_t index;              /* counted from 0 */
} SL_TRANSLATIONINFO;

/* SL_GetCharacterSetInfo, 44 bytes. */
typedef struct SL_CHARSETINFO {
  char name[32];
  uint8_t bytes[4];
  uint16_t family;
  uint16_t charsetClass;
  uint16_t source;             /* 1 built in, 2 library file, 3 Unicode */
  uint16_t reserved;
} SL_CHARSETINFO;

/* SL_GetConversionInfo. */
typedef struct SL_CONVERSIONINFO {
  char definition[32];
  char source[32];
  char target[32];
  uint16_t sourceKind;
  uint16_t targetKind;
  uint16_t sourceClass;
  uint16_t targetClass;
  uint16_t replacement;
  SL_WCHAR text1[32];
  SL_WCHAR text2[32];
} SL_CONVERSIONINFO;

/* Collation settings of SL_CollationInfo (request 0 restores the loaded defaults, 1 sets, 2 gets,
   3 gets the loaded defaults): levels used (1 to 8), compare flags (0x0002 trim trailing blanks,
   0x0004 compare undefined characters when all levels tie), mode (1 code order, 2 weighted,
   3 platform, 4 the narrow weighted fast path). Every call clears `cleared`. A set changes the
   bound operations (and drops functions given to the Set...Fn exports) only when the mode
   changes; a restore binds the defaults again. */
typedef struct SL_COLLATIONSETTINGS {
  uint16_t levels;
  uint16_t compareFlags;
  uint16_t mode;
  uint32_t cleared;
} SL_COLLATIONSETTINGS;

/* Formatting and scanning by locale (FmtStrTime, ScanStrTime, FmtStrPrint, StrLong ...):
   - Time formats: "+" takes the next character as its pad only when it is "_" (blank) or
     "0"; otherwise the pad is "0" and that character is read as usual ("%+H", "%+Ey",
     "%E+y"; "%+e" pads with a blank). An unknown conversion writes its character (and
     scanning matches it). Era tables are newest first. "%U" and "%W" are C's, "%V" the
     ISO 8601 week.
   - The day of the year is 0-based both ways: "%j" prints it plus 1 and scans it minus 1,
     and the scanner's derived day of the year is 0-based.
   - Scanning matches names and the AM/PM strings ignoring case; "PM" adds 12 below 12,
     "AM" makes 12 into 0. An unmatched name, a field needing more text than is left, or
     a number at the end of the text fails the scan (0). "%Z" reads three characters.
   - Time output: size 0 writes nothing and returns 0; otherwise the output is always
     terminated, and a result of 0 means it was cut.
   - Printf sizes: "h" short, "l" long (64-bit here), "L" long double (x87, 10 bytes); "%p"
     prints every hex digit of a pointer. Wide "%s" and "%c" take 16-bit text, narrow and
     multi-byte ones bytes. The output has no size (as sprintf). A specification cut off by
     the end of the format, or with an unknown conversion or a control character, is copied
     with the rest of the format unchanged. Where nothing else is said, a conversion prints
     what C's printf prints, with the locale's characters ("%#g" of 1 is "1.00000").
   - Positional arguments ("%n$") are read in two passes (kinds, then values in position
     order); a "*" takes "*m$" when written so, else the position after the one read last.
     There is no limit on the count of specifications or the bytes of the arguments.
   - Grouping strings are group sizes as byte values ("\x03"), repeated from the first.
     Monetary "precedes" and "space" values other than 0 count as 1; fractional digits of
     255 (unset) mean 2; an empty monetary decimal point is the numeric one.
   - The number scanners: out of range (32 bits for StrLong, the double for StrDouble, the
     long double for StrLongDouble) is 0x0C07 with the value 0. StrLongDouble writes the
     80-bit value little-endian.
   - A thread without its scratch buffer gets -1 from FmtStrPrint. */

/* Broken-down time (ten 32-bit fields) and the short record of the AltTime forms. */
typedef struct SL_TIME {
  int32_t sec, min, hour, mday, mon, year, wday, yday, isdst, extra;
} SL_TIME;
typedef struct SL_ALTTIME {
  int16_t year, month, wday, mday, hour, min, sec, extra;
} SL_ALTTIME;

/* Packed decimal (34 bytes) and its digit-string record. */
typedef struct SL_BCD {
  uint8_t precision;
  uint8_t signScale;
  uint8_t digits[32];
} SL_BCD;
typedef struct SL_BCDSTR {
  int32_t sign;
  int32_t flag;
  uint8_t scale;
  uint8_t precision;
  char digits[65];
} SL_BCDSTR;

/* Conventions records of SLN_GetConvInfo (66 bytes), SLW_GetConvInfo and SLM_GetConvInfo
   (104 bytes each, the same byte positions). Cleared, then filled from LC_NUMERIC and
   LC_MONETARY; the separators and decimal points hold one character and a terminator.
   values: international and local fractional digits, symbol precedes and space for a
   positive value, the same for a negative value, sign position positive and negative
   (255 unset). */
typedef struct SL_CONVINFO {
  char decimalPoint[2], thousands[2], grouping[10];
  char intlSymbol[5], symbol[5], monDecimalPoint[2], monThousands[2], monGrouping[10];
  char positiveSign[5], negativeSign[5];
  uint8_t values[8];
  char exponent[5], listSeparator[5];
} SL_CONVINFO;
typedef struct SL_WCONVINFO {
  SL_WCHAR decimalPoint[2], thousands[2];
  char grouping[10];
  SL_WCHAR intlSymbol[5], symbol[5], monDecimalPoint[2], monThousands[2];
  char monGrouping[10];
  SL_WCHAR positiveSign[5], negativeSign[5];
  uint8_t values[8];
  SL_WCHAR exponent[5], listSeparator[5];
} SL_WCONVINFO;
typedef struct SL_MCONVINFO {
  char decimalPoint[4], thousands[4], grouping[10];
  char intlSymbol[10], symbol[10], monDecimalPoint[4], monThousands[4], monGrouping[10];
  char positiveSign[10], negativeSign[10];
  uint8_t values[8];
  char exponent[10], listSeparator[10];
} SL_MCONVINFO;

/* SL_GetLocaleItem: the largest output is SL_ITEM_SIZE bytes, except item 256 (the
   locale's full name, SL_GetFullLocaleName), whose length is that of the name. */
#define SL_ITEM_SIZE 64

typedef int16_t (*SL_COLLATEFN)(hlocale, const void*, const void*);
typedef int16_t (*SL_NCOLLATEFN)(hlocale, const void*, uint16_t, const void*, uint16_t);
typedef uint16_t (*SL_TRANSFORMFN)(hlocale, void*, const void*, uint16_t);
typedef uint16_t (*SL_NTRANSFORMFN)(hlocale, void*, const void*, uint16_t, uint16_t);

/* Entry points of a locale extension library (named in a locale's LC_COLLATE data):
   SLEXI_Init(1, 1, the library's module) returns 0 on success; SLEXI_Query(the library
   file, slot 0, a 1024-byte record) fills the record with up to eight operation pointers
   (collate, bounded collate, transform, bounded transform, dBASE compare, buffer collate,
   buffer transform, collation information); SLEXI_Exit() ends it. */
typedef int (*SLEXI_InitFn)(uint16_t major, uint16_t minor, void* module);
typedef int (*SLEXI_QueryFn)(void* file, uint16_t slot, void* record);
typedef int (*SLEXI_ExitFn)(void);

/* ---- Start, clients, threads ---- */
SLAPI LocaleStatus _SL_InitClient(uint16_t major, uint16_t minor, uint16_t release);
SLAPI int32_t SL_Exit(void);
SLAPI LocaleStatus SL_GetClientInfo(SL_CLIENTINFO* record);
SLAPI int WEP(int reserved);

/* ---- Messages, version, memory ---- */
SLAPI LocaleStatus SL_InitErrorMessages(uint16_t langid);
SLAPI void SL_GetErrorMessage(LocaleStatus code, char* buffer, uint16_t size);
SLAPI void SL_UnInitErrorMessages(void);
SLAPI const char* _SL_GetAPIVersion(void);
SLAPI const char* _SL_GetAPIDate(void);
SLAPI const char* _SL_GetAPITime(void);
SLAPI LocaleStatus _SL_AllocMemory(uint32_t size, void** block);
SLAPI LocaleStatus _SL_ReallocMemory(uint32_t size, void** block);
SLAPI LocaleStatus _SL_FreeMemory(void* block);
SLAPI LocaleStatus _SL_MemoryCopy(void* destination, const void* source, uint32_t count);
SLAPI LocaleStatus _SL_HMemoryCopy(void* destination, const void* source, uint32_t count);

/* ---- LC_CTYPE information ---- */
SLAPI uint16_t SL_GetClassCount(hlocale h);
SLAPI uint16_t SL_GetTranslationCount(hlocale h);
SLAPI LocaleStatus SL_GetClassInfo(hlocale h, uint16_t index, SL_CLASSINFO* record);
SLAPI LocaleStatus SL_GetTranslationInfo(hlocale h, uint16_t index, SL_TRANSLATIONINFO* record);
SLAPI int SL_IsValidClassName(hlocale h, const char* name);
SLAPI int SL_IsValidTranslationName(hlocale h, const char* name);
SLAPI uint32_t SL_GetClassValue(hlocale h, const char* name);
SLAPI uint16_t SL_GetTranslationIndex(hlocale h, const char* name);

/* ---- Library files and paths ---- */
SLAPI LocaleStatus SL_SetLocaleLibrary(const char* path, uint16_t makeCurrent);
SLAPI LocaleStatus SL_GetLibraryInfo(uint16_t index, SL_LIBRARYINFO* record);
SLAPI LocaleStatus SL_ForwardMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
/* size: in, the characters the buffer takes besides the terminator; out on 0x060C, the length needed. */
SLAPI LocaleStatus SL_GetFilePath(const char* fileName, char* buffer, uint16_t* size);
/* out must hold SL_FULL_DEFAULT_NAME_SIZE bytes: nine fields of at most 31 bytes, each with its ";". */
#define SL_FULL_DEFAULT_NAME_SIZE 289
SLAPI LocaleStatus SL_GetFullDefaultLocaleName(char* out);
/* Outputs (any may be null) are cut to SL_MAX_DRIVE, SL_MAX_DIR, SL_MAX_FNAME, SL_MAX_EXT bytes. */
#define SL_MAX_DRIVE 3
#define SL_MAX_DIR 256
#define SL_MAX_FNAME 256
#define SL_MAX_EXT 256
SLAPI void SL_FnSplit(const char* path, char* drive, char* dir, char* name, char* ext);

/* ---- Locales ---- */
SLAPI LocaleStatus SL_OpenLocale(hlocale* handle, uint16_t mask, const char* name);
SLAPI LocaleStatus SL_OpenPlatformLocale(hlocale* handle, uint32_t lcid, uint16_t mask, uint16_t flag);
SLAPI LocaleStatus SL_OpenThreadLocale(hlocale* handle, hlocale existing, uint16_t mask);
SLAPI LocaleStatus SL_UpdateLocale(hlocale* handle, uint16_t mask, const char* name);
SLAPI LocaleStatus SL_UpdatePlatformLocale(hlocale* handle, uint16_t mask, uint32_t lcid);
SLAPI LocaleStatus SL_CloseLocale(hlocale* handle);
SLAPI int SL_IsValidHlocale(hlocale h);
SLAPI LocaleStatus SL_GetFullLocaleName(hlocale h, char* out);
SLAPI LocaleStatus SL_GetLocaleCharacterSetName(const char* name, char* out);
SLAPI LocaleStatus SL_GetHlocaleCharacterSetName(hlocale h, char* out);
SLAPI LocaleStatus SL_GetFullCategoryName(hlocale h, uint16_t mask, char* out);
SLAPI LocaleStatus SL_GetLocaleItem(hlocale h, void* out, uint16_t item);
SLAPI LocaleStatus SL_GetLocaleInfo(uint16_t position, SL_LOCALEINFO* record, const SL_LIBRARYINFO* libraryInfo);
SLAPI LocaleStatus SL_GetNamedLocaleInfo(const char* name, SL_LOCALEINFO* record);
SLAPI LocaleStatus SL_GetHlocaleInfo(hlocale h, SL_LOCALEINFO* record);
SLAPI LocaleStatus SL_GetCategoryInfo(const SL_LOCALEINFO* localeInfo, uint16_t mask, uint16_t index, SL_CATEGORYINFO* out);
SLAPI uint32_t SL_GetCmpFlags(hlocale h);
SLAPI LocaleStatus SL_SetCmpFlags(hlocale h, uint32_t flags);
SLAPI uint32_t SL_GetMapFlags(hlocale h);
SLAPI LocaleStatus SL_SetMapFlags(hlocale h, uint32_t flags);
SLAPI uint32_t SL_GetLCID(hlocale h);
SLAPI void* SL_GetUserDefLocation(hlocale h);

/* ---- Character sets and conversions ---- */
SLAPI uint16_t SL_GetCharacterSetCount(void);
SLAPI LocaleStatus SL_GetCharacterSetName(uint16_t index, char* out);
SLAPI LocaleStatus SL_GetCharacterSetInfo(const char* name, SL_CHARSETINFO* out);
SLAPI LocaleStatus SL_MakeCharacterSetName(char* out, uint16_t kind, uint16_t codePage);
SLAPI uint16_t SL_GetConversionCount(void);
SLAPI LocaleStatus SL_GetConversionName(uint16_t index, char* out);
SLAPI LocaleStatus SL_OpenConversion(hconversion* conv, const char* source, const char* target, const char* definition);
SLAPI LocaleStatus SL_CloseConversion(hconversion conv);
SLAPI LocaleStatus SL_StrConvert(hconversion conv, void* out, const void* in, uint16_t outSize);
SLAPI LocaleStatus SL_StrnConvert(hconversion conv, void* out, uint16_t outSize, const void* in, uint16_t* count);
SLAPI LocaleStatus SL_BufferConvert(hconversion conv, void* out, uint16_t outSize, const void* in, uint16_t* count);
SLAPI LocaleStatus SL_QStrConvert(hconversion conv, char* text);
SLAPI LocaleStatus SL_QStrnConvert(hconversion conv, char* text, uint16_t* count);
SLAPI LocaleStatus SL_GetConversionInfo(hconversion conv, SL_CONVERSIONINFO* record, uint16_t mode);
SLAPI LocaleStatus SL_GetHlocaleConversionInfo(hlocale h, SL_CONVERSIONINFO* record, uint16_t which);
SLAPI LocaleStatus SL_OpenLocaleConversions(hlocale h, const char* otherSet, const char* definition);
SLAPI LocaleStatus SL_CloseLocaleConversions(hlocale h);
SLAPI LocaleStatus SL_StrConvertFromLocale(hlocale h, void* out, const void* in, uint16_t outSize);
SLAPI LocaleStatus SL_StrConvertToLocale(hlocale h, void* out, const void* in, uint16_t outSize);
SLAPI LocaleStatus SL_StrnConvertFromLocale(hlocale h, void* out, uint16_t outSize, const void* in, uint16_t* count);
SLAPI LocaleStatus SL_StrnConvertToLocale(hlocale h, void* out, uint16_t outSize, const void* in, uint16_t* count);

/* ---- Language drivers and Windows locale ids ----
   Outputs: driver name SL_LDNAME_SIZE, locale name and short category name
   SL_LDLOCALE_SIZE, alternative set SL_LDALTSET_SIZE, description SL_LDDESC_SIZE
   bytes. An id 0 or below is 0x0C07; above 204 or undefined 0x0305. */
#define SL_LDNAME_SIZE 9
#define SL_LDLOCALE_SIZE 32
#define SL_LDALTSET_SIZE 32
#define SL_LDDESC_SIZE 20
SLAPI LocaleStatus SL_GetLDNameFromLDID(char* out, int16_t ldid);
SLAPI LocaleStatus SL_GetLocaleNameFromLDID(char* out, int16_t ldid);
SLAPI LocaleStatus SL_GetAltCharSetNameFromLDID(char* out, int16_t ldid);
SLAPI LocaleStatus SL_GetLDDescFromLDID(char* out, int16_t ldid);
SLAPI LocaleStatus SL_GetShortCategoryNameFromLDID(char* out, int16_t ldid);
SLAPI LocaleStatus SL_GetLDIDFromLDName(const char* name, int16_t* ldid);
SLAPI LocaleStatus SL_GetLDIDFromLocaleName(const char* name, int16_t* ldid);
SLAPI LocaleStatus SL_GetLocaleNameFromLDName(char* out, const char* name);
SLAPI LocaleStatus SL_GetLDIDFromHlocale(hlocale h, int16_t* ldid);
SLAPI LocaleStatus SL_OpenLocaleWithLDID(hlocale* handle, uint16_t mask, int16_t ldid);
SLAPI LocaleStatus SL_OpenLocaleWithLDName(hlocale* handle, uint16_t mask, const char* name);
SLAPI LocaleStatus SL_GetLocaleNameFromLANGID(uint32_t lcid, char* out);
SLAPI LocaleStatus SL_GetLANGIDFromLocaleName(const char* name, uint16_t* langid);
SLAPI LocaleStatus SL_GetLANGIDFromHLocale(hlocale h, uint16_t* langid);
SLAPI LocaleStatus SL_GetLCIDInfoFromLocaleNameA(const char* name, uint32_t infoType, char* buffer, int32_t size);
SLAPI LocaleStatus SL_GetLCIDInfoFromHLocaleA(hlocale h, uint32_t infoType, char* buffer, int32_t size);
SLAPI LocaleStatus SL_GetLCIDInfoFromLocaleNameW(const char* name, uint32_t infoType, SL_WCHAR* buffer, int32_t size);
SLAPI LocaleStatus SL_GetLCIDInfoFromHLocaleW(hlocale h, uint32_t infoType, SL_WCHAR* buffer, int32_t size);

/* ---- Dates, times, the time-zone rule ---- */
SLAPI LocaleStatus SL_DateToJulian(int32_t* day, int16_t year, int16_t month, int16_t dayOfMonth);
SLAPI LocaleStatus SL_JulianToDate(int32_t day, int16_t* year, int16_t* month, int16_t* dayOfMonth);
SLAPI LocaleStatus SL_TimeToJulianTime(double* julianTime, const SL_TIME* record);
SLAPI LocaleStatus SL_JulianTimeToTime(SL_TIME* record, double julianTime);

/* ---- Packed decimals ---- */
SLAPI LocaleStatus SL_BCDToBCDStr(SL_BCDSTR* record, const SL_BCD* bcd);
SLAPI LocaleStatus SL_BCDFromBCDStr(SL_BCD* bcd, const SL_BCDSTR* record);

/* ---- Collation settings and character access ---- */
SLAPI LocaleStatus SL_CollationInfo(hlocale h, uint16_t request, SL_COLLATIONSETTINGS* settings);
SLAPI LocaleStatus _SL_CollationInfo(hlocale h, uint16_t request, SL_COLLATIONSETTINGS* settings);
SLAPI LocaleStatus SL_CollationChars(hlocale h, uint16_t* lowest, uint16_t* highest);
SLAPI int SL_IsCharDefined(hlocale h, uint16_t character);
SLAPI int SL_IsFirstByte(hlocale h, const char* position);
SLAPI int SL_IsCharFirstByte(hlocale h, uint16_t code);
SLAPI char* SL_NextChar(hlocale h, const char* position);
SLAPI char* SL_PrevChar(hlocale h, const char* start, const char* position);
SLAPI uint16_t SL_GetChar(hlocale h, const char* position);
SLAPI uint16_t SL_GetCharNext(hlocale h, const char** position);
SLAPI uint16_t SL_NextGetChar(hlocale h, const char** position);
SLAPI uint16_t SL_GetCharPrev(hlocale h, const char* start, const char** position);
SLAPI uint16_t SL_PrevGetChar(hlocale h, const char* start, const char** position);
SLAPI char* SL_PutChar(hlocale h, char* position, uint16_t code);

/* ---- The text families ----
 * SLN_: narrow text (char), SLW_: wide text (SL_WCHAR), SLM_: multi-byte text (char).
 * The same operations under the same names after the prefix. */
#define SL_FAMILY_EXPORTS(P, CH, CHARARG)                                                        \
  SLAPI hlocale P##GetSysLocale(void);                                                           \
  SLAPI CHARARG P##ToUpper(hlocale h, CHARARG c);                                                \
  SLAPI CHARARG P##ToLower(hlocale h, CHARARG c);                                                \
  SLAPI CHARARG P##ToTranslation(hlocale h, CHARARG c, uint16_t translation);                    \
  SLAPI CH* P##StrUpper(hlocale h, CH* s);                                                       \
  SLAPI CH* P##StrnUpper(hlocale h, CH* s, uint16_t n);                                          \
  SLAPI CH* P##StrLower(hlocale h, CH* s);                                                       \
  SLAPI CH* P##StrnLower(hlocale h, CH* s, uint16_t n);                                          \
  SLAPI int P##StrUpperEx(hlocale h, CH* out, const CH* s, uint16_t outSize);                    \
  SLAPI int P##StrnUpperEx(hlocale h, CH* out, const CH* s, uint16_t n, uint16_t outSize);       \
  SLAPI int P##StrLowerEx(hlocale h, CH* out, const CH* s, uint16_t outSize);                    \
  SLAPI int P##StrnLowerEx(hlocale h, CH* out, const CH* s, uint16_t n, uint16_t outSize);       \
  SLAPI int P##StrTranslation(hlocale h, CH* out, const CH* s, uint16_t translation, uint16_t outSize); \
  SLAPI int P##StrnTranslation(hlocale h, CH* out, const CH* s, uint16_t translation, uint16_t n,     \
                               uint16_t outSize);                                                \
  SLAPI int16_t P##StrMatch(hlocale h, const CH* a, const CH* b);                                \
  SLAPI int16_t P##StrnMatch(hlocale h, const CH* a, const CH* b, uint16_t n);                   \
  SLAPI int16_t P##StrMatchi(hlocale h, const CH* a, const CH* b);                               \
  SLAPI int16_t P##StrnMatchi(hlocale h, const CH* a, const CH* b, uint16_t n);                  \
  SLAPI int16_t P##QStrMatchi(hlocale h, const CH* a, const CH* b);                              \
  SLAPI int16_t P##QStrnMatchi(hlocale h, const CH* a, const CH* b, uint16_t n);                 \
  SLAPI int16_t P##StrMatchEx(hlocale h, const CH* a, const CH* b, uint16_t translation);        \
  SLAPI CH* P##StrChri(hlocale h, const CH* s, CHARARG c);                                       \
  SLAPI CH* P##StrStri(hlocale h, const CH* s, const CH* sub);                                   \
  SLAPI CH* P##StrTrimClassStart(hlocale h, CH* s, uint32_t mask);                               \
  SLAPI CH* P##StrTrimClassStartStr(hlocale h, CH* out, const CH* s, uint32_t mask);             \
  SLAPI CH* P##StrTrimClassEnd(hlocale h, CH* s, uint32_t mask);                                 \
  SLAPI CH* P##StrTrimClassEndStr(hlocale h, CH* out, const CH* s, uint32_t mask);               \
  SLAPI CH* P##StrScanForClass(hlocale h, const CH* s, uint32_t mask, int wanted);               \
  SLAPI CH* P##StrnScanForClass(hlocale h, const CH* s, uint32_t mask, int wanted, uint16_t n);  \
  SLAPI int P##IsClass(hlocale h, uint16_t c, uint32_t mask);                                    \
  SLAPI int P##IsStrClass(hlocale h, const CH* s, uint32_t mask);                                \
  SLAPI uint32_t P##GetCharClass(hlocale h, uint16_t c);                                         \
  SLAPI int16_t P##StrCollate(hlocale h, const CH* a, const CH* b);                              \
  SLAPI int16_t P##StrnCollate(hlocale h, const CH* a, uint16_t na, const CH* b, uint16_t nb);   \
  SLAPI uint16_t P##StrTransform(hlocale h, CH* out, const CH* s, uint16_t outSize);             \
  SLAPI uint16_t P##StrnTransform(hlocale h, CH* out, const CH* s, uint16_t n, uint16_t outSize); \
  SLAPI int16_t P##StrDbaseCompare(hlocale h, const CH* a, uint16_t na, const CH* b, uint16_t nb, \
                                   uint8_t exact);                                               \
  SLAPI int16_t P##BufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb); \
  SLAPI uint16_t P##BufferTransform(hlocale h, void* out, const void* s, uint16_t n, uint16_t outSize); \
  SLAPI LocaleStatus P##SetCollationFn(hlocale h, SL_COLLATEFN fn);                              \
  SLAPI LocaleStatus P##SetnCollationFn(hlocale h, SL_NCOLLATEFN fn);                            \
  SLAPI LocaleStatus P##SetTransformFn(hlocale h, SL_TRANSFORMFN fn);                            \
  SLAPI LocaleStatus P##SetnTransformFn(hlocale h, SL_NTRANSFORMFN fn);                          \
  SLAPI uint16_t P##ToSoundex(hlocale h, CHARARG c);                                             \
  SLAPI CH* P##StrSoundex(hlocale h, CH* out, const CH* word);                                   \
  SLAPI CH* P##StrnSoundex(hlocale h, CH* out, const CH* word, uint16_t n);                      \
  SLAPI uint16_t P##StrSoundexCmp(hlocale h, const CH* a, const CH* b);                          \
  SLAPI uint16_t P##StrnSoundexCmp(hlocale h, const CH* a, const CH* b, uint16_t n);             \
  SLAPI int P##VFmtStrPrint(hlocale h, CH* out, const CH* format, va_list args);                 \
  SLAPI uint16_t P##FmtStrTime(hlocale h, CH* out, const CH* format, const SL_TIME* t, uint16_t size); \
  SLAPI uint16_t P##FmtStrAltTime(hlocale h, CH* out, const CH* format, const SL_ALTTIME* t,      \
                                  uint16_t size);                                                \
  SLAPI uint16_t P##ScanStrTime(hlocale h, const CH* text, const CH* format, SL_TIME* t);        \
  SLAPI uint16_t P##ScanStrAltTime(hlocale h, const CH* text, const CH* format, SL_ALTTIME* t);  \
  SLAPI LocaleStatus P##StrLong(hlocale h, const CH* text, int32_t* value);                      \
  SLAPI LocaleStatus P##StrDouble(hlocale h, const CH* text, double* value);                     \
  SLAPI LocaleStatus P##StrLongDouble(hlocale h, const CH* text, uint8_t value[10]);             \
  SLAPI LocaleStatus P##StrBCD(hlocale h, const CH* text, SL_BCD* bcd);                          \
  SLAPI CH* P##StrChrLast(const CH* s, CHARARG c);                                               \
  SLAPI CH* P##StrScanForTokens(const CH* s, const CH* delimiters);

SL_FAMILY_EXPORTS(SLN_, char, char)
SL_FAMILY_EXPORTS(SLW_, SL_WCHAR, SL_WCHAR)

/* Multi-byte family: the same operations; characters are 16-bit codes (lead x 256 + trail). */
SLAPI hlocale SLM_GetSysLocale(void);
SLAPI uint16_t SLM_ToUpper(hlocale h, uint16_t c);
SLAPI uint16_t SLM_ToLower(hlocale h, uint16_t c);
SLAPI uint16_t SLM_ToTranslation(hlocale h, uint16_t c, uint16_t translation);
SLAPI char* SLM_StrUpper(hlocale h, char* s);
SLAPI char* SLM_StrnUpper(hlocale h, char* s, uint16_t n);
SLAPI char* SLM_StrLower(hlocale h, char* s);
SLAPI char* SLM_StrnLower(hlocale h, char* s, uint16_t n);
SLAPI int SLM_StrUpperEx(hlocale h, char* out, const char* s, uint16_t outSize);
SLAPI int SLM_StrnUpperEx(hlocale h, char* out, const char* s, uint16_t n, uint16_t outSize);
SLAPI int SLM_StrLowerEx(hlocale h, char* out, const char* s, uint16_t outSize);
SLAPI int SLM_StrnLowerEx(hlocale h, char* out, const char* s, uint16_t n, uint16_t outSize);
SLAPI int SLM_StrTranslation(hlocale h, char* out, const char* s, uint16_t translation, uint16_t outSize);
SLAPI int SLM_StrnTranslation(hlocale h, char* out, const char* s, uint16_t translation, uint16_t n,
                              uint16_t outSize);
SLAPI int16_t SLM_StrMatch(hlocale h, const char* a, const char* b);
SLAPI int16_t SLM_StrnMatch(hlocale h, const char* a, const char* b, uint16_t n);
SLAPI int16_t SLM_StrMatchi(hlocale h, const char* a, const char* b);
SLAPI int16_t SLM_StrnMatchi(hlocale h, const char* a, const char* b, uint16_t n);
SLAPI int16_t SLM_QStrMatchi(hlocale h, const char* a, const char* b);
SLAPI int16_t SLM_QStrnMatchi(hlocale h, const char* a, const char* b, uint16_t n);
SLAPI int16_t SLM_StrMatchEx(hlocale h, const char* a, const char* b, uint16_t translation);
SLAPI char* SLM_StrChri(hlocale h, const char* s, uint16_t c);
SLAPI char* SLM_StrStri(hlocale h, const char* s, const char* sub);
SLAPI char* SLM_StrTrimClassStart(hlocale h, char* s, uint32_t mask);
SLAPI char* SLM_StrTrimClassStartStr(hlocale h, char* out, const char* s, uint32_t mask);
SLAPI char* SLM_StrTrimClassEnd(hlocale h, char* s, uint32_t mask);
SLAPI char* SLM_StrTrimClassEndStr(hlocale h, char* out, const char* s, uint32_t mask);
SLAPI char* SLM_StrScanForClass(hlocale h, const char* s, uint32_t mask, int wanted);
SLAPI char* SLM_StrnScanForClass(hlocale h, const char* s, uint32_t mask, int wanted, uint16_t n);
SLAPI int SLM_IsClass(hlocale h, uint16_t c, uint32_t mask);
SLAPI int SLM_IsStrClass(hlocale h, const char* s, uint32_t mask);
SLAPI uint32_t SLM_GetCharClass(hlocale h, uint16_t c);
SLAPI int16_t SLM_StrCollate(hlocale h, const char* a, const char* b);
SLAPI int16_t SLM_StrnCollate(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb);
SLAPI uint16_t SLM_StrTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t outSize);
SLAPI uint16_t SLM_StrnTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t n, uint16_t outSize);
SLAPI int16_t SLM_StrDbaseCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb, uint8_t exact);
SLAPI int16_t SLM_BufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb);
SLAPI uint16_t SLM_BufferTransform(hlocale h, void* out, const void* s, uint16_t n, uint16_t outSize);
SLAPI LocaleStatus SLM_SetCollationFn(hlocale h, SL_COLLATEFN fn);
SLAPI LocaleStatus SLM_SetnCollationFn(hlocale h, SL_NCOLLATEFN fn);
SLAPI LocaleStatus SLM_SetTransformFn(hlocale h, SL_TRANSFORMFN fn);
SLAPI LocaleStatus SLM_SetnTransformFn(hlocale h, SL_NTRANSFORMFN fn);
SLAPI uint16_t SLM_ToSoundex(hlocale h, uint16_t c);
SLAPI char* SLM_StrSoundex(hlocale h, char* out, const char* word);
SLAPI char* SLM_StrnSoundex(hlocale h, char* out, const char* word, uint16_t n);
SLAPI uint16_t SLM_StrSoundexCmp(hlocale h, const char* a, const char* b);
SLAPI uint16_t SLM_StrnSoundexCmp(hlocale h, const char* a, const char* b, uint16_t n);
SLAPI int SLM_VFmtStrPrint(hlocale h, char* out, const char* format, va_list args);
SLAPI uint16_t SLM_FmtStrTime(hlocale h, char* out, const char* format, const SL_TIME* t, uint16_t size);
SLAPI uint16_t SLM_FmtStrAltTime(hlocale h, char* out, const char* format, const SL_ALTTIME* t, uint16_t size);
SLAPI uint16_t SLM_ScanStrTime(hlocale h, const char* text, const char* format, SL_TIME* t);
SLAPI uint16_t SLM_ScanStrAltTime(hlocale h, const char* text, const char* format, SL_ALTTIME* t);
SLAPI LocaleStatus SLM_StrLong(hlocale h, const char* text, int32_t* value);
SLAPI LocaleStatus SLM_StrDouble(hlocale h, const char* text, double* value);
SLAPI LocaleStatus SLM_StrLongDouble(hlocale h, const char* text, uint8_t value[10]);
SLAPI LocaleStatus SLM_StrBCD(hlocale h, const char* text, SL_BCD* bcd);
SLAPI char* SLM_StrChrLast(hlocale h, const char* s, uint16_t c);
SLAPI char* SLM_StrScanForTokens(hlocale h, const char* s, const char* delimiters);
SLAPI LocaleStatus SLN_GetConvInfo(hlocale h, SL_CONVINFO* out);
SLAPI LocaleStatus SLW_GetConvInfo(hlocale h, SL_WCONVINFO* out);
SLAPI LocaleStatus SLM_GetConvInfo(hlocale h, SL_MCONVINFO* out);

/* String primitives. Narrow and wide ones take no locale, nor do the multi-byte copy,
   concatenation and fill; the other multi-byte ones step through characters with the
   locale's lead bytes and count characters. */
SLAPI int SLN_IsAscii(char c);
SLAPI int SLW_IsAscii(SL_WCHAR c);
SLAPI int SLM_IsAscii(uint16_t c);
SLAPI int SLN_IsStrAscii(const char* s);
SLAPI int SLW_IsStrAscii(const SL_WCHAR* s);
SLAPI int SLM_IsStrAscii(const char* s);
SLAPI char* SLN_StrSet(char* s, char c);
SLAPI SL_WCHAR* SLW_StrSet(SL_WCHAR* s, SL_WCHAR c);
SLAPI char* SLM_StrSet(hlocale h, char* s, uint16_t c);
SLAPI char* SLN_StrnSet(char* s, char c, uint16_t n);
SLAPI SL_WCHAR* SLW_StrnSet(SL_WCHAR* s, SL_WCHAR c, uint16_t n);
SLAPI char* SLM_StrnSet(hlocale h, char* s, uint16_t c, uint16_t n);
SLAPI char* SLN_StrScanForChars(const char* s, const char* set);
SLAPI SL_WCHAR* SLW_StrScanForChars(const SL_WCHAR* s, const SL_WCHAR* set);
SLAPI char* SLM_StrScanForChars(hlocale h, const char* s, const char* set);
SLAPI char* SLN_StrStr(const char* s, const char* sub);
SLAPI SL_WCHAR* SLW_StrStr(const SL_WCHAR* s, const SL_WCHAR* sub);
SLAPI char* SLM_StrStr(hlocale h, const char* s, const char* sub);
SLAPI LocaleStatus SLN_MemSet(void* destination, uint8_t value, uint16_t count);
SLAPI LocaleStatus SLW_MemSet(void* destination, SL_WCHAR value, uint16_t count);
SLAPI LocaleStatus SLM_MemSet(void* destination, uint16_t value, uint16_t count);
SLAPI uint16_t SLN_StrLen(const char* s);
SLAPI uint16_t SLW_StrLen(const SL_WCHAR* s);
SLAPI uint16_t SLM_StrLen(hlocale h, const char* s);
SLAPI char* SLN_StrCpy(char* destination, const char* source);
SLAPI SL_WCHAR* SLW_StrCpy(SL_WCHAR* destination, const SL_WCHAR* source);
SLAPI char* SLM_StrCpy(char* destination, const char* source);
SLAPI char* SLN_StrnCpy(char* destination, const char* source, uint16_t count);
SLAPI SL_WCHAR* SLW_StrnCpy(SL_WCHAR* destination, const SL_WCHAR* source, uint16_t count);
SLAPI uint16_t SLM_StrnCpy(hlocale h, char* destination, const char* source, uint16_t count);
SLAPI char* SLN_StrCat(char* destination, const char* source);
SLAPI SL_WCHAR* SLW_StrCat(SL_WCHAR* destination, const SL_WCHAR* source);
SLAPI char* SLM_StrCat(char* destination, const char* source);
SLAPI char* SLN_StrnCat(char* destination, const char* source, uint16_t count);
SLAPI SL_WCHAR* SLW_StrnCat(SL_WCHAR* destination, const SL_WCHAR* source, uint16_t count);
SLAPI char* SLM_StrnCat(hlocale h, char* destination, const char* source, uint16_t count);
SLAPI char* SLN_StrChr(const char* s, char c);
SLAPI SL_WCHAR* SLW_StrChr(const SL_WCHAR* s, SL_WCHAR c);
SLAPI char* SLM_StrChr(hlocale h, const char* s, uint16_t code);
SLAPI uint16_t SLN_BufferLen(const void* buffer, uint16_t byteCount);
SLAPI uint16_t SLW_BufferLen(const void* buffer, uint16_t byteCount);
SLAPI uint16_t SLM_BufferLen(hlocale h, const void* buffer, uint16_t byteCount);

/* Printf-style formatters. */
SLAPI int _SLN_FmtStrPrint(hlocale h, char* out, const char* format, ...);
SLAPI int _SLW_FmtStrPrint(hlocale h, SL_WCHAR* out, const SL_WCHAR* format, ...);
SLAPI int _SLM_FmtStrPrint(hlocale h, char* out, const char* format, ...);

/* Default operations a locale binds (and an extension library may replace). */
SLAPI int16_t _SLN_StrCollate(hlocale h, const char* a, const char* b);
SLAPI int16_t _SLN_StrnCollate(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb);
SLAPI int16_t _SLN_StrCollateOp(hlocale h, const char* a, const char* b);
SLAPI int16_t _SLN_StrnCollateOp(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb);
SLAPI uint16_t _SLN_StrTransform(hlocale h, char* out, const char* s, uint16_t outSize);
SLAPI uint16_t _SLN_StrnTransform(hlocale h, char* out, const char* s, uint16_t n, uint16_t outSize);
SLAPI uint16_t _SLN_StrSysTransform(hlocale h, char* out, const char* s, uint16_t outSize);
SLAPI uint16_t _SLN_StrnSysTransform(hlocale h, char* out, const char* s, uint16_t n, uint16_t outSize);
SLAPI int16_t _SLN_BufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb);
SLAPI int16_t _SLN_StrDbaseCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb, uint8_t exact);
SLAPI int16_t __SLN_StrDbaseCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb, uint8_t exact);
SLAPI int16_t __SLN_StrDbaseCharCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb, uint8_t exact);
SLAPI int16_t __SLN_StrDbaseByteCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb, uint8_t exact);
SLAPI int16_t ___SLN_StrDbaseCharCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb, uint8_t exact);
SLAPI int16_t _SLN_StrCharCompare(hlocale h, const char* a, const char* b);
SLAPI int16_t _SLN_StrnCharCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb);
SLAPI int16_t _SLN_StrByteCompare(hlocale h, const char* a, const char* b);
SLAPI int16_t _SLN_StrnByteCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb);
SLAPI uint16_t _SLN_StrCharTransform(hlocale h, char* out, const char* s, uint16_t outSize);
SLAPI uint16_t _SLN_StrnCharTransform(hlocale h, char* out, const char* s, uint16_t n, uint16_t outSize);
SLAPI uint16_t _SLN_StrByteTransform(hlocale h, char* out, const char* s, uint16_t outSize);
SLAPI uint16_t _SLN_StrnByteTransform(hlocale h, char* out, const char* s, uint16_t n, uint16_t outSize);
SLAPI int16_t _SLN_P_StrCollate(hlocale h, const char* a, const char* b);
SLAPI int16_t _SLN_P_StrnCollate(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb);
SLAPI int16_t _SLN_PlatformStrCollate(hlocale h, const char* a, const char* b);
SLAPI int16_t _SLN_PlatformStrnCollate(hlocale h, const char* a, const char* b, uint16_t n);
SLAPI uint16_t _SLN_PlatformStrTransform(hlocale h, char* out, const char* s, uint16_t outSize);
SLAPI uint16_t _SLN_PlatformStrnTransform(hlocale h, char* out, const char* s, uint16_t n, uint16_t outSize);

SLAPI int16_t _SLW_StrCollate(hlocale h, const SL_WCHAR* a, const SL_WCHAR* b);
SLAPI int16_t _SLW_StrnCollate(hlocale h, const SL_WCHAR* a, uint16_t na, const SL_WCHAR* b, uint16_t nb);
SLAPI uint16_t _SLW_StrTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t outSize);
SLAPI uint16_t _SLW_StrnTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t n, uint16_t outSize);
SLAPI uint16_t _SLW_StrSysTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t outSize);
SLAPI uint16_t _SLW_StrnSysTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t n, uint16_t outSize);
SLAPI int16_t _SLW_BufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb);
SLAPI int16_t _SLW_BufferCharCompare(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb);
SLAPI int16_t _SLW_StrDbaseCompare(hlocale h, const SL_WCHAR* a, uint16_t na, const SL_WCHAR* b, uint16_t nb, uint8_t exact);
SLAPI int16_t __SLW_StrDbaseCompare(hlocale h, const SL_WCHAR* a, uint16_t na, const SL_WCHAR* b, uint16_t nb, uint8_t exact);
SLAPI int16_t _SLW_StrCharCompare(hlocale h, const SL_WCHAR* a, const SL_WCHAR* b);
SLAPI int16_t _SLW_StrnCharCompare(hlocale h, const SL_WCHAR* a, uint16_t na, const SL_WCHAR* b, uint16_t nb);
SLAPI uint16_t _SLW_StrCharTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t outSize);
SLAPI uint16_t _SLW_StrnCharTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t n, uint16_t outSize);
SLAPI int16_t _SLW_StrByteCompare(hlocale h, const SL_WCHAR* a, const SL_WCHAR* b);
SLAPI int16_t _SLW_StrnByteCompare(hlocale h, const SL_WCHAR* a, uint16_t na, const SL_WCHAR* b, uint16_t nb);
SLAPI uint16_t _SLW_StrByteTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t outSize);
SLAPI uint16_t _SLW_StrnByteTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t n, uint16_t outSize);
SLAPI int16_t _SLW_P_StrCollate(hlocale h, const SL_WCHAR* a, const SL_WCHAR* b);
SLAPI int16_t _SLW_P_StrnCollate(hlocale h, const SL_WCHAR* a, uint16_t na, const SL_WCHAR* b, uint16_t nb);
SLAPI int16_t __SLW_StrDbaseCharCompare(hlocale h, const SL_WCHAR* a, uint16_t na, const SL_WCHAR* b, uint16_t nb, uint8_t exact);
SLAPI int16_t ___SLW_StrDbaseCharCompare(hlocale h, const SL_WCHAR* a, uint16_t na, const SL_WCHAR* b, uint16_t nb, uint8_t exact);
SLAPI int16_t __SLW_StrDbaseByteCompare(hlocale h, const SL_WCHAR* a, uint16_t na, const SL_WCHAR* b, uint16_t nb, uint8_t exact);

SLAPI int16_t _SLM_StrCollate(hlocale h, const char* a, const char* b);
SLAPI int16_t _SLM_StrnCollate(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb);
SLAPI uint16_t _SLM_StrTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t outSize);
SLAPI uint16_t _SLM_StrnTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t n, uint16_t outSize);
SLAPI uint16_t _SLM_StrSysTransform(hlocale h, char* out, const char* s, uint16_t outSize);
SLAPI uint16_t _SLM_StrnSysTransform(hlocale h, char* out, const char* s, uint16_t n, uint16_t outSize);
SLAPI int16_t _SLM_BufferCharCompare(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb);
SLAPI int16_t _SLM_StrDbaseCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb, uint8_t exact);
SLAPI int16_t __SLM_StrDbaseCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb, uint8_t exact);
SLAPI int16_t __SLM_StrDbaseCharCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb, uint8_t exact);
SLAPI int16_t ___SLM_StrDbaseCharCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb, uint8_t exact);
SLAPI int16_t __SLM_StrDbaseByteCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb, uint8_t exact);
SLAPI int16_t _SLM_StrCharCompare(hlocale h, const char* a, const char* b);
SLAPI int16_t _SLM_StrnCharCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb);
SLAPI int16_t _SLM_StrByteCompare(hlocale h, const char* a, const char* b);
SLAPI int16_t _SLM_StrnByteCompare(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb);
/* The code-order key of a multi-byte string: its bytes, whole characters only, in a buffer of outSize 16-bit units. */
SLAPI uint16_t _SLM_StrCharTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t outSize);
SLAPI uint16_t _SLM_StrnCharTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t n, uint16_t outSize);
SLAPI uint16_t _SLM_StrByteTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t outSize);
SLAPI uint16_t _SLM_StrnByteTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t n, uint16_t outSize);
SLAPI int16_t _SLM_BufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb);

#ifdef __cplusplus
}
#endif

#endif /* SLW32_H */
