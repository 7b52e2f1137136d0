// The in-window file browser on the test display: its path rules as tables, then scripted frames
// over a small real tree (names with blanks, UTF-8, '-', '|', a folder of many entries):
// entering folders, going up with Backspace, the ancestors pop-up, type-ahead, choosing a file
// on the Open screen, saving under a new name, and the path picker's browse icon.
#include <GL/gl.h>
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "files/folder_listing.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "platform/file_dialogs.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/file_browser.h"
#include "shell/keyboard.h"
#include "shell/modal_screen.h"
#include "shell/shell_globals.h"
#include "shell/widgets.h"
#include "support/display_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "support/widgets_fixture.h"

namespace {

TEST(FileBrowserRules, StartFolders) {
  struct row {
    const char* path;
    int type;
    const char* folder;
  } rows[] = {
      {"", 9, "Output/situations/"},
      {"", 11, "Output/FMS plans/"},
      {"", 0, ""},
      {"Output/situations/a.sit", 9, "Output/situations/"},
      {"a.sit", 9, ""},
      {"Output/situations/", 9, "Output/"},
      {"Output/", 0, ""},
  };
  for (const row& r : rows) EXPECT_EQ(opensave_start_folder(r.path, r.type), r.folder) << r.path;
}

TEST(FileBrowserRules, SaveNames) {
  struct row {
    const char* typed;
    int type;
    const char* saved;
  } rows[] = {
      {"plan.txt", 11, "plan.FMS"}, {"plan", 11, "plan.FMS"},     {"abcd", 11, "abcd.FMS"},
      {".txt", 11, ".txt.FMS"},     {"a.b.sit", 9, "a.b.SIT"},     {"notes", 0, "notes"}, {"notes.txt", 0, "notes.txt"},
      {"x.tx", 19, "x.tx.TXT"},
  };
  for (const row& r : rows) EXPECT_EQ(opensave_save_name(r.typed, r.type), r.saved) << r.typed;
}

// The pop-up list ends the program on a '|' in its items and reads '-' as a separator: a folder
// with either in its name must still give one item per component.
TEST(FileBrowserRules, AncestorItems) {
  std::vector<std::string> paths;
  EXPECT_EQ(opensave_ancestor_items("Output/FMS plans/", &paths), "Nimbrel folder-Output-FMS plans");
  EXPECT_EQ(paths, (std::vector<std::string>{"", "Output/", "Output/FMS plans/"}));
  EXPECT_EQ(opensave_ancestor_items("a|b/c-d/", &paths), "Nimbrel folder-a b-c d");
  EXPECT_EQ(paths.back(), "a|b/c-d/");
  EXPECT_EQ(opensave_ancestor_items("", &paths), "Nimbrel folder");
  std::string deep;
  for (int i = 0; i < 400; ++i) deep += "d/";
  opensave_ancestor_items(deep, &paths);
  EXPECT_EQ(paths.size(), 299u);
  int u0 = 0, u1 = 0;
  EXPECT_TRUE(opensave_icon_cell(1, &u0, &u1));
  EXPECT_EQ(u0, 34);
  EXPECT_EQ(u1, 46);
  EXPECT_FALSE(opensave_icon_cell(0, &u0, &u1));
}

// An aircraft file: the binary house header, then the block with texts at the four offsets.
std::string acf_file(int version, size_t block_size) {
  std::string f = "i";
  f.append(reinterpret_cast<const char*>(&version), 4);
  std::string block(2092, '\0');
  const std::string texts[4] = {"Nimbrel Nine", "by the works", "short description", "tail"};
  const int offsets[4] = {1552, 1052, 1012, 2052};
  for (int i = 0; i < 4; ++i) block.replace(offsets[i], texts[i].size(), texts[i]);
  block.replace(2060, 32, std::string(32, 'Z'));  // "tail" runs on to the block's end: no NUL
  return f + block.substr(0, block_size) + std::string(16, '\xFF');
}

TEST(FileBrowserPreview, AircraftAndFlightDataReaders) {
  shell_double::reset();
  temp_tree t;
  unsigned char block[io_acf_block_size];
  EXPECT_EQ(io_preview_read_acf(t.write("a.acf", acf_file(900, 2092)), block), 1);
  EXPECT_EQ(io_preview_acf_text(block, 1552), "Nimbrel Nine");
  EXPECT_EQ(io_preview_acf_text(block, 1052), "by the works");
  EXPECT_EQ(io_preview_acf_text(block, 1012), "short description");
  EXPECT_EQ(io_preview_acf_text(block, 2052), "tail");
  EXPECT_EQ(io_preview_acf_text(block, 2060), std::string(32, 'Z'));  // stops at the block's end

  // A bad version: four empty texts. A file cut short: what is there, zeros after, and the
  // program goes on (the reader's own copy would end it).
  EXPECT_EQ(io_preview_read_acf(t.write("bad.acf", acf_file(901 + 5, 2092)), block), 0);
  EXPECT_EQ(io_preview_acf_text(block, 1552), "");
  EXPECT_EQ(io_preview_read_acf(t.write("short.acf", acf_file(900, 1100).substr(0, 1100)), block), 1);
  EXPECT_EQ(io_preview_acf_text(block, 1052), "by the works");
  EXPECT_EQ(io_preview_acf_text(block, 1552), "");
  EXPECT_EQ(io_preview_read_acf(t.write("tiny.acf", acf_file(900, 2092).substr(0, 100)), block), 1);
  EXPECT_EQ(io_preview_read_acf(t.path() + "missing.acf", block), 0);
  EXPECT_TRUE(shell_double::alerts().empty());

  EXPECT_EQ(io_preview_read_fdr(t.write("f.fdr", "I\n1 version\nDATE,today\n  comm,  hello there\nCOMM,second\n")),
            "hello there");
  EXPECT_EQ(io_preview_read_fdr(t.write("g.fdr", "I\n2 version\nCOMM,hello\n")), "");
  EXPECT_EQ(io_preview_read_fdr(t.write("h.fdr", "I\n1 version\nDATE,today\n")), "");

  struct row {
    const char* path;
    bool acf;
    const char* icon;
  } rows[] = {{"x.acf", true, "x_icon.png"},          {"planes/Y.ACF", true, "planes/Y_icon.png"},
              {"x.acf.bak", false, "x.acf_icon.png"}, {"y.acf/z.txt", false, "y.acf/z_icon.png"},
              {"abc", false, "abc_icon.png"},         {".acf", true, ".acf_icon.png"}};
  for (const row& r : rows) {
    EXPECT_EQ(io_preview_has_extension(r.path, ".acf"), r.acf) << r.path;
    EXPECT_EQ(io_preview_icon_name(r.path), r.icon) << r.path;
  }
}

// --- Scripted frames

std::vector<std::function<void()>> script;
size_t step = 0;
std::string shot;
int frames = 0;

void test_startwind(int screen) {
  mnw.topwi = screen;
  mnw.screen_w = screen >= 998 ? 620 : 1024;
  mnw.screen_h = screen >= 998 ? 460 : 768;
  mnw.origin_x = (1024 - mnw.screen_w) / 2;
  mnw.origin_y = (768 - mnw.screen_h) / 2;
}

// One frame of the event procedure: the picture is kept when asked for, this frame's input is
// cleared and the script's next step gives the next; past the script's end, Escape.
void test_event_proc() {
  if (!shot.empty()) {
    save_screenshot(shot);
    shot.clear();
  }
  ++frames;
  mnw.mouse_down = mnw.mouse_double = 0;
  return_hit = escape_hit = delete_hit = 0;
  // Keys reach the widgets registered in the frame just drawn; the ring starts anew after.
  if (step < script.size())
    script[step++]();
  else
    escape_hit = 1;
  BTN_begin_focus_ring();
  glClear(GL_COLOR_BUFFER_BIT);
}

// The list's row of an entry of folder, as the browser shows it just after listing it.
float row_of(const std::string& folder, int type, const std::string& name) {
  std::vector<std::string> names;
  std::vector<int> flags;
  const int count = opensave_getitems(folder, type, names, flags);
  for (int i = 0; i < count; ++i)
    if (names[i] == name) return 180 - 10.0f * (i - count / 2);
  ADD_FAILURE() << name << " not listed in " << folder;
  return -1000;
}

std::function<void()> press_entry(const std::string& folder, int type, const std::string& name, bool twice) {
  return [=] {
    mnw.mouse_x = 60;
    mnw.mouse_y = row_of(folder, type, name);
    mnw.mouse_down = 1;
    mnw.mouse_double = twice;
  };
}

// A press on the middle row, which gives the list the keyboard.
void press_centre() {
  mnw.mouse_x = 60;
  mnw.mouse_y = 180;
  mnw.mouse_down = 1;
}

class FileBrowser : public gl_widgets_test {
 protected:
  void SetUp() override {
    gl_widgets_test::SetUp();
    for (const char* f : {"Output/situations/a.sit", "Output/situations/b.sit", "Output/FMS plans/KBOS.fms",
                          "name with blanks/inside.txt", "caf\xC3\xA9 \xC3\xBC/x.txt", "pipe|folder/in pipe.txt",
                          "dash-name/d.txt", "top.txt", "locked/hidden.txt"})
      tree.write(f, "x");
    for (int i = 0; i < 2000; ++i) tree.write("many/entry" + std::to_string(i) + ".txt", "");
    saved_app = app_path;
    app_path = tree.path();
    test_startwind(0);
    app_done = 0;
    frames = 0;
    script.clear();
    step = 0;
    shell_screen().startwind = test_startwind;
    shell_screen().event_proc = test_event_proc;
  }
  void TearDown() override {
    shell_screen() = shell_screen_defaults();
    app_path = saved_app;
    focus_id = 0;
  }
  temp_tree tree;
  std::string saved_app;
};

TEST_F(FileBrowser, BrowseFoldersAndOpenAFile) {
  std::string path = "top.txt";  // a bare name: the application folder
  script = {
      [] { shot = "file_browser_open"; },
      press_entry("", 0, "pipe|folder", true),  // its name once ended the program in the pop-up
      [] { delete_hit = 1; },                    // back up
      press_entry("", 0, "caf\xC3\xA9 \xC3\xBC", true),
      [] { delete_hit = 1; },
      press_entry("", 0, "name with blanks", true),
      press_entry("name with blanks/", 0, "inside.txt", false),
      [] { shot = "file_browser_inside"; },
      [] { return_hit = 1; },  // Return on the Open screen chooses the selected file
  };
  EXPECT_EQ(BTN_opensave(998, 0, &path), 1);
  EXPECT_EQ(path, "name with blanks/inside.txt");
  EXPECT_EQ(mnw.topwi, 0);  // the remembered screen is current again
  EXPECT_TRUE(shell_double::alerts().empty());
}

// A folder that cannot be read (or is gone) is an empty list: Return and Open choose nothing,
// and the way out still works.
TEST_F(FileBrowser, UnreadableFolderIsAnEmptyList) {
  chmod((tree.path() + "locked").c_str(), 0);  // not enough when the tests run as root
  std::string path = "gone/x.txt";
  script = {[] { return_hit = 1; }, [] { shot = "file_browser_empty"; }, [] { delete_hit = 1; },
            press_entry("", 0, "locked", true), [] { delete_hit = 1; },
            press_entry("", 0, "top.txt", true)};
  EXPECT_EQ(BTN_opensave(998, 0, &path), 1);
  EXPECT_EQ(path, "top.txt");
  chmod((tree.path() + "locked").c_str(), 0755);
  EXPECT_TRUE(shell_double::alerts().empty());
}

TEST_F(FileBrowser, BackspaceGoesUpToTheApplicationFolderThenStops) {
  std::string path = "Output/situations/a.sit";
  script = {[] { delete_hit = 1; }, [] { delete_hit = 1; }, [] { delete_hit = 1; },
            // At the top now: the application folder lists "Output".
            press_entry("", 9, "Output", false), [] { return_hit = 1; }, press_entry("Output/", 9, "FMS plans", true),
            [] { shot = "file_browser_fms"; }};
  EXPECT_EQ(BTN_opensave(998, 9, &path), 0);  // left by Escape at the script's end
  EXPECT_EQ(path, "Output/situations/a.sit");  // unchanged
  EXPECT_EQ(mnw.topwi, 0);
}

TEST_F(FileBrowser, DoubleClickOnAFileChoosesOnlyOnOpen) {
  std::string path = "Output/situations/a.sit";
  script = {press_entry("Output/situations/", 9, "b.sit", true)};
  EXPECT_EQ(BTN_opensave(998, 9, &path), 1);
  EXPECT_EQ(path, "Output/situations/b.sit");

  path = "Output/situations/a.sit";
  script = {press_entry("Output/situations/", 9, "b.sit", true)};
  step = 0;
  EXPECT_EQ(BTN_opensave(999, 9, &path), 0);
  EXPECT_EQ(path, "Output/situations/a.sit");
}

TEST_F(FileBrowser, SaveUnderANewName) {
  std::string path;  // type 11 starts in its default folder
  script = {[] {
              for (char32_t c : std::u32string(U"route.txt")) press_key(SDL_SCANCODE_A, c);
            },
            [] { shot = "file_browser_save"; }, [] { return_hit = 1; }};
  EXPECT_EQ(BTN_opensave(999, 11, &path), 1);
  EXPECT_EQ(path, "Output/FMS plans/route.FMS");
  EXPECT_EQ(mnw.topwi, 0);
}

TEST_F(FileBrowser, TypeAheadInAFolderOfManyEntries) {
  std::string path = "many/";
  // Opened on the folder's parent; into "many", focus the list, type.
  script = {press_entry("", 0, "many", true), press_centre,
            [] { press_key(SDL_SCANCODE_A, U'E'); },
            [] { press_key(SDL_SCANCODE_A, U'n'); },
            [] { press_key(SDL_SCANCODE_A, U't'); },
            [] { press_key(SDL_SCANCODE_A, U'r'); },
            [] { press_key(SDL_SCANCODE_A, U'y'); },
            [] { press_key(SDL_SCANCODE_A, U'1'); },
            [] { press_key(SDL_SCANCODE_A, U'9'); },
            [] { press_key(SDL_SCANCODE_A, U'9'); },
            [] { press_key(SDL_SCANCODE_A, U'9'); },
            [] { press_key(SDL_SCANCODE_A, U'\u00e9'); },  // no entry starts so: the choice stays
            [] { shot = "file_browser_many"; },
            [] { return_hit = 1; }};
  EXPECT_EQ(BTN_opensave(998, 0, &path), 1);
  EXPECT_EQ(path, "many/entry1999.txt");

  // After a pause, a new search starts with the letter alone.
  path = "many/x";
  script = {press_centre, [] { press_key(SDL_SCANCODE_A, U'e'); },
            [] { press_key(SDL_SCANCODE_A, U'n'); }, [] { xtim.elapsed += 2; },
            [] { press_key(SDL_SCANCODE_A, U'e'); }, [] { return_hit = 1; }};
  step = 0;
  EXPECT_EQ(BTN_opensave(998, 0, &path), 1);
  EXPECT_EQ(path, "many/entry0.txt");
}

TEST_F(FileBrowser, PathPickerOpensTheBrowser) {
  std::string path = "Output/situations/a.sit";
  script = {press_entry("Output/situations/", 9, "b.sit", true)};
  glClear(GL_COLOR_BUFFER_BIT);
  test_startwind(0);
  BTN_begin_focus_ring();
  EXPECT_EQ(BTN_select_path_stl(200, 300, 998, 9, &path, 100, "Situation:|{-pick a situation", 200, 0), 0);
  EXPECT_FALSE(save_screenshot("file_browser_picker").empty());
  mnw.mouse_x = 200 - 17;
  mnw.mouse_y = 303;
  mnw.mouse_down = 1;
  EXPECT_EQ(BTN_select_path_stl(200, 300, 998, 9, &path, 100, "Situation:|{-pick a situation", 200, 0), 1);
  EXPECT_EQ(path, "Output/situations/b.sit");
}

// A press on the browse icon of a picker at (200, 300).
void press_icon() {
  mnw.mouse_x = 200 - 17;
  mnw.mouse_y = 303;
  mnw.mouse_down = 1;
}

// The buffer pickers refuse a chosen path that does not fit instead of cutting it to a path
// that names another file; a file picker stores only what the browser chose.
TEST_F(FileBrowser, BufferPickersRefuseWhatDoesNotFit) {
  tree.write("Output/situations/a very long situation name.sit", "x");
  char buffer[24] = "Output/situations/a.sit";
  script = {press_entry("Output/situations/", 9, "a very long situation name.sit", true)};
  press_icon();
  EXPECT_EQ(BTN_select_path_chr(200, 300, 998, 9, buffer, sizeof buffer, "Situation:", 200, 0), 1);
  EXPECT_STREQ(buffer, "Output/situations/a.sit");
  ASSERT_EQ(shell_double::alerts().size(), 1u);
  EXPECT_EQ(shell_double::alerts()[0].type, 1);  // told, and the program goes on

  shell_double::reset();
  script = {press_entry("Output/situations/", 9, "b.sit", true)};
  step = 0;
  press_icon();
  EXPECT_EQ(BTN_select_path_chr(200, 300, 998, 9, buffer, sizeof buffer, "Situation:", 200, 0), 1);
  EXPECT_STREQ(buffer, "Output/situations/b.sit");

  // The file form: the name in the buffer, the full path in the string.
  char name[8] = "a.sit";
  std::string path = "Output/situations/a.sit";
  script = {press_entry("Output/situations/", 9, "b.sit", true)};
  step = 0;
  press_icon();
  EXPECT_EQ(BTN_select_file_chr(200, 300, 998, 9, name, &path, sizeof name, "Situation:", 200), 1);
  EXPECT_STREQ(name, "b.sit");
  EXPECT_EQ(path, "Output/situations/b.sit");
  script = {press_entry("Output/situations/", 9, "a very long situation name.sit", true)};
  step = 0;
  press_icon();
  EXPECT_EQ(BTN_select_file_chr(200, 300, 998, 9, name, &path, sizeof name, "Situation:", 200), 1);
  EXPECT_STREQ(name, "b.sit");
  EXPECT_EQ(path, "Output/situations/b.sit");
  EXPECT_EQ(shell_double::alerts().size(), 1u);
}

// Without zenity or kdialog the native dialogs fall back to the browser, over the whole file
// system, with absolute paths in and out.
TEST_F(FileBrowser, NativeDialogFallsBackToTheBrowser) {
  in_window_file_dialog = shell_in_window_file_dialog;  // as the shell installs it at start-up
  temp_tree empty_bin;
  const char* old = getenv("PATH");
  const std::string saved_path = old ? old : "";
  setenv("PATH", empty_bin.path().c_str(), 1);
  ASSERT_FALSE(platform_file_dialog_available());
  const std::string rel = tree.path().substr(1);
  std::string chosen = "unchanged";
  script = {press_entry(rel + "Output/situations/", 0, "b.sit", true)};
  EXPECT_EQ(GetFilePathFromUser(0, "Pick", "Open", 0, tree.path() + "Output/situations/", chosen), 1);
  EXPECT_EQ(chosen, tree.path() + "Output/situations/b.sit");

  // A folder: the name typed on the Save screen, in the folder shown.
  script = {[] {
              for (char32_t c : std::u32string(U"Skyrill 9")) press_key(SDL_SCANCODE_A, c);
            },
            [] { return_hit = 1; }};
  step = 0;
  EXPECT_EQ(GetFilePathFromUser(2, "Where?", "Choose", 0, tree.path() + "Output", chosen), 1);
  EXPECT_EQ(chosen, tree.path() + "Output/Skyrill 9");
  EXPECT_EQ(app_path, tree.path());  // the browser's own root is put back

  // Cancelled: unchanged.
  script = {[] { escape_hit = 1; }};
  step = 0;
  EXPECT_EQ(GetFilePathFromUser(0, "Pick", "Open", 0, tree.path(), chosen), 0);
  EXPECT_EQ(chosen, tree.path() + "Output/Skyrill 9");
  setenv("PATH", saved_path.c_str(), 1);
  in_window_file_dialog = nullptr;
  shell_double::reset();
}

// The Open screen for aircraft files previews the one under the cursor, each file read once
// per change of cursor, a damaged one included.
TEST_F(FileBrowser, AircraftPreviewFollowsTheCursor) {
  tree.write("planes/a.acf", acf_file(900, 2092));
  tree.write("planes/b.acf", acf_file(900, 2092).substr(0, 100));
  // a has an icon (any picture will do), b none.
  tree.write("planes/a_icon.png", read_whole_file(std::string(SKY_SOURCE_DIR) + "/resources/interface.png"));
  std::string path = "planes/a.acf";
  io_preview_reads = 0;
  script = {press_entry("planes/", 3, "b.acf", false), press_entry("planes/", 3, "a.acf", false),
            [] { shot = "file_browser_preview"; }, press_entry("planes/", 3, "b.acf", false),
            [] { return_hit = 1; }};
  EXPECT_EQ(BTN_opensave(998, 3, &path), 1);
  EXPECT_EQ(path, "planes/b.acf");
  // The list opens on its middle entry, b; then b again, a, b: one read per change.
  EXPECT_EQ(io_preview_reads, 3);
  for (const recorded_alert& a : shell_double::alerts()) ADD_FAILURE() << a.lines[0] << " / " << a.lines[1];
}

}  // namespace
