#include "error_dlg.h"

#include <QStyle>

#include "core/cfg_strings.h"
#include "modal.h"

namespace vtxcfg {

TErrorDlg::TErrorDlg(QWidget* parent, int code)
    : TCfgDialog(parent, "ERROR_DLG", "VTXCFG Error", ErrorHelpContext(code)), code_(code) {
  SetIcon(QStyle::SP_MessageBoxWarning);
  AddText(ErrorMessage(code), 365);
  AddButton("OK", kIdOk, true);
  AddButton("&Help", kIdHelp);
}

void ShowErrorDialog(int code, QWidget* parent) {
  TErrorDlg dialog(DialogParent(parent), code);
  RunModal(dialog);
}

}  // namespace vtxcfg

#include "moc_error_dlg.cpp"
