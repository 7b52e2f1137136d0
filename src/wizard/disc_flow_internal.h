// Helpers the disc flows' files share.
#pragma once

#include <string>
#include <vector>

// The translation of an English text, and its placeholders filled.
std::string disc_tr(const char* english);
std::string disc_sub(const std::string& text, const std::vector<std::string>& values);

// The disk-space report of the disc flows (drawn, 1 when the space suffices): the files to
// install plus what the disc pipeline needs beside them, the folders it makes and the archives
// waiting in its staging folder on the destination volume.
int disc_disk_report(const std::string& enough_text, const std::string& short_text);
