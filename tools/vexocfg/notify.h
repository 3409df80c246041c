// Telling the running vexo to read its settings again.
#pragma once

namespace vexocfg {

// False when no vexo button window is found: vexo is not running.
bool NotifyVexo();

} // namespace vexocfg
