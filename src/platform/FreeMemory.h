#pragma once

namespace platform {

// Hands memory the program has freed back to the system, for a moment when it goes quiet
// (the window hidden in the tray): the allocator otherwise keeps freed
// blocks for reuse, and an idle program would hold its busiest moment's size for good.
void ReturnFreedMemory();

}  // namespace platform
