// The source scan and the file filter of the release builder, on real trees. This program links
// the builder as the product has it (a full disc set, kind 1); the filter's other kinds are
// asked through is_good_file_of_kind.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "install/release_builder.h"
#include "runtime/shell_services.h"
#include "support/release_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shell_double::reset();
    shell_double::reset_builder_display();
    shell_double::reopen_log();
    // The root's own name holds text that the name rules reject ("work.", "copy", "._"): only
    // the path below the root may decide what ships.
    root = tree.path() + "net work.copy ._tree/";
    write_release_source(root, {});
    make_folders(root + "All/Resources/default scenery/900 red terrain/");
    make_folders(root + "All/Resources/bitmaps/Earth Orbit Textures/");
    builder_set_source_root(root);
    dst_fold_base = tree.path() + "masters/";
    sim_name = "Skyrill 9.10r1";
    reg = 0;
    builder_reset_scan();
    comp_files.clear();
    comp_paths.clear();
  }
  void TearDown() override { builder_set_source_root("/Skyrill 9.00/"); }

  std::string add(const std::string& rel, const std::string& content = "x") {
    return tree.write(root.substr(tree.path().size()) + rel, content);
  }
  std::vector<std::string> shipped() {
    std::vector<std::string> out;
    for (const auto& f : comp_files) out.push_back(f.substr(root.size()));
    return out;
  }

  temp_tree tree;
  std::string root;
};

TEST_F(ScanTest, FileFilterByNameAndKind) {
  struct row {
    const char* rel;
    int kind;
    int keep;
  };
  const row rows[] = {
      {"All/Resources/network.cfg", 1, 0},  // "work." anywhere in the name
      {"All/Resources/Readme.BAK", 1, 1},   // the suffix rule is case-sensitive
      {"All/Aircraft/model.ac", 1, 0},
      {"All/Resources/Thumbs.db", 1, 0},
      {"All/Resources/x.dsf.txt", 1, 0},
      {"All/Resources/serverlist.txt", 1, 0},
      {"All/Resources/a.7z", 1, 0},
      {"All/install_pfc Aircraft/a.acf", 1, 0},
      {"All/Resources/a.txt", 0, 1},
      {"All/Resources/a.txt", 1, 1},
      {"All/Resources/a.txt", 2, 0},
      {"All/Resources/a.txt", 3, 0},
      {"All/Global Scenery/-global terrain-/+40-120/+45-118.dsf", 0, 0},
      {"All/Global Scenery/-global terrain-/+40-120/+45-118.dsf", 1, 1},
      {"All/Global Scenery/-global overlays-/+40-120/+45-118.dsf", 0, 0},
      {"All/Global Scenery/-global overlays-/+40-120/+45-118.dsf", 2, 0},
      {"All/Global Scenery/+40-120/+45-118.dsf", 0, 1},
      {"All/Custom Scenery/DSF 900 Mars World-Wide/m.dsf", 0, 0},
      {"All/Custom Scenery/DSF 900 Mars World-Wide/m.dsf", 1, 0},
      {"All/Custom Scenery/DSF 900 Mars World-Wide/m.dsf", 2, 1},
      {"All/Custom Scenery/DSF 900 Mars World-Wide/m.dsf", 3, 0},
      {"All/Custom Scenery/DSF 900 Moon World-Wide/m.dsf", 1, 0},
      {"All/Custom Scenery/DSF 900 Moon World-Wide/m.dsf", 3, 1},
      {"All/Resources/default scenery/900 red terrain/r.png", 0, 0},
      {"All/Resources/default scenery/900 red terrain/r.png", 1, 1},
      {"All/Resources/bitmaps/Earth Orbit Textures/o.png", 0, 0},
      {"All/Resources/bitmaps/Earth Orbit Textures/o.png", 1, 1},
      {"All/Resources/bitmaps/Earth Orbit Textures/o.png", 2, 0},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(is_good_file_of_kind(root + r.rel, 0, 0, r.kind, nullptr), r.keep)
        << r.rel << " kind " << r.kind;
  }
  EXPECT_TRUE(shell_double::alerts().empty());

  EXPECT_EQ(is_good_file_of_kind(root + "All/Resources/a.txt", 0, 0, 7, nullptr), 0);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].line, 312);
  EXPECT_EQ(alerts[0].type, t_exit);
  EXPECT_EQ(alerts[0].lines[0], "I can not tell what type of install this is!");
}

TEST_F(ScanTest, ShipsTheKeptFilesAndReportsEveryRejectedOne) {
  add("All/Aircraft/c4.acf");
  add("All/Resources/network.cfg");
  add("All/Resources/Readme.BAK");
  add("All/Custom Scenery/DSF 900 Mars World-Wide/m.dsf");
  add("Linux/skyrill");
  ASSERT_EQ(pref_level(src_fold), 0);
  EXPECT_TRUE(shell_double::alerts().empty());
  const std::vector<std::string> want = {
      "All/Aircraft/c4.acf", "All/Resources/menus/English/Skyrill.txt",
      "All/Resources/Readme.BAK", "All/Resources/text/English/Skyrill.txt", "Linux/skyrill"};
  EXPECT_EQ(shipped(), want);
  EXPECT_EQ(num_files_rec, 7);
  EXPECT_EQ(num_files_use, 5);
  const std::string log = shell_double::log_text();
  EXPECT_NE(log.find("Left out of the release (name contains \"work.\"): " + root +
                     "All/Resources/network.cfg"),
            std::string::npos)
      << log;
  // Scenery of another kind of build stays out without a report.
  EXPECT_EQ(log.find("Mars"), std::string::npos);
  EXPECT_EQ(builder_check_found_marks(), 0);

  // Every folder an archive needs, on each of the first three discs, down to the disc folder.
  for (int disc = 0; disc < 3; ++disc) {
    const std::string d = dst_fold_base + "disk_" + std::to_string(disc);
    for (const std::string& f : {d, d + "/Skyrill 9.10r1", d + "/Skyrill 9.10r1/All",
                                 d + "/Skyrill 9.10r1/All/Aircraft", d + "/Skyrill 9.10r1/Linux"})
      EXPECT_EQ(comp_paths.count(f), 1u) << f;
  }
  EXPECT_EQ(comp_paths.count(tree.path() + "masters"), 0u);
}

TEST_F(ScanTest, AnUnreadableSourceFileStopsTheBuild) {
  add("All/Aircraft/c4.acf");
  // A socket cannot be opened as a file, even by root.
  const std::string sock = root + "All/Aircraft/lost.acf";
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(sock.size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, sock.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  EXPECT_EQ(pref_level(src_fold), 1);
  close(fd);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, t_exit);
  EXPECT_EQ(alerts[0].lines[1], sock);
  EXPECT_NE(shell_double::log_text().find(sock), std::string::npos);
}

TEST_F(ScanTest, TreeShapeAlerts) {
  struct row {
    const char* rel;
    int line;
    const char* text;  // second line of the alert
  };
  const row rows[] = {
      {"All/Scripts/a.txt", 535, "Scripts"},
      {"All/readme.txt", 556,
       "I FOUND A FILE INSIDE THE 'ALL' FOLDER! WE SHOULD ONLY HAVE FOLDERS THERE!"},
      {"All/Resources/photocopy/a.txt", 547, "found a copy file!"},
      {"All/Resources/x.cpp", 548, "found a .cpp file!"},
      {"All/Resources/X.CPP", 549, "found a .CPP file!"},
      {"All/Resources/trailing /a.txt", 496,
       "You tried to include a file or directory with a space at the end!"},
      {"All/Resources/a:b.txt", 498, "found a  : in the path!"},
      {"All/Resources/a\\b.txt", 499, "found a \\ in the path!"},
      {"All/Resources/preferences/kept.txt", 563, "I found this preferences file!"},
      // The folder rule under All meets this one before the check table would.
      {"All/Resources-UAH/ac_threat.dat", 535, "Resources-UAH"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.rel);
    shell_double::reset();
    shell_double::reset_builder_display();
    const std::string made = add(r.rel);
    builder_reset_scan();
    comp_files.clear();
    EXPECT_EQ(pref_level(src_fold), 1);
    auto alerts = shell_double::alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].line, r.line);
    EXPECT_EQ(alerts[0].type, t_exit);
    EXPECT_EQ(alerts[0].lines[1], r.text);
    EXPECT_EQ(alerts[0].file, "Zuzazuziv-e/make_installer");
    unlink(made.c_str());
    rmdir(made.substr(0, made.rfind('/')).c_str());
  }
}

TEST_F(ScanTest, ChecksTheRequiredFoldersAndFilesInOrder) {
  struct row {
    const char* remove;  // folder or file to take out of the good tree
    const char* text;
    int line;
  };
  const row rows[] = {
      {"All/", "!found_all_fold", 666},
      {"Macintosh/", "!found_apl_fold", 667},
      {"Windows/", "!found_win_fold", 668},
      {"Linux/", "!found_X86_fold", 669},
      {"All/Instructions/", "!found_ins_fold", 670},
      {"All/Weapons/", "!found_wpn_fold", 671},
      {"All/Airfoils/", "!found_afl_fold", 672},
      {"All/Aircraft/", "!found_acf_fold", 673},
      {"All/Resources/", "!found_res_fold", 675},
      {"All/Output/", "!found_out_fold", 676},
      {"All/Custom Scenery/", "!found_cus_fold", 677},
      {"All/Global Scenery/", "!found_glo_fold", 678},
      {"All/Resources/plugins/", "!found_plug\t ", 679},
      {"All/Resources/default scenery/900 red terrain/", "!found_redt\t ", 680},
      {"All/Resources/bitmaps/Earth Orbit Textures/", "!found_orbt\t ", 681},
      {"All/Resources/menus/English/Skyrill.txt", "!found_men_file", 682},
      {"All/Resources/text/English/Skyrill.txt", "!found_tex_file", 683},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.remove);
    temp_tree t;
    const std::string good = t.path() + "src/";
    write_release_source(good, {});
    make_folders(good + "All/Resources/default scenery/900 red terrain/");
    make_folders(good + "All/Resources/bitmaps/Earth Orbit Textures/");
    remove_tree(good + r.remove);
    builder_set_source_root(good);
    builder_reset_scan();
    shell_double::reset();
    shell_double::reset_builder_display();
    ASSERT_EQ(pref_level(src_fold), 0);
    EXPECT_EQ(builder_check_found_marks(), 1);
    auto alerts = shell_double::alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].lines[0], "YOU IDIOT!");
    EXPECT_EQ(alerts[0].lines[1], r.text);
    EXPECT_EQ(alerts[0].line, r.line);
    EXPECT_EQ(alerts[0].lines[2].substr(0, good.size()), good);
  }
}

TEST(PlatformKey, ReplacesThePlatformFolder) {
  struct row {
    const char* path;
    int platform;
    const char* key;
  };
  const row rows[] = {
      {"Windows/Resources/a.dll", 2, "IBM_os/Resources/a.dll"},
      {"Windows/Resources/a.dll", 6, "/Resources/a.dll"},
      {"All/Resources/plugins/OSTREL.shlb", 1, "APL_os/Resources/plugins/OSTREL.shlb"},
      {"Macintosh/x", 0, "ALL_os/x"},
      {"Linux/bin/sky", 3, "LIN_os/bin/sky"},
  };
  for (const auto& r : rows) {
    std::string p = r.path;
    EXPECT_EQ(chop_platform(p, r.platform), 0);
    EXPECT_EQ(p, r.key);
  }
  shell_double::reset();
  shell_double::reset_builder_display();
  std::string flat = "noslash";
  EXPECT_EQ(chop_platform(flat, 0), 1);
  EXPECT_EQ(flat, "noslash");
  ASSERT_EQ(shell_double::alerts().size(), 1u);
  EXPECT_EQ(shell_double::alerts()[0].line, 252);
}

TEST_F(ScanTest, ShowsProgressEvery500FilesAndStopsOnQ) {
  for (int i = 0; i < 998; ++i) add("All/Output/f" + std::to_string(i) + ".txt");
  ASSERT_EQ(pref_level(src_fold), 0);  // 1,000 files with the two Skyrill.txt
  auto lines = shell_double::builder_progress();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].status, "reg: 0: total files recursed: 500. will compress: 500.");
  EXPECT_EQ(lines[1].status, "reg: 0: total files recursed: 1000. will compress: 1000.");

  shell_double::reset();

  shell_double::reset_builder_display();
  shell_double::press_q_at_poll(1);
  builder_reset_scan();
  EXPECT_EQ(pref_level(src_fold), 1);
  EXPECT_EQ(num_files_rec, 500);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[0], "You hit Q dumbass!");
  EXPECT_EQ(alerts[0].type, t_exit);
}

}  // namespace
