#include "win_ini_dlg.h"

namespace vtxcfg {

TWinIniDlg::TWinIniDlg(QWidget* parent)
    : TCfgDialog(parent, {"INIWARN_DLG",
                          "Non-system Configuration File",
                          21,
                          {"You have saved a configuration file that is not in your Registry.",
                           "Do you want to update your Registry now?"},
                          {{"&Yes", 1}, {"&No", 2}, {"&Help", 380}},
                          1}) {}

}  // namespace vtxcfg

#include "moc_win_ini_dlg.cpp"
