#include "overwrite_warning_dlg.h"

namespace vtxcfg {

TOverwriteWarningDlg::TOverwriteWarningDlg(QWidget* parent)
    : TCfgDialog(parent, {"OVERWRITEWARN_DLG",
                          "Overwrite Existing File",
                          56,
                          {"The file name you selected already exists.", "Overwrite the existing file?"},
                          {{"&Yes", 1}, {"&No", 2}, {"&Help", 380}},
                          2}) {}

}  // namespace vtxcfg

#include "moc_overwrite_warning_dlg.cpp"
