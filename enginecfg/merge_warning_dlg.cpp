#include "merge_warning_dlg.h"

namespace vtxcfg {

TMergeWarningDlg::TMergeWarningDlg(QWidget* parent)
    : TCfgDialog(parent, {"MERGEWARN_DLG",
                          "Merge Configuration Files",
                          59,
                          {"You cannot undo a merge.", "Do you want to continue with this merge?"},
                          {{"&Yes", 1}, {"&No", 2}, {"&Help", 380}},
                          2}) {}

}  // namespace vtxcfg

#include "moc_merge_warning_dlg.cpp"
