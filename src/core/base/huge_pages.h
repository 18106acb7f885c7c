// Asking the system for huge pages under large buffers that are filled once
// and dropped: frames are new memory for every frame, and their first touch
// costs a page fault per 4 KB otherwise (a tenth of a 1200 x 800 frame's
// drawing, measured).
#pragma once

#include <cstddef>

// Advises huge pages for the whole pages inside [data, data + bytes); does
// nothing for buffers below a few MB or where the system does not take the
// advice.
void AdviseHugePages(void* data, std::size_t bytes);

// Memory for a frame-sized buffer: from the heap below a huge page, else
// mapped on a huge-page boundary (rounded up to whole huge pages where that
// wastes little) and advised, so that its first touch takes a fault per
// 2 MB. Null when there is no memory. Give it back with FreeFrameMemory and
// the same size.
void* AllocateFrameMemory(std::size_t bytes);
void FreeFrameMemory(void* data, std::size_t bytes);

// Gives back the memory kept for frames to come, and the heap's free memory
// unless KeepFreedMemoryDuringSaves was called; at the end of a save, so
// that a program that saved once does not hold it.
void ReleaseSpareFrameMemory();

// Has the heap keep what is freed for the next allocation instead of giving
// every block of 128 KB or more back to the system when it is freed: a save
// makes and drops histograms, tables and frames over and over, and memory
// the system hands out anew costs a fault and zeroing per 4 KB (a tenth of a
// small encode's time). Every thread then takes from that one heap, whose
// first megabytes are in huge pages. For a program that ends soon after its
// saves (the command-line tool), called once at its start: the heap keeps
// its memory until the program ends.
void KeepFreedMemoryDuringSaves();
