// The per-file decisions against one fixture model, one history per case, with the modified-file
// question answered by a script.
#include "install/file_decisions.h"

#include <gtest/gtest.h>

#include "install/wizard_globals.h"
#include "install/modified_file_question.h"
#include "model_fixture.h"
#include "support/modified_file_question_double.h"
#include "support/shell_double.h"

namespace {

const std::string tile_wanted = "All/Global Scenery/+40-120/+45-118.dsf";     // cell (13, 6)
const std::string tile_unwanted = "All/Global Scenery/+40-010/+41-002.dsf";   // cell (13, 17)
const std::string tile_unwanted_absent = "All/Global Scenery/+40-010/+42-002.dsf";
const std::string tile_unwanted_modified = "All/Global Scenery/+40-010/+43-002.dsf";

struct decision_row {
  const char* what;
  std::string path;
  std::vector<std::string> sigs;  // versions, newest last
  std::string sig_have;
  int platform;
  int want_install, want_delete;
  int asked_deleting;  // -1 when no question may be asked
};

class FileDecisions : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_model();
    shell_double::reset();
    question_double::reset();
    dest_dir_path = "/inst/";
    stg.download_os = 1;
    stg.sector_want[6][13] = 1;
  }
};

TEST_F(FileDecisions, EveryCaseDecidesAsTheReleaseAndTheUserSay) {
  const std::string A = sig("a"), B = sig("b"), C = sig("c"), X = sig("x");
  const std::vector<decision_row> rows = {
      {"another platform is left alone", "Windows/w.dll", {A}, X, 2, 0, 0, -1},
      {"platform 4 is never wanted", "All/p4", {A}, "NONE", 4, 0, 0, -1},
      {"missing file is installed", "All/m", {A, B}, "NONE", 0, 1, 0, -1},
      {"missing gone file needs nothing", "All/mg", {A, "GONE"}, "NONE", 0, 0, 0, -1},
      {"current file is left", "All/c", {A, B}, B, 0, 0, 0, -1},
      {"older release is replaced silently", "All/o", {A, B, C}, A, 0, 1, 0, -1},
      {"modified, answer overwrite", "All/q/overwrite", {A, B}, X, 0, 1, 0, 0},
      {"modified, answer keep", "All/q/keep", {A, B}, X, 0, 0, 0, 0},
      {"gone, untouched older release is deleted", "All/g", {A, "GONE"}, A, 0, 0, 1, -1},
      {"gone, modified, answer delete", "All/q/gone_delete", {A, "GONE"}, X, 0, 0, 1, 1},
      {"gone, modified, answer keep", "All/q/gone_keep", {A, "GONE"}, X, 0, 0, 0, 1},
      {"tile of a wanted cell, older, is replaced", tile_wanted, {A, B}, A, 0, 1, 0, -1},
      {"current tile of an unwanted cell goes", tile_unwanted, {A}, A, 0, 0, 1, -1},
      {"absent tile of an unwanted cell needs nothing", tile_unwanted_absent, {A}, "NONE", 0, 0, 0, -1},
      {"modified tile of an unwanted cell asks to delete", tile_unwanted_modified, {A}, X, 0, 0, 1, 1},
      {"folder answer overwrite-all given here", "All/f/r/one", {A}, X, 0, 1, 0, 0},
      {"same folder takes it without asking", "All/f/r/two", {A}, X, 0, 1, 0, -1},
      {"a subfolder is asked again", "All/f/r/sub/three", {A}, X, 0, 0, 0, 0},
      {"folder answer keep-all given here", "All/f/k/one", {A}, X, 0, 0, 0, 0},
      {"same folder kept without asking", "All/f/k/two", {A}, X, 0, 0, 0, -1},
  };
  for (const decision_row& r : rows) add_history(r.path, r.sigs, r.sig_have, r.platform);
  question_double::script_by_path({{"/q/overwrite", 1},
                                   {"/q/keep", 2},
                                   {"/q/gone_delete", 1},
                                   {"/q/gone_keep", 2},
                                   {"+43-002", 1},
                                   {"/f/r/one", 4},
                                   {"/f/r/sub/three", 2},
                                   {"/f/k/one", 5}},
                                  3);

  ASSERT_EQ(choose_files(), 1);

  std::vector<asked_question> asked = question_double::asked();
  for (size_t i = 0; i < rows.size(); ++i) {
    const decision_row& r = rows[i];
    const file_version_struct& v = sim_info[i].back();
    EXPECT_EQ(v.do_install, r.want_install) << r.what;
    EXPECT_EQ(v.do_delete, r.want_delete) << r.what;
    std::string local = local_path_of(v);
    int count = 0;
    for (const asked_question& q : asked) {
      if (q.local_path != local) continue;
      ++count;
      EXPECT_EQ(q.deleting, r.asked_deleting) << r.what;
    }
    EXPECT_EQ(count, r.asked_deleting >= 0 ? 1 : 0) << r.what;
  }
  // Each question left its line in the log.
  EXPECT_NE(shell_double::log_text().find("File: /inst/q/overwrite  sig_want=" + B +
                                          "  sig_have=" + X),
            std::string::npos);
}

TEST_F(FileDecisions, CancelStopsAndLeavesLaterFilesUndecided) {
  add_history("All/a", {sig("a")}, "NONE");
  add_history("All/b", {sig("b")}, sig("x"));
  add_history("All/c", {sig("c")}, "NONE");
  question_double::script({answer_cancel});
  EXPECT_EQ(choose_files(), 0);
  EXPECT_EQ(sim_info[0].back().do_install, 1);
  EXPECT_EQ(sim_info[1].back().do_install, 0);
  EXPECT_EQ(sim_info[2].back().do_install, 0);
  EXPECT_EQ(question_double::asked().size(), 1u);
  // A later run asks again: folder answers do not outlive their run.
  question_double::script({answer_replace_folder, answer_keep});
  add_history("All/b2", {sig("b")}, sig("x"));
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(question_double::asked().size(), 2u);
  EXPECT_EQ(sim_info[1].back().do_install, 1);
  EXPECT_EQ(sim_info[3].back().do_install, 1);
}

TEST_F(FileDecisions, ProgressWeightsFollowTheInstallSizes) {
  add_history("All/one", {sig("a")}, "NONE", 0, 10);
  add_history("All/skip", {sig("b")}, sig("b"), 0, 50);
  add_history("All/two", {sig("c")}, "NONE", 0, 30);
  add_history("All/three", {sig("d")}, "NONE", 0, 60);
  ASSERT_EQ(choose_files(), 1);
  EXPECT_FLOAT_EQ(sim_info[0].back().progress_at, 0.0f);
  EXPECT_FLOAT_EQ(sim_info[1].back().progress_at, 0.1f);
  EXPECT_FLOAT_EQ(sim_info[2].back().progress_at, 0.1f);
  EXPECT_FLOAT_EQ(sim_info[3].back().progress_at, 0.4f);

  reset_model();
  add_history("All/current", {sig("a")}, sig("a"));
  ASSERT_EQ(choose_files(), 1);
  EXPECT_FLOAT_EQ(sim_info[0].back().progress_at, 0.5f);
}

TEST_F(FileDecisions, SumsCountFetchesAndDeletions) {
  add_history("All/new", {sig("a")}, "NONE", 0, 120);
  sim_info.back().back().zip_size = 40;
  add_history("All/old", {sig("a"), sig("b")}, sig("a"), 0, 7);
  sim_info.back().back().zip_size = 3;
  add_history("All/current", {sig("c")}, sig("c"), 0, 500);
  add_history("Windows/other", {sig("d")}, "NONE", 2, 900);
  add_history(tile_unwanted, {sig("t")}, sig("t"));         // current tile, cell not wanted
  add_history(tile_unwanted_absent, {sig("t")}, "NONE");   // absent tile: nothing
  add_history("All/gone_present", {sig("g"), "GONE"}, sig("g"));
  add_history("All/gone_absent", {sig("g"), "GONE"}, "NONE");
  recalc_disk_sizes();
  EXPECT_FLOAT_EQ(stg.install_total, 127);
  EXPECT_FLOAT_EQ(stg.download_total, 43);
  EXPECT_EQ(stg.install_count, 2);
  EXPECT_EQ(stg.delete_count, 2);
  EXPECT_FALSE(nothing_to_update());
}

TEST_F(FileDecisions, SmallAndDeleteOnlyReleasesAreNotNothing) {
  // Files under 1 KB are listed with size 0: the sums say nothing, the counts do not.
  add_history("All/tiny", {sig("a")}, "NONE", 0, 0);
  recalc_disk_sizes();
  EXPECT_FLOAT_EQ(stg.install_total, 0);
  EXPECT_FALSE(nothing_to_update());

  reset_model();
  add_history("All/removed", {sig("a"), "GONE"}, sig("a"));
  recalc_disk_sizes();
  EXPECT_FALSE(nothing_to_update());

  reset_model();
  add_history("All/current", {sig("a")}, sig("a"));
  add_history("All/removed", {sig("a"), "GONE"}, "NONE");
  recalc_disk_sizes();
  EXPECT_TRUE(nothing_to_update());
}

TEST_F(FileDecisions, WebUpdateLeavesInstalledScenery) {
  // The web flow wants the cells that are installed: a current tile is kept, an outdated one in
  // such a cell is updated, and nothing of a cell the user never installed is fetched.
  add_history(tile_unwanted, {sig("a")}, sig("a"));
  add_history("All/Global Scenery/+40-010/+44-002.dsf", {sig("a"), sig("b")}, sig("a"));
  add_history("All/Global Scenery/-10+020/-05+025.dsf", {sig("a")}, "NONE");
  std::memset(stg.sector_want, 0, sizeof(stg.sector_want));
  scenery_from_install();
  ASSERT_EQ(choose_files(), 1);
  EXPECT_EQ(sim_info[0].back().do_delete, 0);
  EXPECT_EQ(sim_info[1].back().do_install, 1);
  EXPECT_EQ(sim_info[2].back().do_install, 0);
  EXPECT_TRUE(question_double::asked().empty());
}

TEST_F(FileDecisions, TakeAllCopiesTheOfferedCells) {
  stg.sector_offered[6][13] = 1;
  stg.sector_offered[35][17] = 1;
  stg.sector_want[0][0] = 1;
  scenery_take_all();
  EXPECT_EQ(stg.sector_want[6][13], 1);
  EXPECT_EQ(stg.sector_want[35][17], 1);
  EXPECT_EQ(stg.sector_want[0][0], 0);
}

}  // namespace
