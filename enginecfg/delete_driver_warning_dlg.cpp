#include "delete_driver_warning_dlg.h"

namespace vtxcfg {

TDeleteDriverWarningDlg::TDeleteDriverWarningDlg(QWidget* parent)
    : TCfgDialog(parent, {"DELDRIVERWARN_DLG",
                          "Delete Driver",
                          25,
                          {"Are you sure you want to delete this Driver?"},
                          {{"&Yes", 1}, {"&No", 2}, {"&Help", 380}},
                          2}) {}

}  // namespace vtxcfg

#include "moc_delete_driver_warning_dlg.cpp"
