#include "install/release_builder_scan.h"

#include <cstdio>

#include "files/file_ops.h"
#include "files/folder_listing.h"
#include "files/mapped_file.h"
#include "install/release_builder_display.h"
#include "runtime/shell_services.h"

const char* const builder_alert_source = "Zuzazuziv-e/make_installer";

std::string src_fold = "/Skyrill 9.00/";

const std::string ALL_str = "All";
const std::string APL_str = "Macintosh";
const std::string WIN_str = "Windows";
const std::string LIN_str = "Linux";

std::string str_all_fold, str_apl_fold, str_win_fold, str_LIN_fold;
std::string str_ins_fold, str_wpn_fold, str_afl_fold, str_acf_fold, str_pfc_fold;
std::string str_res_fold, str_out_fold, str_cus_fold, str_glo_fold, str_plug;
std::string str_redt, str_orbt, str_erth1, str_erth2, str_mars, str_moon;
std::string str_men_file, str_tex_file, str_com_file;

int found_all_fold, found_apl_fold, found_win_fold, found_LIN_fold, found_ins_fold;
int found_wpn_fold, found_afl_fold, found_acf_fold, found_res_fold, found_out_fold;
int found_cus_fold, found_glo_fold, found_plug, found_redt, found_orbt;
int found_men_file, found_tex_file, found_com_file;

int num_files_rec, num_files_use, num_files_com;
std::vector<std::string> comp_files;
std::set<std::string> comp_paths;
std::string dst_folder;
std::string dst_fold_base = "/DVD_Masters/";
std::string sim_name = "-";
int reg;

namespace {

void fatal(int line, const std::string& a, const std::string& b, const std::string& c,
           const std::string& d) {
  __MACIBM_alert(0, a, b, c, d, t_exit, builder_alert_source, line);
}

bool contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }
bool contains(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}
bool ends_with(const std::string& s, const char* tail) {
  std::string t(tail);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// The name rules look only at the path below the root: the root is the builder's own choice
// (a test's temporary folder, say) and must never decide what ships.
std::string below_root(const std::string& path) {
  if (path.compare(0, src_fold.size(), src_fold) == 0) return path.substr(src_fold.size());
  return path;
}

struct found_entry {
  std::string* path;
  int* mark;
};

// The table's folders, in the order the scan compares them.
const found_entry folder_table[] = {
    {&str_all_fold, &found_all_fold}, {&str_apl_fold, &found_apl_fold},
    {&str_win_fold, &found_win_fold}, {&str_LIN_fold, &found_LIN_fold},
    {&str_ins_fold, &found_ins_fold}, {&str_wpn_fold, &found_wpn_fold},
    {&str_afl_fold, &found_afl_fold}, {&str_acf_fold, &found_acf_fold},
    {&str_pfc_fold, nullptr},         {&str_res_fold, &found_res_fold},
    {&str_out_fold, &found_out_fold}, {&str_cus_fold, &found_cus_fold},
    {&str_glo_fold, &found_glo_fold}, {&str_plug, &found_plug},
    {&str_redt, &found_redt},         {&str_orbt, &found_orbt},
};

const char* const all_subfolders[] = {"Aircraft/", "Airfoils/",      "Instructions/",
                                      "Output/",   "install_pfc Aircraft/", "Resources/",
                                      "Weapons/",  "Custom Scenery/", "Global Scenery/"};

void add_disc_folders(const std::string& release_path) {
  for (int disc = 0; disc < 3; ++disc) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "disk_%d/", disc);
    std::string q = dst_fold_base + buf + sim_name + "/" + release_path;
    for (auto cut = q.rfind('/'); cut != std::string::npos && cut >= dst_fold_base.size();
         cut = cut == 0 ? std::string::npos : q.rfind('/', cut - 1)) {
      q.resize(cut);
      if (q.size() >= dst_fold_base.size()) comp_paths.insert(q);
    }
  }
}

}  // namespace

void builder_set_source_root(const std::string& root) {
  src_fold = root;
  const std::string all = root + ALL_str + "/";
  str_all_fold = all;
  str_apl_fold = root + APL_str + "/";
  str_win_fold = root + WIN_str + "/";
  str_LIN_fold = root + LIN_str + "/";
  str_ins_fold = all + "Instructions/";
  str_wpn_fold = all + "Weapons/";
  str_afl_fold = all + "Airfoils/";
  str_acf_fold = all + "Aircraft/";
  str_pfc_fold = all + "install_pfc Aircraft/";
  str_res_fold = all + "Resources/";
  str_out_fold = all + "Output/";
  str_cus_fold = all + "Custom Scenery/";
  str_glo_fold = all + "Global Scenery/";
  str_plug = all + "Resources/plugins/";
  str_redt = all + "Resources/default scenery/900 red terrain/";
  str_orbt = all + "Resources/bitmaps/Earth Orbit Textures/";
  str_erth1 = all + "Global Scenery/-global overlays-";
  str_erth2 = all + "Global Scenery/-global terrain-";
  str_mars = all + "Custom Scenery/DSF 900 Mars World-Wide";
  str_moon = all + "Custom Scenery/DSF 900 Moon World-Wide";
  str_men_file = all + "Resources/menus/English/Skyrill.txt";
  str_tex_file = all + "Resources/text/English/Skyrill.txt";
  str_com_file = all + "Resources-UAH/ac_threat.dat";
}

namespace {
struct table_at_start {
  table_at_start() { builder_set_source_root(src_fold); }
} build_table_once;
}  // namespace

void builder_reset_scan() {
  for (const auto& e : folder_table)
    if (e.mark) *e.mark = 0;
  found_men_file = found_tex_file = found_com_file = 0;
  num_files_rec = num_files_use = num_files_com = 0;
}

void set_dest_dvd(int disc) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "disk_%d/", disc);
  dst_folder = dst_fold_base + buf;
}

int builder_show_progress(const std::string& status, const std::string& path) {
  builder_draw_progress(status, path);
  if (builder_poll_key_q()) {
    fatal(__LINE__, "You hit Q dumbass!", "", "", "");
    return 1;
  }
  return 0;
}

int pref_level(const std::string& folder) {
  std::vector<std::string> names;
  std::vector<int> flags;
  opensave_getitems(folder, 0, names, flags);
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    const bool is_folder = flags[i] == 1;
    const std::string p = folder + name + (is_folder ? "/" : "");
    if (!name.empty() && name.back() == ' ') {
      fatal(496, "YOU IDIOT!", "You tried to include a file or directory with a space at the end!",
            "Trailing blanks do not survive every file system the release travels through.", p);
      return 1;
    }
    if (contains(p, ":")) {
      fatal(498, "YOU IDIOT!", "found a  : in the path!", p, "");
      return 1;
    }
    if (contains(p, "\\")) {
      fatal(499, "YOU IDIOT!", "found a \\ in the path!", p, "");
      return 1;
    }
    if (is_folder) {
      for (const auto& e : folder_table) {
        if (p == *e.path) {
          if (e.mark) *e.mark = 1;
          break;
        }
      }
      if (folder == str_all_fold) {
        bool known = false;
        for (const char* sub : all_subfolders) known = known || name + "/" == sub;
        if (!known) {
          fatal(535, "What the hell is THIS doing in here!?!?!?", name, p, name + "/");
          return 1;
        }
      }
      if (pref_level(p)) return 1;
      continue;
    }
    if (p == str_men_file) found_men_file = 1;
    if (p == str_tex_file) found_tex_file = 1;
    if (p == str_com_file) found_com_file = 1;
    const std::string rel = below_root(p);
    if (contains(rel, "copy")) {
      fatal(547, "YOU IDIOT!", "found a copy file!", p, "");
      return 1;
    }
    if (contains(rel, ".cpp")) {
      fatal(548, "YOU IDIOT!", "found a .cpp file!", p, "");
      return 1;
    }
    if (contains(rel, ".CPP")) {
      fatal(549, "YOU IDIOT!", "found a .CPP file!", p, "");
      return 1;
    }
    if (folder == str_all_fold) {
      fatal(556, "YOU IDIOT!",
            "I FOUND A FILE INSIDE THE 'ALL' FOLDER! WE SHOULD ONLY HAVE FOLDERS THERE!", p, "");
      return 1;
    }
    ++num_files_rec;
    std::string rule;
    const int keep = is_good_file_of_kind(p, 0, 1, build_type, &rule);
    if (keep < 0) {
      fatal(__LINE__, "I could not read a source file of the release!", p,
            "A release without it would tell every installation to delete it.", "");
      return 1;
    }
    if (keep) {
      if (contains("/" + below_root(folder), "/All/Resources/preferences/")) {
        fatal(563, "HEY! STOP SHIPPING MY SETTINGS!", "I found this preferences file!", name,
              "And is_good_file says I should keep it!!!!");
        return 1;
      }
      ++num_files_use;
      comp_files.push_back(p);
      add_disc_folders(below_root(p));
    } else if (!rule.empty()) {
      // Nothing else tells the release manager that a file stayed behind.
      xer << "Left out of the release (" << rule << "): " << p << std::endl;
    }
    if (num_files_rec % 500 == 0) {
      std::string status = "reg: " + std::to_string(reg) +
                           ": total files recursed: " + std::to_string(num_files_rec) +
                           ". will compress: " + std::to_string(num_files_use) + ".";
      if (builder_show_progress(status, folder + name)) return 1;
    }
  }
  return 0;
}

int is_good_file_of_kind(const std::string& path, int a, int b, int kind, std::string* rule) {
  std::string scratch;
  std::string& why = rule ? *rule : scratch;
  why.clear();
  if (a == 0 && b != 0 && !is_sim_link(path, nullptr)) {
    xmap_class probe(path);
    if (!probe.begin) {
      xer << "Could not read a source file of the release: " << path << std::endl;
      why = "unreadable";
      return -1;
    }
  }
  const std::string rel = below_root(path);
  static const char* const anywhere[] = {".7z",          "Thumbs.db", "work.",
                                         "._",           ".DS_Store", ".sandboxinfo",
                                         ".xSYM",        "serverlist.txt", "Skyrill Pilot.txt",
                                         ".dsf.txt"};
  for (const char* s : anywhere) {
    if (contains(rel, s)) {
      why = std::string("name contains \"") + s + "\"";
      return 0;
    }
  }
  static const char* const suffixes[] = {".ovw", ".ac", ".prf", ".fms", ".sit", ".mov", ".bak"};
  for (const char* s : suffixes) {
    if (ends_with(rel, s)) {
      why = std::string("name ends with \"") + s + "\"";
      return 0;
    }
  }
  if (contains(path, str_pfc_fold)) {
    why = "install_pfc Aircraft";
    return 0;
  }
  const bool earth = contains(path, str_erth1) || contains(path, str_erth2);
  const bool mars = contains(path, str_mars);
  const bool moon = contains(path, str_moon);
  const bool red_or_orbit = contains(path, str_redt) || contains(path, str_orbt);
  int keep = 0;
  switch (kind) {
    case 0:
      keep = !earth && !mars && !moon && !red_or_orbit;
      break;
    case 1:
      keep = !mars && !moon;
      break;
    case 2:
      keep = mars;
      break;
    case 3:
      keep = moon;
      break;
    default:
      fatal(312, "I can not tell what type of install this is!", "", "", "");
      why = "unknown kind of build";
      return 0;
  }
  // Scenery that belongs to another kind of build is left out on purpose and is not reported.
  return keep;
}

int is_good_file(std::string path, int a, int b) {
  return is_good_file_of_kind(path, a, b, build_type, nullptr) > 0;
}

int chop_platform(std::string& path, int platform) {
  auto slash = path.find('/');
  if (slash == std::string::npos) {
    fatal(252, "Could not find the dir char!", path, "", "");
    return 1;
  }
  static const char* const codes[] = {"ALL_os", "APL_os", "IBM_os", "LIN_os"};
  const std::string code = platform >= 0 && platform <= 3 ? codes[platform] : "";
  path = code + path.substr(slash);
  return 0;
}

int builder_check_found_marks() {
  struct check {
    int* mark;
    bool want;
    const char* text;
    std::string* path;
    int line;
    bool full_only;
  };
  const check table[] = {
      {&found_all_fold, true, "!found_all_fold", &str_all_fold, 666, false},
      {&found_apl_fold, true, "!found_apl_fold", &str_apl_fold, 667, false},
      {&found_win_fold, true, "!found_win_fold", &str_win_fold, 668, false},
      {&found_LIN_fold, true, "!found_X86_fold", &str_LIN_fold, 669, false},
      {&found_ins_fold, true, "!found_ins_fold", &str_ins_fold, 670, false},
      {&found_wpn_fold, true, "!found_wpn_fold", &str_wpn_fold, 671, false},
      {&found_afl_fold, true, "!found_afl_fold", &str_afl_fold, 672, false},
      {&found_acf_fold, true, "!found_acf_fold", &str_acf_fold, 673, false},
      {&found_res_fold, true, "!found_res_fold", &str_res_fold, 675, false},
      {&found_out_fold, true, "!found_out_fold", &str_out_fold, 676, false},
      {&found_cus_fold, true, "!found_cus_fold", &str_cus_fold, 677, false},
      {&found_glo_fold, true, "!found_glo_fold", &str_glo_fold, 678, false},
      {&found_plug, true, "!found_plug\t ", &str_plug, 679, false},
      {&found_redt, true, "!found_redt\t ", &str_redt, 680, true},
      {&found_orbt, true, "!found_orbt\t ", &str_orbt, 681, true},
      {&found_men_file, true, "!found_men_file", &str_men_file, 682, false},
      {&found_tex_file, true, "!found_tex_file", &str_tex_file, 683, false},
      {&found_com_file, false, " found_com_file", &str_com_file, 685, false},
  };
  for (const auto& c : table) {
    if (c.full_only && build_type != 1) continue;
    if ((*c.mark != 0) != c.want) {
      fatal(c.line, "YOU IDIOT!", c.text, *c.path, "");
      return 1;
    }
  }
  return 0;
}
