// Memory that the program no longer uses, given back to the system.
#pragma once

namespace app {

// Gives the heap's free pages back to the system. The allocator keeps what a large structure of
// many small blocks (a big note's rows) occupied for reuse; after a window that held one closes,
// the program would otherwise go on holding its peak.
void ReturnFreeMemory();

// Gives free memory back when it goes out of scope: declared before a window that holds much, it
// runs after the window and all it held are gone.
struct ReturnFreeMemoryAtExit {
    ReturnFreeMemoryAtExit() = default;
    ReturnFreeMemoryAtExit(const ReturnFreeMemoryAtExit&) = delete;
    ReturnFreeMemoryAtExit& operator=(const ReturnFreeMemoryAtExit&) = delete;
    ~ReturnFreeMemoryAtExit() { ReturnFreeMemory(); }
};

} // namespace app
