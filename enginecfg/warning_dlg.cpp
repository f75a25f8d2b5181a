#include "warning_dlg.h"

namespace vtxcfg {

TWarningDlg::TWarningDlg(QWidget* parent)
    : TCfgDialog(parent, {"EXITWARN_DLG",
                          " Close Configuration File",
                          17,
                          {"The configuration file has changed.", "Do you want to save the changes?"},
                          {{"&Yes", 1}, {"&No", 7}, {"Cancel", 2}},
                          1}) {}

}  // namespace vtxcfg

#include "moc_warning_dlg.cpp"
