// The repair flow through the wizard driver from disc folders made by our release builder: a
// damaged installation (a changed file, a missing one, one the user edited and keeps, a damaged
// scenery tile the repair leaves alone, the user's own files) is scanned, the count of files to
// reinstall is shown, and after the repair the damaged and missing files are as released and
// everything else is as it was; stopping at each stage.
#include "disc_flow_fixture.h"

namespace {

using namespace disc_bench;

const std::string changed = "All/Resources/data.dat";
const std::string missing = "All/Instructions/readme.txt";
const std::string edited = "All/Resources/settings.txt";
const std::string tile = tiles + "+40-120/+44-118.dsf";

void flip_a_byte(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "r+b");
  ASSERT_NE(f, nullptr) << path;
  std::fseek(f, 100, SEEK_SET);
  const int c = std::fgetc(f);
  std::fseek(f, 100, SEEK_SET);
  std::fputc(c ^ 0x5a, f);
  std::fclose(f);
}

class Repair : public Bench {
 public:
  void SetUp() override {
    Bench::SetUp();
    if (IsSkipped()) return;
    install_copy({{6, 13}});
    own_file = dest_dir_path + "Custom Scenery/my airport/apt.dat";
    put(own_file, "my airport\n");
    g_wizard = dvd_pick_repair;
  }
  // The damage of the full case.
  void damage() {
    flip_a_byte(installed(changed));
    unlink(installed(missing).c_str());
    ASSERT_NE(access(installed(missing).c_str(), F_OK), 0);
    put(installed(edited), "the user's own settings\n");
    flip_a_byte(installed(tile));
    // The changed file is replaced, the user's edit kept.
    question_double::script_by_path({{"data.dat", answer_replace}, {"settings.txt", answer_keep}}, answer_keep);
  }
  // From the chooser to the confirm page.
  void to_confirm() {
    frame();
    EXPECT_EQ(seen().title, "Repair Skyrill 9");
    EXPECT_EQ(seen().text, "Please pick which copy of Skyrill 9 you would like to repair.");
    EXPECT_EQ(step_names, (std::vector<std::string>{"Welcome", "Select Skyrill", "Scan For Problems",
                                                    "Confirm Repairs", "Repair Skyrill", "Finish"}));
    next_click();
    ASSERT_EQ(g_wizard, dvd_scan_repair);
    frame();
    EXPECT_EQ(seen().title, "Scanning Skyrill for Problems");
    ASSERT_TRUE(frames_until([] { return g_wizard == dvd_confirm_repair; }));
    frame();
    EXPECT_EQ(seen().title, "Confirm Repairs");
  }

  std::string own_file;
};

TEST_F(Repair, TheCountOfFilesToReinstall) {
  struct row {
    const char* name;
    std::function<void(Repair&)> harm;
    std::string count_text;
  } rows[] = {
      {"nothing damaged", [](Repair&) {}, "I need to install approximately 0 files to repair "},
      {"one file missing", [](Repair&) { unlink(installed(missing).c_str()); },
       "I need to install approximately 1 file to repair "},
      {"changed, missing and edited; a damaged tile is not counted", [](Repair& t) { t.damage(); },
       "I need to install approximately 3 files to repair "},
  };
  // Each row adds to the damage of the one before.
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    r.harm(*this);
    g_wizard = dvd_pick_repair;
    wizard_driver_reset();
    to_confirm();
    EXPECT_EQ(seen().text, r.count_text + dest_dir_path + ".\n\nClick continue to begin repairing Skyrill.");
    EXPECT_EQ(g_want_sim, 1);
    EXPECT_EQ(g_want_global, 0);
    next_click();
    EXPECT_EQ(g_wizard, dvd_install_repair);
  }
}

// The count takes wanted files that are not current and are to be installed: not the files
// the release marks gone, not scenery, not another platform's files.
TEST_F(Repair, TheCountLeavesOutGoneFilesSceneryAndOtherPlatforms) {
  sim_info.clear();
  auto entry = [](const std::string& path, const std::string& want, const std::string& have, int platform) {
    file_version_struct v;
    v.path = path;
    v.sig_want = want;
    v.sig_have = have;
    v.platform = platform;
    v.is_current = want == have;
    int lon = 0, lat = 0;
    if (is_global_scenery_f(path.c_str()) && find_sector(&lon, &lat, path)) v.is_global = 1;
    sim_info.push_back({v});
  };
  const std::string a(32, 'a'), b(32, 'b');
  entry("All/Resources/absent.txt", a, "NONE", 0);       // counted
  entry("All/Resources/damaged.txt", a, b, 0);           // counted
  entry("Linux/skyrill", a, "NONE", 3);                  // counted
  entry("All/Resources/current.txt", a, a, 0);
  entry("All/Resources/retired.txt", "GONE", "NONE", 0);
  entry("All/Resources/retired too.txt", "GONE", b, 0);  // deleted, not installed
  entry(tile, a, "NONE", 0);
  entry("Windows/skyrill.exe", a, "NONE", 2);
  set_install_filter(1, 0);
  dest_dir_path = work.path();
  g_wizard = dvd_confirm_repair;
  frame();
  EXPECT_EQ(seen().text, "I need to install approximately 3 files to repair " + dest_dir_path +
                             ".\n\nClick continue to begin repairing Skyrill.");
}

void expect_repaired(const std::string& source, const std::map<std::string, std::string>& before) {
  std::map<std::string, std::string> after = tree_md5(dest_dir_path);
  EXPECT_EQ(after[installed(changed)], md5sum_of(source + changed));
  EXPECT_EQ(after[installed(missing)], md5sum_of(source + missing));
  std::map<std::string, std::string> expected = before;
  expected[installed(changed)] = after[installed(changed)];
  expected[installed(missing)] = after[installed(missing)];
  EXPECT_EQ(after, expected) << "the edited file, the damaged tile and the user's own file stay as they were";
}

TEST_F(Repair, ARepairRestoresTheDamagedAndMissingFilesOnly) {
  damage();
  const std::map<std::string, std::string> before = tree_md5(dest_dir_path);
  to_confirm();
  next_click();
  ASSERT_EQ(g_wizard, dvd_install_repair);
  ASSERT_TRUE(frames_until([] { return g_wizard == dvd_done_repair; }));
  frame();
  EXPECT_EQ(seen().title, "Finished Repairing Skyrill.");
  EXPECT_EQ(seen().text,
            "I have finished repairing " + dest_dir_path + " - click Go Back to return to the main menu.");
  EXPECT_EQ(seen().choices, std::vector<std::string>{"Run Skyrill Now"});
  expect_repaired(release->source, before);
  EXPECT_EQ(question_double::asked().size(), 2u);
}

TEST_F(Repair, DoneTextWithErrors) {
  const std::string error_text =
      "There were errors during the repair; your copy of Skyrill may not be usable.\n\nYou can click Go Back and use "
      "the repair and add-remove scenery functions to try to reinstall any missing or damaged files.";
  for (auto [errors, failed] : std::vector<std::pair<int, int>>{{1, 0}, {0, 1}}) {
    num_install_errors = errors;
    failed_deletes = failed;
    g_wizard = dvd_done_repair;
    frame();
    EXPECT_EQ(seen().text, error_text);
    EXPECT_TRUE(seen().choices.empty());
  }
}

// Stopping before the repair changes nothing; Back from the running repair asks, and only the
// Stop button stops it, keeping what was repaired.
TEST_F(Repair, StoppingAtEachStage) {
  damage();
  const std::map<std::string, std::string> before = tree_md5(dest_dir_path);
  frame();
  next_click();
  frame();
  back_click();  // during the scan
  EXPECT_EQ(g_wizard, dvd_pick_repair);
  frame();
  EXPECT_EQ(checksum_workers, nullptr);
  to_confirm();
  back_click();
  EXPECT_EQ(g_wizard, dvd_pick_repair);
  frame();
  EXPECT_EQ(tree_md5(dest_dir_path), before);

  to_confirm();
  next_click();
  ASSERT_EQ(g_wizard, dvd_install_repair);
  // The repair underway: decided, the pipeline holding the files.
  ASSERT_NO_FATAL_FAILURE(start_disc_step());
  repair_is_running = 1;

  for (int answer : {0, 3}) {
    SCOPED_TRACE(answer);
    abort_answer() = answer;
    abort_questions().clear();
    g_wizard = dvd_confirm_repair;  // as Back from the step does
    wizard_driver_reset();
    frame();
    ASSERT_EQ(abort_questions().size(), 1u);
    EXPECT_EQ(abort_questions()[0],
              "Are you sure you want to stop the repair operation?  Skyrill may not be usable until repairs are "
              "complete.  You can run the repair operation on Skyrill again later to complete repairs.");
    EXPECT_EQ(g_wizard, dvd_install_repair);
    EXPECT_EQ(repair_is_running, 1);
  }
  abort_answer() = 1;
  g_wizard = dvd_confirm_repair;
  wizard_driver_reset();
  frame();
  EXPECT_EQ(g_wizard, dvd_confirm_repair);
  EXPECT_EQ(repair_is_running, 0);
  EXPECT_EQ(copy_pool, nullptr);
  // The files in the pipeline were finished, not thrown away; nothing else changed.
  expect_repaired(release->source, before);
}

}  // namespace
