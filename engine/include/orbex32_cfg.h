/* The engine's start and stop, its configuration store and its list of
 * language drivers: the entries the configuration utility binds.
 *
 * OrbInitFn and OrbExit are exported by name; the other entries also by
 * ordinal (the number beside each). Every result is a 16-bit code, 0 for
 * success. Strings cross this interface in the OEM code page (850); the
 * configuration file holds Windows-1252 text (engine/src/cfg/cfg_format.txt).
 * Every output buffer has the size named here, in bytes, terminator included;
 * the engine never writes past it.
 */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sizes of the buffers, terminator included. */
enum {
  ORB_CFG_PATH_BYTES = 128,   /* a node path, "\SYSTEM\INIT" */
  ORB_CFG_NAME_BYTES = 128,   /* a child name from EngineNextConfigChild */
  ORB_CFG_VALUE_BYTES = 128,  /* one slot of a value block */
  ORB_CFG_HELP_BYTES = 256,   /* a description from EngineGetConfigHelp */
  ORB_CFG_ROW_BYTES = 62,     /* one parameter row (below) */
  ORB_LD_TEXT_BYTES = 20      /* a language-driver name or description */
};

/* A parameter row, 62 bytes, little-endian, written and read field by field:
 *   0  uint16  number (0-based row index)
 *   2  32      name, zero-terminated
 *  34  int16   type (1 = text; the only type)
 *  36  6       reserved, 0
 *  42  int16   offset of the value in the value block (row * 128)
 *  44  int16   length of the value slot (128)
 *  46  16      reserved, 0
 * The value block holds one 128-byte zero-terminated value per row. */
enum {
  ORB_ROW_NUMBER = 0,
  ORB_ROW_NAME = 2,
  ORB_ROW_NAME_BYTES = 32,
  ORB_ROW_TYPE = 34,
  ORB_ROW_OFFSET = 42,
  ORB_ROW_LENGTH = 44
};

/* The start record of OrbInitFn, 588 bytes, zero-filled by the caller. */
enum {
  ORB_ENV_BYTES = 588,
  ORB_ENV_WORK_DIR = 0,       /* 261 bytes */
  ORB_ENV_CONFIG_FILE = 261,  /* 261 bytes; empty: the registered file */
  ORB_ENV_FORCE_LOCAL = 522,  /* int16 */
  ORB_ENV_LANGUAGE = 524,     /* 32 bytes */
  ORB_ENV_CLIENT_NAME = 556,  /* 32 bytes */
  ORB_ENV_FIELD_BYTES = 261,
  ORB_ENV_SHORT_FIELD_BYTES = 32
};

/* Result codes of these entries (success is 0); where the engine's table
 * interface has a code of the same meaning it is the same value. */
enum {
  ORBCFG_END_OF_CHILDREN = 0x2205,   /* EngineNextConfigChild: no more children */
  ORBCFG_NOT_FOUND = 0x2206,         /* no node (or parameter) of that path (name) */
  ORBCFG_NO_CHILDREN = 0x22F1,       /* first EngineNextConfigChild on a node without children */
  ORBCFG_NOT_POSITIONED = 0x22F2,    /* EngineNextConfigChild before EngineSetConfigNode */
  ORBCFG_WRITE_FAILED = 0x2102,
  ORBCFG_ACCESS_DENIED = 0x2105,     /* the file (or its folder) cannot be read or written */
  ORBCFG_FILE_NOT_FOUND = 0x21F1,
  ORBCFG_BAD_FORMAT = 0x23F1,        /* the file is not a readable configuration */
  ORBCFG_TOO_MANY_HANDLES = 0x2402,
  ORBCFG_INVALID_HANDLE = 0x2701,
  ORBCFG_INVALID_ARGUMENT = 0x2702,  /* null pointer, bad mode, bad row, bad path */
  ORBCFG_BUFFER_TOO_SMALL = 0x270F,  /* EngineGetConfigRecord: more rows than the buffers hold */
  ORBCFG_READ_ONLY = 0x2803,         /* a change or save through a handle opened for reading */
  ORBCFG_LD_END_OF_LIST = 0x2205,
  ORBCFG_ALREADY_STARTED = 10759     /* OrbInitFn: the engine already runs in this process */
};

/* Short text of a result code of this interface ("" for others). */
const char* OrbCfgResultText(uint16_t code);

/* Start and stop. version: 300. The configuration file is the one named in
 * the start record, else the registry's "CONFIGFILE01", else "ORBEX.CFG" in
 * the system directory. A missing file starts the engine on its built-in
 * defaults; a file that exists but cannot be read refuses the start. */
uint16_t OrbInitFn(uint16_t version, const void* env);
uint16_t OrbExit(void);

/* 1064: mode 0 reads, 1 opens for writing (a missing file then starts from
 * the built-in defaults). Each handle holds its own copy of the tree; several
 * handles may be open on one file. */
uint16_t EngineOpenConfigFile(const char* path, uint16_t mode, uint32_t* handle);
/* 1065: save 1 writes the handle's tree to its file, atomically; the handle
 * is closed (and *handle set to 0) whatever the result. The registry and
 * format flags (0 or 1) are accepted; the engine has one file format. */
uint16_t EngineCloseConfigFile(uint32_t* handle, uint16_t save, uint16_t registry, uint16_t format);
/* 401: handle 0 is the built-in defaults (read only). */
uint16_t EngineGetConfigRoot(uint32_t handle, uint32_t reserved1, uint32_t reserved2, uint32_t reserved3,
                             char* rootPath);
/* 402, 403: position on a node; each 403 names its next child. */
uint16_t EngineSetConfigNode(uint32_t handle, const char* path);
uint16_t EngineNextConfigChild(uint32_t handle, char* name);
/* 404: with null buffers only the count. With buffers, *count on entry is the
 * number of rows they hold; on return the number of rows filled. */
uint16_t EngineGetConfigRecord(uint32_t handle, const char* path, uint16_t* count, uint8_t* rows,
                               char* values);
/* 405: creates the node (and its parents) when missing, then sets or appends
 * each row's parameter. 406: the node and each named parameter must exist.
 * A call with one invalid row changes nothing. */
uint16_t EngineAddConfigNode(uint32_t handle, const char* path, uint16_t count, const uint8_t* rows,
                             const char* values);
uint16_t EngineModifyConfigNode(uint32_t handle, const char* path, uint16_t count, const uint8_t* rows,
                                const char* values);
/* 407: the node and its subtree; the root cannot be deleted. */
uint16_t EngineDeleteConfigNode(uint32_t handle, const char* path);
/* 409: the node's description for an empty (or null) name, else the parameter's. */
uint16_t EngineGetConfigHelp(uint32_t handle, const char* path, const char* name, char* text);
/* 410: every node and parameter of the source into the target (opened for
 * writing); the source's values replace the target's. */
uint16_t EngineMergeConfig(uint32_t target, uint32_t source, uint32_t reserved);

/* The language drivers (a fixed table). 814 open, 815 next item, 818 close;
 * 798 name, 813 description (20 bytes each), 800 and 819 the two values
 * (819: 2 marks the drivers of the dBASE driver). */
uint16_t EngineOpenLdList(uint32_t* list);
uint16_t EngineNextLd(uint32_t list, uint32_t* item);
uint16_t EngineGetLdName(uint32_t item, char* name);
uint16_t EngineGetLdDescription(uint32_t item, char* text);
uint16_t EngineGetLdValueA(uint32_t item, int16_t* value);
uint16_t EngineGetLdValueB(uint32_t item, int16_t* value);
uint16_t EngineCloseLdList(uint32_t list);

#ifdef __cplusplus
}
#endif
