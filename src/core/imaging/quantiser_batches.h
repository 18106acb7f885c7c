// Hands histogram entries to libimagequant in batches: its memory stays
// bounded however many entries there are, while it weighs the colours as it
// would one batch of them all.
#pragma once

#include <libimagequant.h>

#include <vector>

liq_error AddToQuantiser(liq_histogram* hist, liq_attr* attr,
                         const std::vector<liq_histogram_entry>& entries);
