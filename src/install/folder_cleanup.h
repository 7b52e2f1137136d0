// Folders of an install: the installation folder, the folders of the files to install and the
// simulator's working folders are made before anything is written; the disc flows delete the
// files marked for deletion up front; both flows then remove the folders the deletions emptied.
#pragma once

#include <set>
#include <string>

// Makes the folders; 0, or the code of the first folder of the installation path or of a file
// to install that could not be made (after its alert).
int make_dirs();

// The alert for a folder that could not be made.
void make_dir_error(const std::string& folder, int code);

// Deletes the local file of every newest version marked do_delete, then removes the folders
// this left empty (disc flows).
void delete_files();

// out = the folder part of path: up to and including the last "/" before the leaf, a single
// trailing "/" belonging to the leaf; "" without a slash, "/" when the only slash leads.
void get_path_with_path(std::string& out, const std::string& path);

// Deletes the installed file of a newest version and records every folder of it below the
// installation folder in folders. On success the model says the file is absent; on failure the
// model is left as it was, a warning is logged and failed_deletes counts it. Returns the code
// (a file already absent counts as deleted).
int delete_installed_file(int history, std::set<std::string>& folders, const char* log_prefix);
// The same for a delete already made elsewhere (a worker's), whose result is code.
int note_installed_file_delete(int history, int code, std::set<std::string>& folders, const char* log_prefix);

// Removes each folder of the set that is empty, deepest first.
void remove_emptied_folders(const std::set<std::string>& folders);

// Deletes that failed during this install step; the finish screen reports them.
extern int failed_deletes;
