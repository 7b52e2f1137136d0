// Release builder, first half: the walk over the release's source tree. It checks that the tree
// has the shape a release needs, decides file by file what ships in this kind of build, and
// collects the files to compile and the disc folders to make. The compile step and the output
// files are in release_builder.h.
#pragma once

#include <set>
#include <string>
#include <vector>

// Root of the source tree, "/Skyrill 9.00/" unless a test or the builder's command line points
// it elsewhere; call builder_set_source_root after changing it so the folder table follows.
extern std::string src_fold;

// The platform folders directly under the root.
extern const std::string ALL_str, APL_str, WIN_str, LIN_str;

// The folder table: every entry begins with src_fold.
extern std::string str_all_fold, str_apl_fold, str_win_fold, str_LIN_fold;
extern std::string str_ins_fold, str_wpn_fold, str_afl_fold, str_acf_fold, str_pfc_fold;
extern std::string str_res_fold, str_out_fold, str_cus_fold, str_glo_fold, str_plug;
extern std::string str_redt, str_orbt, str_erth1, str_erth2, str_mars, str_moon;
extern std::string str_men_file, str_tex_file, str_com_file;

// Found marks, set by the scan, checked by builder_check_found_marks.
extern int found_all_fold, found_apl_fold, found_win_fold, found_LIN_fold, found_ins_fold;
extern int found_wpn_fold, found_afl_fold, found_acf_fold, found_res_fold, found_out_fold;
extern int found_cus_fold, found_glo_fold, found_plug, found_redt, found_orbt;
extern int found_men_file, found_tex_file, found_com_file;

// Shared with the compile step.
extern int num_files_rec, num_files_use, num_files_com;
extern std::vector<std::string> comp_files;
extern std::set<std::string> comp_paths;
extern std::string dst_folder, dst_fold_base, sim_name;
extern int reg;

// Kind of build, fixed when the builder is compiled: 0 update build (reads the previous
// directory), 1 full disc set of the main world, 2 Mars, 3 Moon.
extern const int build_type;

// Rebuilds the folder table from a new root (which must end with "/").
void builder_set_source_root(const std::string& root);

// Clears the found marks and the file counters.
void builder_reset_scan();

// Scans one source folder (ending with "/") and everything below it. Returns 0, or 1 after a
// fatal alert stopped the scan.
int pref_level(const std::string& folder);

// 1 when the file ships in this kind of build, else 0. The readability test runs when a is 0 and
// b is not 0; an unreadable file is reported and stops the build (see release_builder_scan.cpp).
int is_good_file(std::string path, int a, int b);

// The same decision for a given kind of build; why a file was left out goes into *rule (the
// empty text when it ships). Returns -1 for an unreadable file.
int is_good_file_of_kind(const std::string& path, int a, int b, int kind, std::string* rule);

// Turns a release path into its history key in place: the platform folder becomes "ALL_os",
// "APL_os", "IBM_os" or "LIN_os" for platforms 0 to 3; other platforms put nothing in front.
// Returns 0, or 1 after the alert for a path without "/".
int chop_platform(std::string& path, int platform);

// dst_folder = dst_fold_base + "disk_<disc>/".
void set_dest_dvd(int disc);

// The checks run after the scan, in their fixed order. Returns 0, or 1 after the first fatal
// alert.
int builder_check_found_marks();

// The status line and path shown every 500th file; 1 when the key q stopped the build.
int builder_show_progress(const std::string& status, const std::string& path);

// Source name of every builder alert.
extern const char* const builder_alert_source;
