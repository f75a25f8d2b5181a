#include "modal.h"

#include <QDialog>

namespace vtxcfg {
namespace {
ModalRunner& Runner() {
  static ModalRunner runner;
  return runner;
}
}  // namespace

int RunModal(QDialog& dialog) {
  if (Runner()) return Runner()(dialog);
  return dialog.exec();
}

void SetModalRunnerForTesting(ModalRunner runner) { Runner() = std::move(runner); }

}  // namespace vtxcfg
