// Zip archives as the releases carry them: plain files, folders, symbolic links and, for files
// with Mac metadata, "__MACOSX/._name" side entries in the AppleDouble layout. Built on minizip
// with its 64-bit calls (large archives and zip64 entries).
//
// Extraction never writes outside the target folder (absolute names, ".." and writing through a
// link made by the same archive are refused), streams each entry through a fixed buffer, and
// writes each file beside its target before renaming it into place. Linux has no resource forks
// or Finder information: side entries are checked (20012 when their header is bad) and dropped.
#pragma once

#include <minizip/unzip.h>

#include <map>
#include <string>
#include <vector>

// Unpacks every entry of archive into folder (ending with '/'). 0 or the first failure's code:
// 20001 the archive cannot be opened, 20002 an entry is damaged, short or refused as unsafe,
// 20012 a bad side entry, minizip's CRC code, or the errno of a failed create or write.
// *name, when given, receives the first entry's name; with rename set the archive's one file
// entry is written to folder + the text *name held on entry instead.
int zip_to_file(const std::string& archive, const std::string& folder, std::string* name,
                int rename);

// As zip_to_file (no renaming), and gives the MD5 of each file and link written (lower-case hex;
// a link's is that of its text, as path_signature signs an installed link) by the path it was
// written to. The digests are taken from the bytes as they are written, never read back.
int zip_to_file_signed(const std::string& archive, const std::string& folder,
                       std::map<std::string, std::string>* signatures);

// The names of every entry of archive, in archive order. 0, 20001 when the archive cannot be
// opened, or 20002 when an entry's header cannot be read.
int zip_entry_names(const std::string& archive, std::vector<std::string>* names);

// Checks the current entry, a side entry for target (the "._" file of the side entry's folder
// already mapped to its file), and drops it.
int unzip_resource_fork(unzFile zip, std::string target, const unz_file_info64& info);

// Re-creates the current entry as a symbolic link at target.
int unzip_symlink(unzFile zip, std::string target, const unz_file_info64& info);

// Writes a new archive (replacing any file of that name) holding the one source file, or the
// text of a symbolic link. Unix "version made by", zip64 when the file needs it. No side
// entry is written: Linux files have no resource fork. 0, 20003 when the archive cannot be
// made, 20006 when the source cannot be read, or the errno / minizip code of the failing step.
int file_to_zip(const std::string& source, const std::string& archive);
