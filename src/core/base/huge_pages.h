// Asking the system for huge pages under large buffers that are filled once
// and dropped: frames of tens of millions of pixels are new memory for every
// frame, and their first touch costs a page fault per 4 KB otherwise.
#pragma once

#include <cstddef>

// Advises huge pages for the whole pages inside [data, data + bytes); does
// nothing for buffers below a few MB or where the system does not take the
// advice.
void AdviseHugePages(void* data, std::size_t bytes);
