// TMain's Search, Locate and Find Next commands, the end of a search, and
// the inventory table's record filter.
#include <QAction>
#include <QPushButton>
#include <QToolButton>

#include "platform/ui.h"
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

  for (QAction* a : {MenuSearch, MenuLocate, MenuLocateNext}) a->setEnabled(true);
  connect(MenuSearch, &QAction::triggered, this, [this] { DoSearch(); });
  connect(SpeedSearch, &QToolButton::clicked, this, [this] { DoSearch(); });
  connect(SearchButton, &QPushButton::clicked, this, [this] { DoSearch(); });
  connect(MenuLocate, &QAction::triggered, this, [this] { DoLocate(); });
  connect(SpeedLocate, &QToolButton::clicked, this, [this] { DoLocate(); });
  connect(MenuLocateNext, &QAction::triggered, this, [this] { DoLocateNext(); });
  connect(SpeedLocateNext, &QToolButton::clicked, this, [this] { DoLocateNext(); });
}

bool TMain::MyTableFilter() { return !SearchActive || (MySearch && MySearch->BuildFilter()); }

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

void TMain::DoEndSearch() {
  DisableEndSearch();
  try {
    // Opened again, the filter accepts every record.
    MyTable.Close();
    MyTable.Open();
    SetViewerOptions();
  } catch (const framework::Exception& e) {
    platform::ui::ShowMessage(e.Message(), "Error");
  }
  DisplayCount();
}

}  // namespace keldro
