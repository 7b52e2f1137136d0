// Plain file and folder operations on '/'-separated paths: copy, delete, rename and create,
// existence and size queries, tree copy and delete, the MD5 of a file, the free space of a
// volume, disc test and eject, and starting another program. Paths are relative to the install
// root or absolute and pass through set_path_to_full unless said otherwise. Results are 0, a
// POSIX errno value, a Mac OS file-manager code or one of our own codes from 20001 (see
// error_str).
#pragma once

#include <cstdint>
#include <string>

// --- Failure site: where the last failing file or archive operation of this thread failed.
extern thread_local const char* sErrFile;
extern thread_local int sErrLine;
#define SKY_FAILURE_SITE(file) (sErrFile = (file), sErrLine = __LINE__)

// --- Copy and move
// Copies one file's bytes (64 KiB at a time), then gives the copy the source's permission bits.
// 2 when either file cannot be opened (an existing destination is untouched when the source is
// missing); a failed read, write or close gives its errno.
int copy_file(const std::string& source, const std::string& destination);
// Copies a file, or a folder tree (dot-files included, symbolic links re-created as links).
// The first failing copy stops it; a folder that cannot be listed is a failure.
int copy_file_recursive(const std::string& source, const std::string& destination);
// Renames folder + old_name to folder + new_name.
int rename_file(const std::string& folder, const std::string& old_name, const std::string& new_name);

// --- Delete and create
// Removes a file or link, or (path ending with '/') an empty folder. An empty path gives 2.
int delete_file(const std::string& path);
// Deletes a folder tree (path ending with '/') depth-first, never following links.
int recursive_delete_folder(const std::string& path);
// Makes one folder level with mode 0755; EEXIST (17) for an existing folder.
int make_folder(const std::string& path);

// --- Queries
int dir_exists(const std::string& path);   // 1 for a folder or a link to one
int file_exists(const std::string& path);  // 1 when it exists and is not a folder
int64_t APL_file_size(const std::string& path);  // bytes; -1 for a folder or a missing path
int make_file_executable(const std::string& path);  // mode 0755
// 1 when path is a symbolic link, with its whole target text in *target when asked.
int is_sim_link(const std::string& path, std::string* target = nullptr);

// --- File digest
// MD5 of the file's bytes (of the link text for a symbolic link) as 32 lower-case hex digits.
// 20006 when the file cannot be read; the digest is then left unchanged.
int calc_file_md5(const std::string& path, std::string& digest);

// --- Volumes
// Total and free bytes of the volume that holds path (or would hold it once made).
int get_free_space(const std::string& path, uint64_t* total, uint64_t* free_bytes);
// Ejects the volume that holds the absolute path (used as given).
int eject_dvd(const std::string& path);
// 1 when the volume that holds path is a CD or DVD. Linux has no volume numbers, so this
// takes a path on the volume.
int APL_is_dvd_disk(const std::string& path);

// --- Launch
// The executable a folder path (an application "bundle") resolves to.
extern const char* const launch_bundle_executable;
// Starts the program (a folder resolves to its executable) with the arguments (path, "-path",
// folder), or (path) alone when folder is empty. Once it has really started, runs the finish
// call with saving when finish is set and ends this process with status 1. Returns the errno
// only when the program could not be started (missing, not executable, bad format).
int launch_app(const std::string& app, const std::string& folder, int finish);
