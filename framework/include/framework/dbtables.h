// Datasets over the engine "ORBEX32.DLL": the session, databases (a
// directory each, no aliases), TDBDataSet, TTable and TQuery.
//
// The engine is loaded at run time on first use: "ORBEX32.DLL" is looked up
// as libORBEX32.so in the session's library directories, then the program
// directory. Engine refusals raise EDatabaseError carrying the engine's code
// and its text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/db.h"

namespace framework {

class TDatabase;

// The one session of a program.
class TSession {
 public:
  static TSession& Default();

  // Where answer tables and other temporary tables go.
  const std::string& PrivateDir() const { return privateDir_; }
  void SetPrivateDir(const std::string& dir) { privateDir_ = dir; }
  // Directories searched for the engine before the program directory.
  std::vector<std::filesystem::path> LibraryDirs;
  // Asked when the engine reports a lock conflict (record or table locked
  // by another program): true to try again. Unassigned: no retry.
  std::function<bool(uint16_t errorCode)> OnLockRetry;
  bool LockRetry(uint16_t errorCode) const { return OnLockRetry && OnLockRetry(errorCode); }
  static bool IsLockConflict(uint16_t errorCode);

  // The database for a directory (made on first use, kept for the session).
  TDatabase& OpenDatabase(const std::string& directory);
  // Loads the engine now; EDatabaseError when it cannot be loaded.
  void LoadEngine();

 private:
  std::string privateDir_;
  std::vector<std::unique_ptr<TDatabase>> databases_;
};

// A directory of tables, open in the engine while a dataset uses it.
class TDatabase {
 public:
  explicit TDatabase(std::string directory) : directory_(std::move(directory)) {}
  ~TDatabase();
  TDatabase(const TDatabase&) = delete;
  TDatabase& operator=(const TDatabase&) = delete;

  const std::string& DatabaseName() const { return directory_; }
  bool Connected() const { return handle_ != 0; }
  void Open();
  void Close();
  uint32_t Handle();  // opens on first use

 private:
  std::string directory_;
  uint32_t handle_ = 0;
};

// A dataset over an engine cursor.
class TDBDataSet : public TDataSet {
 public:
  // A directory; no aliases.
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  TDatabase& Database();
  uint32_t DBHandle();        // the engine's database handle
  uint32_t Handle() const;    // the engine's cursor handle, 0 when closed

 protected:
  // A dataset cursor over an engine cursor the dataset opened itself (an
  // answer); the dataset closes it.
  static std::unique_ptr<detail::Cursor> AdoptEngineCursor(uint32_t handle);
  // The cursor step of datasets that open engine cursors themselves: the
  // handle OpenEngineCursor answers (0: nothing to show, the open stops).
  std::unique_ptr<detail::Cursor> CreateCursor() override;
  virtual uint32_t OpenEngineCursor();

 private:
  std::string databaseName_;
};

enum TTableType { ttDefault, ttTessaly, ttDBase, ttASCII };

class TTable : public TDBDataSet {
 public:
  TTable();
  ~TTable() override;

  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& name);
  TTableType TableType() const { return tableType_; }
  void SetTableType(TTableType type);
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool exclusive);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  bool CanModify() const override;

  // Indexes: "" is the natural order.
  const std::string& IndexName() const { return indexName_; }
  void SetIndexName(const std::string& name);
  TIndexDefs& IndexDefs();
  int IndexFieldCount();
  TField* IndexFields(int i);
  void AddIndex(const std::string& name, const std::string& fields, TIndexOptions options);
  void DeleteIndex(const std::string& name);

  // Key searches in the active index, with the values of its key fields.
  bool FindKey(const std::vector<std::string>& values);
  void FindNearest(const std::vector<std::string>& values);
  void SetKey();       // set-key state: assign the key fields, then GotoKey
  bool GotoKey();
  void GotoNearest();
  // Ranges: SetRangeStart/SetRangeEnd edit the bounds in set-key state.
  void SetRangeStart();
  void SetRangeEnd();
  void ApplyRange();
  void CancelRange();
  void SetRange(const std::vector<std::string>& start, const std::vector<std::string>& end);

  // Batches: every post, delete and memo write made through this table's
  // file in this process, from BeginBatch to CommitBatch or RollbackBatch,
  // reaches the disk as one: all of it or none of it, also across a kill,
  // a crash or a full disk, and synced once at the commit instead of at
  // every post. The table must be open and writable; a nested BeginBatch,
  // or a commit or rollback without a batch, raises EDatabaseError.
  // CommitBatch posts a pending edit first; a commit that fails has rolled
  // the whole batch back when it raises. A post that fails inside the batch
  // rolls the batch back too: it raises, later posts and CommitBatch raise
  // the same failure, and RollbackBatch ends the batch quietly. Rolling
  // back cancels a pending edit and re-reads the records. Closing the table
  // rolls back a batch it began. Other programs see none of the batch's
  // appends before the commit, and in a shared open their appends wait
  // until it ends. No index is added or deleted, and the table is not
  // packed, inside a batch.
  void BeginBatch();
  void CommitBatch();
  void RollbackBatch();
  bool InBatch() const;

  // Creates the table file from FieldDefs (replacing an existing one).
  void CreateTable();
  TFieldDefs& FieldDefs() { return TDataSet::FieldDefs(); }

 protected:
  std::unique_ptr<detail::Cursor> CreateCursor() override;
  void PrepareCursor() override;

 private:
  void CheckKeyIndex();
  void RereadRecords();
  void StoreKeyEdit();
  void AssignKey(const std::vector<std::string>& values);
  bool SearchKey(bool nearest);
  bool ExpressionIndex();

  std::string tableName_;
  uint32_t batchCursor_ = 0;  // the engine cursor that began the batch
  TTableType tableType_ = ttDefault;
  bool exclusive_ = false;
  bool readOnly_ = false;
  std::string indexName_;
  TIndexDefs indexDefs_;
  enum class KeyEdit { None, Search, RangeStart, RangeEnd } keyEdit_ = KeyEdit::None;
  std::vector<FieldValue> rangeStart_, rangeEnd_;
  bool rangeStartSet_ = false, rangeEndSet_ = false;
};

// The live records of a dBASE table, counted through a cursor of its own in
// natural order without filters. It touches no session or dataset, so it
// may run on any thread: a window can show a large table before its count
// is in. Throws EDatabaseError.
int CountTableRecords(const std::string& directory, const std::string& tableName);

// An SQL query over the tables of its database's directory. Parameters
// (":NAME" in the text) appear in Params when the query is prepared; a
// parameter without a value is NULL. Opening runs the query and shows its
// answer (read-only); ExecSQL runs one without an answer.
class TQuery : public TDBDataSet {
 public:
  TQuery() = default;
  ~TQuery() override;

  std::vector<std::string> SQL;
  TParams& Params() { return params_; }
  TParam& ParamByName(std::string_view name) { return params_.ParamByName(name); }
  // Checks the text with the engine and lists its parameters (values of
  // parameters already listed are kept).
  void Prepare();
  void ExecSQL();
  // Records the last ExecSQL changed, or the rows of the last answer.
  uint32_t RowsAffected() const { return rowsAffected_; }

 protected:
  std::unique_ptr<detail::Cursor> CreateCursor() override;

 private:
  // Runs the statement: its answer cursor, 0 when it has none.
  uint32_t Run();
  std::string Text() const;

  TParams params_;
  std::string preparedText_;
  uint32_t rowsAffected_ = 0;
};

}  // namespace framework
