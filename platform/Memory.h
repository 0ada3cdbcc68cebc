// How the process's heap gives memory back to the system.
#pragma once

namespace platform {

// A pass allocates and frees the same few buffers for every file (the
// OpenPGP library's stream buffers among them). By default the allocator
// hands the top of the heap back to the system as soon as 128 KiB lie free
// there, and takes it back for the next file: a system call, page faults
// and zeroed pages per file. This keeps up to 64 MiB of freed heap for
// reuse and grows the heap in steps of 16 MiB. Called once, at start.
void KeepFreedHeapMemory();

}  // namespace platform
