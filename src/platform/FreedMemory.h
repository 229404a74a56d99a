#pragma once

// Hands memory the program has freed back to the system. The C library keeps freed memory in
// per-thread pools for reuse, and large pictures decoded and dropped on worker threads can
// leave a hundred megabytes there long after they are gone. Safe on any thread; it takes the
// allocator's locks in turn, so it belongs on a worker.
void returnFreedMemory();
