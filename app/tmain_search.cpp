// TMain's Search, Locate and Find Next commands and the inventory table's
// record filter (the commands are connected with the others in
// tmain_commands.cpp).
#include "tmain.h"
#include "tmyedit.h"
#include "tmylocate.h"
#include "tmysearch.h"

namespace keldro {

void TMain::CreateSearchWindows() {
  MySearch = new TMySearch(MyTable, this);
  MySearch->OnEnableEndSearch = [this] { EnableEndSearch(); };
  MySearch->OnEndSearch = [this] { DoEndSearch(); };
  MySearch->OnReopenTable = [this] {
    MyTable.Close();
    MyTable.Open();
    SetViewerOptions();
  };
  MySearch->PickList = [this](int list) { return MyEdit ? MyEdit->PickListItems(list) : std::vector<std::string>{}; };
  MyTable.SetOnFilter([this](grid::TixTable&) { return MyTableFilter(); });

  MyLocateDialog = new TMyLocateDialog(this);
  MyLocateDialog->SetDataSource(&MyDataSource);
}

// With no query applied (the search state set without one), every record
// passes: a table never shows nothing for want of a query.
bool TMain::MyTableFilter() {
  return !SearchActive || !MySearch || MySearch->AppliedItems().empty() || MySearch->BuildFilter();
}

void TMain::DoSearch() {
  if (!MySearch) return;
  MySearch->Screen = screen_;
  MySearch->exec();
  DisplayCount();
}

void TMain::DoLocate() {
  MyLocateDialog->Screen = screen_;
  MyLocateDialog->Execute();
}

void TMain::DoLocateNext() {
  MyLocateDialog->Screen = screen_;
  MyLocateDialog->FindNext();
}

}  // namespace keldro
