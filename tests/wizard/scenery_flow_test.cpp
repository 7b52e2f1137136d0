// The world map of the scenery pages with the mouse injected into the window record (clicks,
// drags, the select-all and clear icons, what is drawn), and the scenery add-and-remove flow
// through the wizard driver from disc folders made by our release builder: pick the copy, scan
// it, click cells on the map, then the files of the added cells are installed and those of the
// removed cells deleted, nothing else touched; and stopping at each stage.
#include "disc_flow_fixture.h"

namespace {

using namespace disc_bench;

// ---- the map alone ----

struct drawn_quad {
  int texture;
  float alpha;
  float corners[4][4];
};
std::vector<drawn_quad> quads;
void rec_quad(int texture, int, float alpha, const float c[4][4], int, int) {
  drawn_quad q{texture, alpha, {}};
  std::memcpy(q.corners, c, sizeof q.corners);
  quads.push_back(q);
}

class Map : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_info.clear();
    std::memset(&stg, 0, sizeof stg);
    std::memset(&mnw, 0, sizeof mnw);
    mnw.screen_w = 800;
    mnw.screen_h = 600;
    set_install_filter(0, 1);
    world_map_reset();
    page_calls c;
    c.quad_2d = rec_quad;
    install_page_calls(c);
  }
  void TearDown() override { install_page_calls(page_calls{}); }

  // One frame of the map with the mouse at (x, y): down = the button went down in this frame,
  // held = it is down.
  void at(float x, float y, bool down, bool held) {
    quads.clear();
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = down;
    mnw.mouse_held = held;
    UTIL_world_map();
  }
  void click(float x, float y) {
    at(x, y, true, true);
    at(x, y, false, false);
  }
  // A drag from one point to another over a few frames, released at the end.
  void drag(float x0, float y0, float x1, float y1) {
    at(x0, y0, true, true);
    for (int k = 1; k <= 4; ++k) at(x0 + (x1 - x0) * k / 4, y0 + (y1 - y0) * k / 4, false, true);
    at(x1, y1, false, false);
  }
  std::vector<std::pair<int, int>> wanted() const {
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < sector_lon_bands; ++i)
      for (int j = 0; j < sector_lat_bands; ++j)
        if (stg.sector_want[i][j]) out.push_back({i, j});
    return out;
  }
  int count_wanted() const { return static_cast<int>(wanted().size()); }
};

using cells = std::vector<std::pair<int, int>>;

TEST_F(Map, ClicksSetTheCellUnderTheMouse) {
  const float left = world_map_x, bottom = world_map_y, cell = world_map_cell;
  struct row {
    const char* name;
    float x, y;
    cells expected;
  } rows[] = {
      {"centre of cell (10, 5)", world_map_cell_x(10), world_map_cell_y(5), {{10, 5}}},
      {"south-west corner cell, -180 / -90", left + 1, bottom + 1, {{0, 0}}},
      {"north-east corner cell, +180 / +90", left + 36 * cell - 1, bottom + 18 * cell - 1, {{35, 17}}},
      {"north-west corner cell", left + 0.5f, bottom + 18 * cell - 0.5f, {{0, 17}}},
      {"on the border of two columns", left + 5 * cell, world_map_cell_y(3), {}},
      {"on the corner of four cells", left + 5 * cell, bottom + 3 * cell, {}},
      {"on the map's left edge", left, world_map_cell_y(3), {}},
      {"on the map's top edge", world_map_cell_x(3), bottom + 18 * cell, {}},
      {"left of the map", left - 3, world_map_cell_y(3), {}},
      {"right of the map", left + 36 * cell + 3, world_map_cell_y(3), {}},
      {"above the map", world_map_cell_x(3), bottom + 18 * cell + 3, {}},
      {"below the map, above the icons", world_map_cell_x(3), bottom - 3, {}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    std::memset(stg.sector_want, 0, sizeof stg.sector_want);
    world_map_reset();
    click(r.x, r.y);
    EXPECT_EQ(wanted(), r.expected);
  }
}

TEST_F(Map, ASecondClickClearsTheCellAndOthersStay) {
  click(world_map_cell_x(4), world_map_cell_y(4));
  click(world_map_cell_x(20), world_map_cell_y(9));
  EXPECT_EQ(wanted(), (cells{{4, 4}, {20, 9}}));
  click(world_map_cell_x(4), world_map_cell_y(4));
  EXPECT_EQ(wanted(), (cells{{20, 9}}));
}

TEST_F(Map, ADragPaintsEveryCellItSpansWithTheFirstCellsNewValue) {
  drag(world_map_cell_x(3), world_map_cell_y(4), world_map_cell_x(5), world_map_cell_y(5));
  EXPECT_EQ(wanted(), (cells{{3, 4}, {3, 5}, {4, 4}, {4, 5}, {5, 4}, {5, 5}}));
  // Starting on a wanted cell clears, whatever the state of the cells crossed.
  drag(world_map_cell_x(4), world_map_cell_y(5), world_map_cell_x(7), world_map_cell_y(5));
  EXPECT_EQ(wanted(), (cells{{3, 4}, {3, 5}, {4, 4}, {5, 4}}));
  // A drag that goes out and comes back keeps the cells it crossed on the way.
  at(world_map_cell_x(10), world_map_cell_y(10), true, true);
  at(world_map_cell_x(12), world_map_cell_y(10), false, true);
  at(world_map_cell_x(10), world_map_cell_y(10), false, false);
  EXPECT_EQ(count_wanted(), 4 + 3);
}

// A press on the border of two cells sets neither, but the drag it starts paints the value
// taken from the cell scanned last: the higher column.
TEST_F(Map, ADragFromABorderTakesItsValueFromTheHigherColumn) {
  stg.sector_want[4][3] = 1;
  const float border = world_map_x + 5.0f * world_map_cell;
  at(border, world_map_cell_y(3), true, true);
  EXPECT_EQ(wanted(), (cells{{4, 3}}));
  at(world_map_cell_x(6), world_map_cell_y(3), false, true);
  at(world_map_cell_x(6), world_map_cell_y(3), false, false);
  EXPECT_EQ(wanted(), (cells{{4, 3}, {5, 3}, {6, 3}}));
}

// Drags that leave the map, across its edges at +-180 and +-90, paint only cells that exist.
TEST_F(Map, DragsOffTheMapStopAtItsEdges) {
  struct row {
    const char* name;
    int lon, lat;     // the cell the drag starts on
    float x1, y1;     // where it ends
    int expected;     // cells painted
  } rows[] = {
      {"off the north-east corner", 34, 16, 5000, 5000, 4},
      {"off the south-west corner", 1, 1, -5000, -5000, 4},
      {"off the east edge", 33, 9, 1e9f, world_map_cell_y(9), 3},
      {"across the whole map", 0, 0, 1e9f, 1e9f, 648},
      {"to minus infinity", 0, 17, -1e30f, 1e30f, 1},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    std::memset(stg.sector_want, 0, sizeof stg.sector_want);
    drag(world_map_cell_x(r.lon), world_map_cell_y(r.lat), r.x1, r.y1);
    EXPECT_EQ(count_wanted(), r.expected);
  }
}

// A press that does not fall on the map (the icons just below it, the page, the bottom bar)
// never starts a drag, whatever the value the last drag painted.
TEST_F(Map, APressOffTheMapCarriedOntoItPaintsNothing) {
  click(world_map_cell_x(2), world_map_cell_y(2));  // the last paint value: 1
  ASSERT_EQ(count_wanted(), 1);
  const float icon_x = world_map_buttons_right - interface_icon_width(4) - interface_icon_width(3) - 5;
  for (auto [x, y] : std::vector<std::pair<float, float>>{{icon_x, 130}, {100, 300}, {700, 20}}) {
    SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
    drag(x, y, world_map_cell_x(20), world_map_cell_y(10));
    EXPECT_EQ(count_wanted(), 1);
  }
}

TEST_F(Map, SelectAllAndClearIconsSetEveryCellAndTheTotalsCountOfferedFilesOnly) {
  // One offered cell with one tile of 40 KB; the release offers nothing else.
  file_version_struct v;
  v.path = "All/Global Scenery/Skyrill Scenery/Earth nav data/+40-120/+44-118.dsf";
  v.sig_want = std::string(32, 'a');
  v.sig_have = "NONE";
  v.unz_size = 40;
  v.zip_size = 30;
  v.is_global = 1;
  v.sector_lon = 6;
  v.sector_lat = 13;
  sim_info.push_back({v});
  stg.sector_offered[6][13] = 1;

  const float clear_w = interface_icon_width(4), all_w = interface_icon_width(3);
  const float clear_x = world_map_buttons_right - clear_w / 2;
  const float all_x = world_map_buttons_right - clear_w - all_w / 2;
  const float icon_y = world_map_buttons_y + 11;

  click(all_x, icon_y);
  EXPECT_EQ(count_wanted(), sector_lon_bands * sector_lat_bands);
  EXPECT_EQ(stg.install_count, 1);
  EXPECT_FLOAT_EQ(stg.install_total, 40);
  EXPECT_FLOAT_EQ(stg.download_total, 30);

  click(clear_x, icon_y);
  EXPECT_EQ(count_wanted(), 0);
  EXPECT_EQ(stg.install_count, 0);
  EXPECT_FLOAT_EQ(stg.install_total, 0);
}

// The plain map first, then each offered cell cut from the highlighted half of the picture at
// full opacity when wanted and half when not; cells not offered are not drawn.
TEST_F(Map, OfferedCellsAreCutFromTheHighlightedMap) {
  stg.sector_offered[0][0] = 1;
  stg.sector_offered[35][17] = 1;
  stg.sector_offered[12][7] = 1;
  stg.sector_want[35][17] = 1;
  at(-100, -100, false, false);
  std::vector<drawn_quad> map;
  for (const drawn_quad& q : quads)
    if (q.texture == world_map_texture) map.push_back(q);
  ASSERT_EQ(map.size(), 4u);
  EXPECT_FLOAT_EQ(map[0].corners[0][0], world_map_x);
  EXPECT_FLOAT_EQ(map[0].corners[2][0], world_map_x + world_map_w);
  EXPECT_FLOAT_EQ(map[0].corners[2][3], 252.0f / 512);
  struct expect {
    int lon, lat;
    float alpha;
  } cells_drawn[] = {{0, 0, 0.5f}, {12, 7, 0.5f}, {35, 17, 1.0f}};
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    const drawn_quad& q = map[k + 1];
    const expect& e = cells_drawn[k];
    EXPECT_FLOAT_EQ(q.alpha, e.alpha);
    EXPECT_FLOAT_EQ(q.corners[0][0], world_map_x + 14.0f * e.lon);
    EXPECT_FLOAT_EQ(q.corners[0][1], world_map_y + 14.0f * e.lat);
    EXPECT_FLOAT_EQ(q.corners[2][0], world_map_x + 14.0f * e.lon + 14);
    EXPECT_FLOAT_EQ(q.corners[0][2], 14.0f * e.lon / 512);
    EXPECT_FLOAT_EQ(q.corners[0][3], (252.0f + 14 * e.lat) / 512);
    EXPECT_FLOAT_EQ(q.corners[2][3], (266.0f + 14 * e.lat) / 512);
  }
  // While a drag runs its rectangle is outlined.
  at(world_map_cell_x(3), world_map_cell_y(3), true, true);
  size_t plain = 0;
  for (const drawn_quad& q : quads) plain += q.texture == 0 ? 1 : 0;
  EXPECT_EQ(plain, 4u);
}

// ---- the flow ----

class SceneryFlow : public Bench {
 protected:
  // Installed: the two tiles of cell (6, 13) and the one of (18, 14); the user's own file sits
  // in the folder of (18, 14), and the user changed a file that is not scenery.
  void SetUp() override {
    Bench::SetUp();
    if (IsSkipped()) return;
    install_copy({{6, 13}, {18, 14}});
    user_note = dest_dir_path + "Global Scenery/Skyrill Scenery/Earth nav data/+50+000/my notes.txt";
    put(user_note, "mine\n");
    put(installed("All/Resources/settings.txt"), "changed by the user\n");
    put(dest_dir_path + "Custom Scenery/my airport/apt.dat", "my airport\n");
    before = tree_md5(dest_dir_path);
    g_wizard = dvd_pick_scenery;
  }

  // From the chooser to the map.
  void to_the_map() {
    frame();
    EXPECT_EQ(seen().title, "Select Skyrill 9 to Add or Remove Scenery");
    EXPECT_EQ(seen().text, "Please pick which copy of Skyrill 9 you would like to add scenery to.");
    EXPECT_EQ(step_names, (std::vector<std::string>{"Welcome", "Select Skyrill", "Scan Existing Scenery",
                                                    "Select New Scenery", "Install Scenery", "Finish"}));
    next_click();
    ASSERT_TRUE(frames_until([] { return g_wizard == dvd_edit_scenery; }));
    frame();
    EXPECT_EQ(seen().title, "Select Scenery");
  }

  // Remove one cell and add one, then the install step; afterwards exactly the removed cell's
  // tile is gone and the added cell's tile is present, every other file as it was.
  void add_and_remove(bool real_step) {
    click_cell(18, 14);
    click_cell(35, 5);
    next_click();
    ASSERT_EQ(g_wizard, dvd_install_scenery);
    if (real_step) {
      ASSERT_TRUE(frames_until([] { return g_wizard == dvd_done_scenery; }));
    } else {
      ASSERT_EQ(run_install_step(), install_done);
      g_wizard = dvd_done_scenery;
    }
    frame();
    EXPECT_EQ(seen().title, "Finished With Add/Remove Scenery");
    EXPECT_EQ(seen().text, "I have successfully added and removed scenery to match your choices on the map.");
    EXPECT_EQ(seen().choices, std::vector<std::string>{"Run Skyrill Now"});

    const std::string removed = installed(tiles + "+50+000/+51+005.dsf");
    const std::string added = installed(tiles + "-40+170/-34+172.dsf");
    std::map<std::string, std::string> after = tree_md5(dest_dir_path);
    EXPECT_EQ(after.count(removed), 0u);
    EXPECT_EQ(after[added], md5sum_of(release->source + tiles + "-40+170/-34+172.dsf"));
    std::map<std::string, std::string> expected = before;
    expected.erase(removed);
    expected[added] = after[added];
    EXPECT_EQ(after, expected);
  }

  std::string user_note;
  std::map<std::string, std::string> before;
};

TEST_F(SceneryFlow, TheScanFindsTheInstalledCellsAndTheMapEditsThem) {
  to_the_map();
  cells installed_cells;
  for (int i = 0; i < sector_lon_bands; ++i)
    for (int j = 0; j < sector_lat_bands; ++j)
      if (stg.sector_want[i][j]) installed_cells.push_back({i, j});
  EXPECT_EQ(installed_cells, (cells{{6, 13}, {18, 14}}));
  EXPECT_EQ(g_want_sim, 0);
  EXPECT_EQ(g_want_global, 1);
  EXPECT_EQ(stg.install_count, 0);
  EXPECT_EQ(stg.delete_count, 0);

  click_cell(18, 14);  // remove
  click_cell(35, 5);   // add, at the +180 edge
  EXPECT_EQ(stg.sector_want[18][14], 0);
  EXPECT_EQ(stg.sector_want[35][5], 1);
  EXPECT_EQ(stg.install_count, 1);
  EXPECT_EQ(stg.delete_count, 1);
  next_click();
  EXPECT_EQ(g_wizard, dvd_install_scenery);

  // The decisions the install step will act on: one tile in, one tile out, nothing else.
  ASSERT_EQ(choose_files(), 1);
  for (const auto& h : sim_info) {
    const file_version_struct& v = h.back();
    SCOPED_TRACE(v.path);
    EXPECT_EQ(v.do_install, v.path == tiles + "-40+170/-34+172.dsf" ? 1 : 0);
    EXPECT_EQ(v.do_delete, v.path == tiles + "+50+000/+51+005.dsf" ? 1 : 0);
  }
  EXPECT_TRUE(question_double::asked().empty()) << "the changed settings file is not scenery";
}

TEST_F(SceneryFlow, AddAndRemoveThroughTheEngineSteps) {
  to_the_map();
  add_and_remove(false);
}

TEST_F(SceneryFlow, AddAndRemoveThroughTheInstallStep) {
  to_the_map();
  add_and_remove(true);
}

TEST_F(SceneryFlow, DoneTextFollowsErrorsAndCounts) {
  struct row {
    int errors, installs, deletes;
    const char* text;
  } rows[] = {
      {1, 1, 1, "There were errors while adding and removing your scenery."},
      {1, 1, 0, "There were errors while installing more your scenery."},
      {1, 0, 1, "There were errors while removing your scenery."},
      {1, 0, 0, "There were errors while updating your scenery."},
      {0, 2, 3, "I have successfully added and removed scenery to match your choices on the map."},
      {0, 2, 0, "I have successfully installed more scenery to match your choices on the map."},
      {0, 0, 3, "I have successfully removed scenery to match your choices on the map."},
      {0, 0, 0, "I have successfully updated scenery to match your choices on the map."},
  };
  const std::string tail = "  Your copy of Skyrill may not be usable.\n\nYou can click Go Back and use the repair "
                           "and add-remove scenery functions to try to reinstall any missing or damaged files.";
  g_wizard = dvd_done_scenery;
  for (const row& r : rows) {
    SCOPED_TRACE(r.text);
    num_install_errors = r.errors;
    stg.install_count = r.installs;
    stg.delete_count = r.deletes;
    frame();
    EXPECT_EQ(seen().text, std::string(r.text) + (r.errors ? tail : ""));
    EXPECT_EQ(seen().choices.size(), r.errors ? 0u : 1u);
  }
  // A file the step could not delete is an error too.
  num_install_errors = 0;
  failed_deletes = 1;
  frame();
  EXPECT_EQ(seen().text, "There were errors while updating your scenery." + tail);
}

// With two registered copies, a folder left in dest_dir_path by another flow (the install
// flow's new destination, say) is not taken: Next waits for the user's choice.
TEST_F(SceneryFlow, OnlyARegisteredCopyIsWorkedOn) {
  const std::string copy = dest_dir_path, other = work.path() + "Skyrill 9 beta/";
  for (const char* f : {"Airfoils", "Instructions", "Output", "Resources"}) make_folders(other + f + "/");
  write_whole_file(registration_file_path(), copy + "\n" + other + "\n");
  locate_all_skyrills();
  dest_dir_path = work.path() + "New Skyrill/";
  frame();
  EXPECT_EQ(seen().text, "You have more than one copy of Skyrill 9 installed on this computer.  Please pick which "
                         "copy of Skyrill 9 you would like to add scenery to.");
  EXPECT_EQ(dest_dir_path, "");
  next_click();
  EXPECT_EQ(g_wizard, dvd_pick_scenery);
  dest_dir_path = other;  // as the chooser's box does
  next_click();
  EXPECT_EQ(g_wizard, dvd_scan_scenery);
}

// Stopping before the install step changes nothing on disk: Back from the scan (which stops
// it), Quit during the scan, Back from the map after clicking cells.
TEST_F(SceneryFlow, StoppingBeforeTheInstallChangesNothing) {
  // An installed tile of 400 MB (sparse) keeps the scan busy long enough for Back to find it
  // running, however loaded the machine.
  const std::string big = "All/Global Scenery/Skyrill Scenery/Earth nav data/+40-120/+44-118.dsf";
  put(installed(big), "");
  ASSERT_EQ(truncate(installed(big).c_str(), 400 << 20), 0);
  file_version_struct v;
  v.path = big;
  v.sig_want = "0123456789abcdef0123456789abcdef";
  v.is_global = 1;
  v.sector_lon = 6;
  v.sector_lat = 13;
  sim_info.push_back({v});
  before = tree_md5(dest_dir_path);
  frame();
  next_click();
  ASSERT_EQ(g_wizard, dvd_scan_scenery);
  frame();
  back_click();
  EXPECT_EQ(g_wizard, dvd_pick_scenery);
  frame();
  EXPECT_EQ(checksum_workers, nullptr);

  next_click();
  frame();
  wizard_cancel_work();  // Quit
  EXPECT_EQ(checksum_workers, nullptr);

  g_wizard = dvd_pick_scenery;
  to_the_map();
  click_cell(6, 13);
  click_cell(18, 14);
  back_click();
  EXPECT_EQ(g_wizard, dvd_pick_scenery);
  frame();
  EXPECT_EQ(tree_md5(dest_dir_path), before);
}

// Back from the running install step asks whether to stop. Stop keeps what is done and
// deletes nothing more; Continue, the close box and Return go straight back to the step.
TEST_F(SceneryFlow, StopQuestionDuringTheInstall) {
  to_the_map();
  click_cell(18, 14);
  click_cell(35, 5);
  click_cell(0, 0);
  next_click();
  ASSERT_EQ(g_wizard, dvd_install_scenery);
  // The step underway: decided, the removed tile deleted, the pipeline holding the rest.
  ASSERT_NO_FATAL_FAILURE(start_disc_step());
  scenery_install_is_running = 1;

  for (int answer : {0, 3}) {
    SCOPED_TRACE(answer);
    abort_answer() = answer;
    abort_questions().clear();
    g_wizard = dvd_edit_scenery;  // as Back from the step does
    wizard_driver_reset();
    frame();
    ASSERT_EQ(abort_questions().size(), 1u);
    EXPECT_EQ(abort_questions()[0],
              "Are you sure you want to stop scenery installation?  You can add or remove more scenery later.");
    EXPECT_EQ(g_wizard, dvd_install_scenery);
    EXPECT_EQ(scenery_install_is_running, 1);
    EXPECT_NE(copy_pool, nullptr);
  }

  abort_answer() = 1;
  g_wizard = dvd_edit_scenery;
  wizard_driver_reset();
  frame();
  EXPECT_EQ(g_wizard, dvd_edit_scenery);
  EXPECT_EQ(scenery_install_is_running, 0);
  EXPECT_EQ(copy_pool, nullptr);
  EXPECT_EQ(unzip_pool, nullptr);
  // What the step finished stays; the user's files and the cells kept are untouched.
  std::map<std::string, std::string> after = tree_md5(dest_dir_path);
  for (const auto& [path, md5] : before) {
    if (path == installed(tiles + "+50+000/+51+005.dsf")) continue;
    EXPECT_EQ(after[path], md5) << path;
  }
  EXPECT_EQ(after.count(user_note), 1u);
  for (const auto& [path, md5] : after)
    EXPECT_TRUE(before.count(path) || path.find("Global Scenery") != std::string::npos) << path;
  // The map shows what is installed now.
  EXPECT_EQ(stg.sector_want[18][14], 0);
  EXPECT_EQ(stg.sector_want[6][13], 1);
}

}  // namespace
