// The lookup table the lookup tests share: BRANDS.DBF (NAME C20, ID N,
// COUNTRY C10) in natural order Sony, Nikon, Philips, Acme, Samsung, Bosch
// with IDs 1 to 6, tags NAME, ID and UNAME = UPPER(NAME).
#pragma once

#include <string>

#include "framework/dbtables.h"

namespace gridtest {

inline void MakeBrandsTable(const std::string& dir) {
  using namespace framework;
  TTable b;
  b.SetDatabaseName(dir);
  b.SetTableName("BRANDS.DBF");
  b.FieldDefs().Add("NAME", ftString, 20);
  b.FieldDefs().Add("ID", ftInteger);
  b.FieldDefs().Add("COUNTRY", ftString, 10);
  b.CreateTable();
  b.AddIndex("NAME", "NAME", 0);
  b.AddIndex("ID", "ID", 0);
  b.AddIndex("UNAME", "UPPER(NAME)", ixExpression);
  b.Open();
  int id = 1;
  const char* countries[] = {"JP", "JP", "NL", "US", "KR", "DE"};
  for (const char* n : {"Sony", "Nikon", "Philips", "Acme", "Samsung", "Bosch"}) {
    b.Append();
    b.FieldByName("NAME")->SetAsString(n);
    b.FieldByName("COUNTRY")->SetAsString(countries[id - 1]);
    b.FieldByName("ID")->SetAsInteger(id++);
    b.Post();
  }
}

}  // namespace gridtest
