#include "delete_alias_warning_dlg.h"

namespace vtxcfg {

TDeleteAliasWarningDlg::TDeleteAliasWarningDlg(QWidget* parent)
    : TCfgDialog(parent, {"DELALIASWARN_DLG",
                          "Delete Alias",
                          19,
                          {"Are you sure you want to delete this Alias?"},
                          {{"&Yes", 1}, {"&No", 2}, {"&Help", 380}},
                          2}) {}

}  // namespace vtxcfg

#include "moc_delete_alias_warning_dlg.cpp"
