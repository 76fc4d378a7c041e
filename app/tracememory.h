#pragma once

// Sets how the process's allocator treats blocks of trace size. Call first
// thing in main(), before any thread starts.
//
// A trace of a million points takes 8 MB a channel, and opening a file
// allocates several such blocks. Left to itself the C library maps blocks
// that large afresh for each trace and unmaps them when it is freed, so every
// page of the next trace is zeroed by the system and faulted in again on first
// touch; on a virtual machine that costs more than parsing the file. Here
// blocks up to 32 MB come from the heap, and up to 256 MB freed at the top of
// the heap stay with the process, so the next trace reuses pages already
// mapped, whichever thread reads it: all threads share one heap. Returns
// whether the settings were taken; where the C library has no such settings
// it does nothing and returns false.
bool keepTraceMemory();

// Hands the freed memory kept for the next trace back to the system. For when
// no trace is left to make room for: the program then stays as small as
// when it started, instead of holding up to 256 MB that nothing may use.
// Does nothing where the C library has no such call.
void releaseTraceMemory();
