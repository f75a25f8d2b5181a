// Notifications of the combo box to its editor.
#pragma once

namespace vtxcfg {

enum ComboNotify { kNotifySelEndOk = 9, kNotifySelEndCancel = 10, kNotifyEditChange = 5, kNotifyUp = 0x64,
                   kNotifyDown = 0x65 };

}  // namespace vtxcfg
