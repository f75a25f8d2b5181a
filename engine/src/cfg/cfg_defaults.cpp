// The configuration the engine runs on when it has no file, in the file's
// own form, so a saved copy of it reads back the same.
#include "cfg/cfg_tree.h"

namespace orb::cfg {

std::string_view DefaultsText() {
  static constexpr std::string_view kText = R"(ORBEX32 CONFIGURATION 1
[\DRIVERS]
?=The drivers the engine reaches tables through.
[\DRIVERS\TESSALY]
?=The Tessaly driver for local tables.
[\DRIVERS\TESSALY\INIT]
?=How the Tessaly driver starts.
VERSION=4.0
?VERSION=Version of the driver.
TYPE=FILE
?TYPE=Kind of driver: FILE for local tables, SERVER for database servers.
NET DIR=
?NET DIR=Folder of the network control file that users of shared tables have in common.
LANGDRIVER=ascii
?LANGDRIVER=Language driver of new tables: their sort order and character set.
LEVEL=5
?LEVEL=Table level of new tables.
BLOCK SIZE=2048
?BLOCK SIZE=Size in bytes of the blocks of new tables.
FILL FACTOR=95
?FILL FACTOR=Percentage of an index block filled before it is split.
STRICTINTEGRTY=TRUE
?STRICTINTEGRTY=TRUE keeps programs that do not know referential integrity from changing tables that use it.
[\DRIVERS\DBASE]
?=The dBASE driver for dBASE tables and their indexes.
[\DRIVERS\DBASE\INIT]
?=How the dBASE driver starts.
VERSION=4.0
?VERSION=Version of the driver.
TYPE=FILE
?TYPE=Kind of driver: FILE for local tables, SERVER for database servers.
LANGDRIVER=DB437US0
?LANGDRIVER=Language driver of new dBASE tables: their sort order and character set.
LEVEL=4
?LEVEL=dBASE level of new tables.
MDX BLOCK SIZE=2
?MDX BLOCK SIZE=Size of the blocks of new production indexes, in units of 512 bytes.
MEMO FILE BLOCK SIZE=2
?MEMO FILE BLOCK SIZE=Size of the blocks of new memo files, in units of 512 bytes.
[\DRIVERS\ASCIIDRV]
?=The driver for text tables.
[\DRIVERS\ASCIIDRV\INIT]
?=How the text driver starts.
VERSION=4.0
?VERSION=Version of the driver.
TYPE=FILE
?TYPE=Kind of driver: FILE for local tables, SERVER for database servers.
LANGDRIVER=ascii
?LANGDRIVER=Language driver of text tables.
[\DRIVERS\ORACLE]
?=The driver for Oracle database servers.
[\DRIVERS\ORACLE\INIT]
?=How the Oracle driver starts.
VERSION=4.0
?VERSION=Version of the driver.
TYPE=SERVER
?TYPE=Kind of driver: FILE for local tables, SERVER for database servers.
DLL=CNDORA01.DLL
?DLL=Library of the driver for 16-bit programs.
DLL32=CNDORA32.DLL
?DLL32=Library of the driver for 32-bit programs.
VENDOR INIT=ORA7WIN.DLL
?VENDOR INIT=Client library of the database vendor.
DRIVER FLAGS=
?DRIVER FLAGS=Flags that change how the driver works; leave empty unless told otherwise.
[\DRIVERS\ORACLE\DB OPEN]
?=How aliases of the Oracle driver open their database.
SERVER NAME=ORA_SERVER
?SERVER NAME=Name of the database server.
USER NAME=MYNAME
?USER NAME=User name offered at log-in.
NET PROTOCOL=SPX/IPX
?NET PROTOCOL=Network protocol to the server.
OPEN MODE=READ/WRITE
?OPEN MODE=READ/WRITE or READ ONLY.
SCHEMA CACHE SIZE=8
?SCHEMA CACHE SIZE=Number of tables whose structure is kept.
LANGDRIVER=
?LANGDRIVER=Language driver of the server's data.
SQLQRYMODE=
?SQLQRYMODE=Where queries run: LOCAL, SERVER or empty for either.
SQLPASSTHRU MODE=SHARED AUTOCOMMIT
?SQLPASSTHRU MODE=Whether passed-through statements share the alias's connection and commit on their own.
SCHEMA CACHE TIME=-1
?SCHEMA CACHE TIME=Seconds table structures stay cached; -1 for as long as the alias is open.
MAX ROWS=-1
?MAX ROWS=Most rows one request returns; -1 for no limit.
BATCH COUNT=200
?BATCH COUNT=Rows changed before a batch is committed.
ENABLE SCHEMA CACHE=FALSE
?ENABLE SCHEMA CACHE=TRUE keeps table structures on disk between sessions.
SCHEMA CACHE DIR=
?SCHEMA CACHE DIR=Folder of the kept table structures.
ENABLE INTEGERS=FALSE
?ENABLE INTEGERS=TRUE maps whole numbers to integer fields.
LIST SYNONYMS=NONE
?LIST SYNONYMS=Which synonyms are listed with the tables: NONE, PRIVATE or ALL.
ROWSET SIZE=20
?ROWSET SIZE=Rows fetched from the server at once.
BLOBS TO CACHE=64
?BLOBS TO CACHE=Number of binary values kept in memory.
BLOB SIZE=32
?BLOB SIZE=Size in kilobytes of the buffer for binary values.
[\DATABASES]
?=The aliases: names for databases and folders of tables.
[\SYSTEM]
?=Settings of the engine itself.
[\SYSTEM\INIT]
?=How the engine starts.
VERSION=4.0
?VERSION=Version of the configuration.
LOCAL SHARE=FALSE
?LOCAL SHARE=TRUE lets programs that do not use the engine share local tables with it.
MINBUFSIZE=128
?MINBUFSIZE=Smallest memory in kilobytes that the engine keeps for its buffers.
MAXBUFSIZE=2048
?MAXBUFSIZE=Largest memory in kilobytes that the engine keeps for its buffers.
LANGDRIVER=ascii
?LANGDRIVER=Language driver of the engine's own work.
DEFAULT DRIVER=TESSALY
?DEFAULT DRIVER=Driver of tables that are opened by path without a driver.
AUTO ODBC=FALSE
?AUTO ODBC=TRUE adds the installed ODBC data sources as aliases when the engine starts.
SQLQRYMODE=
?SQLQRYMODE=Where queries run: LOCAL, SERVER or empty for either.
MAXFILEHANDLES=48
?MAXFILEHANDLES=Most files the engine keeps open at once.
MEMSIZE=16
?MEMSIZE=Memory in megabytes the engine may use.
LOW MEMORY USAGE LIMIT=32
?LOW MEMORY USAGE LIMIT=Memory in kilobytes the engine keeps below the first megabyte.
SHAREDMEMSIZE=2048
?SHAREDMEMSIZE=Shared memory in kilobytes the engine may use.
SHAREDMEMLOCATION=
?SHAREDMEMLOCATION=Preferred address of the shared memory; empty lets the engine choose.
[\SYSTEM\FORMATS]
?=How dates, times and numbers are shown and read.
[\SYSTEM\FORMATS\DATE]
?=Date format.
SEPARATOR=/
?SEPARATOR=Character between day, month and year.
MODE=0
?MODE=Order of the parts: 0 month-day-year, 1 day-month-year, 2 year-month-day.
FOURDIGITYEAR=FALSE
?FOURDIGITYEAR=TRUE shows years with four digits.
YEARBIASED=TRUE
?YEARBIASED=TRUE reads two-digit years as years of this century.
LEADINGZEROM=FALSE
?LEADINGZEROM=TRUE shows months below 10 with a leading zero.
LEADINGZEROD=FALSE
?LEADINGZEROD=TRUE shows days below 10 with a leading zero.
[\SYSTEM\FORMATS\TIME]
?=Time format.
TWELVEHOUR=TRUE
?TWELVEHOUR=TRUE shows times on the twelve-hour clock.
AMSTRING=AM
?AMSTRING=Text after a morning time on the twelve-hour clock.
PMSTRING=PM
?PMSTRING=Text after an afternoon time on the twelve-hour clock.
SECONDS=TRUE
?SECONDS=TRUE shows seconds.
MILSECONDS=FALSE
?MILSECONDS=TRUE shows milliseconds.
[\SYSTEM\FORMATS\NUMBER]
?=Number format.
DECIMALSEPARATOR=.
?DECIMALSEPARATOR=Character between the whole part and the fraction.
THOUSANDSEPARATOR=,
?THOUSANDSEPARATOR=Character between groups of thousands.
DECIMALDIGITS=2
?DECIMALDIGITS=Digits after the decimal separator.
LEADINGZERON=TRUE
?LEADINGZERON=TRUE shows a zero before the separator of numbers below 1.
)";
  return kText;
}

}  // namespace orb::cfg
