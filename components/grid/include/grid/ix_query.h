// The library's query datasets. Both carry the ControlType, LookupFields
// and LookupLinks lines of TixTable, so the grid accepts them.
//
// TixQuery is the framework's SQL query that can keep its answer as a
// named table. TixQBE runs a query-by-example text through the engine and
// shows its answer:
//
//   grid::TixQBE q;
//   q.SetDatabaseName(dir);
//   q.SetAnswerTable(":WORK:ANSWER");   // kept as WORK's ANSWER.DBF
//   q.SetQBE({"MASTER.DBF | ITEM | COST |", "| Check | > 100 |"});
//   q.Open();
//
// Answer table names: a table name or path (in the database's directory
// when relative), or an alias between colons followed by a table name.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "framework/dbtables.h"
#include "grid/ix_table.h"

namespace grid {

class TixQuery : public framework::TQuery, public TixDataSetLists {
 public:
  TixQuery();
  ~TixQuery() override;
  // Where the answer is kept after each open; empty: not kept.
  const std::string& AnswerTableName() const { return answerTable_; }
  void SetAnswerTableName(const std::string& name) { answerTable_ = name; }
  TixLookupTables& LookupTables() { return lookupTables_; }

 protected:
  void DoOnCalcFields() override;
  void OpenCursor() override;

 private:
  std::string answerTable_;
  TixLookupTables lookupTables_;
};

class TixQBE : public framework::TDBDataSet, public TixDataSetLists {
 public:
  TixQBE();
  ~TixQBE() override;

  const TLines& QBE() const { return qbe_; }
  // Copies the lines; an open dataset closes and opens again with them.
  void SetQBE(const TLines& lines);
  const std::string& AnswerTable() const { return answerTable_; }
  void SetAnswerTable(const std::string& name) { answerTable_ = name; }
  bool AuxiliaryTables = true;
  bool BlankAsZero = true;

  // "~name" in the QBE lines is replaced by the variable's value.
  void SetVariable(const std::string& name, const std::string& value);
  void ClearVariables();

  // The QBE lines after substitution, joined with CR LF.
  std::string QBEText() const;
  // True when the last open ran a query that answered nothing to show.
  bool NoAnswer() const { return noAnswer_; }
  TixLookupTables& LookupTables() { return lookupTables_; }

  // Runs the query: the engine's result, *answer its answer cursor.
  OrbResult OpenQBE(OrbCursor* answer);

 protected:
  // The cursor creation step: runs the query when there is QBE text.
  uint32_t OpenEngineCursor() override;
  void DoOnCalcFields() override;

 private:
  TLines qbe_;
  std::string answerTable_;
  std::vector<std::string> variableNames_;
  std::vector<std::string> variableValues_;
  TixLookupTables lookupTables_;
  bool noAnswer_ = false;
};

// Keeps an answer under `name` (see above); false, after telling the user,
// when it cannot.
bool SaveAnswerTable(framework::TDBDataSet& dataSet, OrbCursor answer, const std::string& name);
// The directory of an engine alias; empty for an unknown one.
std::string ResolveAliasPath(const std::string& alias);
// Creates the table (an existing one is kept) and appends the answer's
// records to it.
void CopyAnswerToTable(framework::TDBDataSet& dataSet, OrbCursor answer, const std::string& path);
// Every "~name" of a variable replaced by its value in one pass (later
// variables first where names overlap).
std::string SubstituteVariables(const std::string& line, const std::vector<std::string>& names,
                                const std::vector<std::string>& values);

}  // namespace grid
