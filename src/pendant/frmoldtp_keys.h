#pragma once

#include <Qt>

#include <cstdint>

namespace tarvisk {

// The desktop's virtual-key code of a Qt key, as the pendant windows report keys (Ctrl 17,
// Alt 18, letters and digits their upper-case character). Keys produced with Shift on a US
// layout map to the key that carries them ('!' is the key '1'); keypad keys map to the
// keypad codes. A key with no such code gives 0.
int32_t virtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers);

} // namespace tarvisk
