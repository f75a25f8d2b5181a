// Runs the utility's dialogs modally. Tests put a runner of their own in
// place of exec(): it receives the real dialog, set up and shown, drives its
// controls and returns its result, so no test waits on an event loop.
#pragma once

#include <functional>

class QDialog;

namespace vtxcfg {

// The dialog's result: the id of the button that closed it.
int RunModal(QDialog& dialog);

using ModalRunner = std::function<int(QDialog&)>;
void SetModalRunnerForTesting(ModalRunner runner);  // empty: exec() again

}  // namespace vtxcfg
