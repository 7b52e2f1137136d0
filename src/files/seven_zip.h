// 7z archives, read with libarchive (7z format only; it decodes Copy, LZMA, LZMA2, BCJ and
// BCJ2). Some release files travel as 7z instead of zip; the install engine calls this the
// same way as zip_to_file. Items are streamed, never held whole in memory, each written beside
// its target and renamed into place; names that would leave the folder are refused.
#pragma once

#include <string>

// Writes every file item of archive into folder (ending with '/'); folder items are skipped
// and no folder is made, so an item whose folder is missing fails with 2. 0 or the first
// failure: the errno of opening the archive or of creating a file, 20001 not a 7z archive,
// 20002 damaged data or an unsafe name, 20004 a failed write (a full disk included).
// *name, when given, receives the path of each item written; with rename set every item is
// written to folder + the text *name held on entry.
int p7z_to_file(const std::string& archive, const std::string& folder, std::string* name,
                int rename);
