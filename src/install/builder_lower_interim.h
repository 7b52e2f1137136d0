// Stand-in for the executable header patch of the file layer, which is being written at the same
// time; the declaration matches its own, and this pair goes away once it is merged.
#pragma once

#include <string>

// Sets the large-address-aware flag of a Windows PE file in place: 0, errno, 20013 (no DOS
// header) or 20014 (no PE signature).
int make_file_large_address_aware(const std::string& path);
