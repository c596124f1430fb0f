// Keeping freed memory in the process for the next allocation of its size.
#pragma once

// Large blocks freed by one decode are kept for the next instead of going
// back to the system: a progressive JPEG's coefficient buffers (tens of MB,
// zeroed on allocation) otherwise cost more in fresh-page faults than the
// decode itself. Blocks of 32 MB and more (whole pictures) are still mapped
// and returned on their own, and up to 128 MB of free memory is kept at most.
// Process-wide and idempotent.
void keepFreedMemoryForReuse();
