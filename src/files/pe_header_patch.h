// Sets the "large address aware" flag of a Windows executable (PE/COFF format) in place, so
// that the 32-bit simulator may use more than 2 GB of address space. Only the release builder
// calls it. Nothing else of the file changes; the PE checksum is left alone, as it matters
// only for drivers.
#pragma once

#include <string>

// 0; errno when the file cannot be opened, sought or closed; EIO (5) for a short read or write;
// 20013 when the file is no DOS executable ("MZ"); 20014 when no "PE\0\0" signature stands at
// the offset stored at byte 60. The path goes through set_path_to_full.
int make_file_large_address_aware(const std::string& path);
