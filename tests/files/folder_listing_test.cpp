#include "files/folder_listing.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "files/archive_fixtures.h"
#include "runtime/shell_records.h"
#include "support/shell_double.h"

namespace {

struct listing_tree {
  temp_tree t;
  std::string root = t.path() + "list/";
  listing_tree() {
    for (const char* f : {"b.TXT", "A.txt", ".hidden", "\xC3\xA9.txt", "panel-1.png", "panel.png",
                          "y.txt", "name with blanks.obj", "x.acf"})
      t.write(std::string("list/") + f, "x");
    make_folders(root + "c/");
    make_folders(root + "folder.acf/");
    make_folders(t.path() + "elsewhere/");
    symlink((t.path() + "elsewhere").c_str(), (root + "link to folder").c_str());
  }
};


struct named_flag {
  std::string name;
  int flag;
  bool operator==(const named_flag& o) const { return name == o.name && flag == o.flag; }
};
std::ostream& operator<<(std::ostream& os, const named_flag& n) {
  return os << n.name << ":" << n.flag;
}

std::vector<named_flag> listing(const std::string& folder, int type, int* count = nullptr) {
  std::vector<std::string> names{"stale"};
  std::vector<int> flags{9};
  int n = opensave_getitems(folder, type, names, flags);
  if (count) *count = n;
  std::vector<named_flag> out;
  for (size_t i = 0; i < names.size(); ++i) out.push_back({names[i], flags[i]});
  return out;
}

TEST(FolderListing, TypesFilterFlagAndSortTheItems) {
  listing_tree l;
  cmnd.add_cmd("sim/view/forward", "");
  cmnd.add_cmd("sim/quit", "");
  cmnd.add_cmd("sim/operation/pause", "");
  cmnd.add_cmd("sim/about", "");
  cmnd.add_cmd("other/thing", "");
  using v = std::vector<named_flag>;
  struct row {
    int type;
    v expect;
  } rows[] = {
      // UTF-8 names sort first (signed bytes); the link to a folder is a file.
      {0, {{"\xC3\xA9.txt", 19}, {"A.txt", 19}, {"b.TXT", 19}, {"c", 1}, {"folder.acf", 3},
           {"link to folder", 0}, {"name with blanks.obj", 7}, {"panel-1.png", 2}, {"panel.png", 2},
           {"x.acf", 3}, {"y.txt", 19}}},
      {1, {{"c", 1}}},
      {3, {{"c", 1}, {"folder.acf", 3}, {"x.acf", 3}}},
      {12, {{"c", 1}, {"panel.png", 2}}},
      {19, {{"\xC3\xA9.txt", 19}, {"A.txt", 19}, {"b.TXT", 19}, {"c", 1}, {"y.txt", 19}}},
      {20, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.type);
    int n = -2;
    auto got = listing(l.root, r.type, &n);
    EXPECT_EQ(got, r.expect);
    EXPECT_EQ(n, static_cast<int>(r.expect.size()));
  }
  // "sim/-none-/-none-" is the registry's built-in command.
  EXPECT_EQ(listing("sim/", 21), (v{{"-none-", 1}, {"about", 21}, {"operation", 1}, {"quit", 21}, {"view", 1}}));
  // Panel images of the stock cockpit folder are never offered.
  int flag = 0;
  EXPECT_EQ(opensave_takeit("Resources/bitmaps/cockpit/-panels-/", "p.png", 12, flag), 0);
  EXPECT_EQ(opensave_takeit("Resources/bitmaps/cockpit/-panels-2/", "x.png", 12, flag), 0);
  flag = 0;
  EXPECT_EQ(opensave_takeit("Resources/bitmaps/other/", "p.png", 12, flag), 1);
  EXPECT_EQ(flag, 2);
  // Long paths are never refused for their length.
  flag = 0;
  EXPECT_EQ(opensave_takeit(std::string(600, 'd') + "/", "f.txt", 19, flag), 1);
}

TEST(FolderListing, UnreadableFoldersAndMisuse) {
  listing_tree l;
  int n = 0;
  EXPECT_TRUE(listing(l.t.path() + "missing/", 0, &n).empty());
  EXPECT_LT(n, 0);  // not "empty": the clean-up must not take it for an empty folder
  EXPECT_TRUE(listing(l.root + "b.TXT/", 0, &n).empty());
  EXPECT_LT(n, 0);

  shell_double::reset();
  listing(l.t.path() + "list", 0, &n);
  const auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  const auto& a = alerts[0];
  EXPECT_EQ(a.type, 2);
  EXPECT_EQ(a.lines[0], "Working path does not appear to be a directory!");
  EXPECT_EQ(a.lines[1], "This is not consistent with my labelling practices!");
  EXPECT_EQ(a.lines[2], "I need to end all paths with the directory indicator!");
  EXPECT_EQ(a.lines[3], l.t.path() + "list");

  // The tree operations see dot-names too.
  std::vector<std::string> names;
  std::vector<int> flags;
  ASSERT_EQ(list_folder_for_tree(l.root, names, flags), 12);
  EXPECT_EQ(names[1], ".hidden");  // after the UTF-8 name, before ASCII letters
  EXPECT_EQ(list_folder_for_tree(l.t.path() + "missing/", names, flags), -ENOENT);
}

// A fake zenity (or kdialog) first on PATH records its arguments and answers as told.
struct fake_dialog {
  temp_tree t;
  std::string bin = t.path() + "bin/";
  std::string args = t.path() + "args";
  fake_dialog(const std::string& tool, const std::string& answer, int status) {
    t.write("answer", answer + "\n");
    std::string script = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + args +
                         "'\ncat '" + t.path() + "answer'\nexit " + std::to_string(status) + "\n";
    t.write("bin/" + tool, script);
    chmod((bin + tool).c_str(), 0755);
    setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
    setenv("DISPLAY", ":99", 1);
    unsetenv("WAYLAND_DISPLAY");
  }
  std::vector<std::string> argv() const {
    std::vector<std::string> out;
    std::string all = read_whole_file(args);
    size_t start = 0;
    while (start < all.size()) {
      size_t nl = all.find('\n', start);
      out.push_back(all.substr(start, nl - start));
      start = nl + 1;
    }
    return out;
  }
};

TEST(NativeDialogs, AnswersOfTheDialogToolReachTheCaller) {
  const std::string message = "S\xC3\xA9lectionnez l'installation";
  const std::string picked = "/home/me/My Sim's \xC3\xA9t\xC3\xA9 folder";
  struct row {
    const char* tool;
    int kind;
    std::string answer;
    int status;
    int expect;
    std::string path;
  } rows[] = {
      {"zenity", 2, picked + "/", 0, 1, picked},
      {"zenity", 2, "/", 0, 1, "/"},
      {"zenity", 0, "/a/file.txt", 0, 1, "/a/file.txt"},
      {"zenity", 1, "/a/b/new name.txt", 0, 1, "/a/b"},
      {"zenity", 2, "", 1, 0, "unchanged"},
      {"zenity", 2, picked, 5, 0, "unchanged"},
      {"kdialog", 2, picked, 0, 1, picked},
      {"kdialog", 2, "", 1, 0, "unchanged"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.tool) + " kind " + std::to_string(r.kind) + " exit " +
                 std::to_string(r.status));
    fake_dialog fake(r.tool, r.answer, r.status);
    std::string io = "unchanged";
    EXPECT_EQ(GetFilePathFromUser(r.kind, message, "Select", 1, fake.t.path(), io), r.expect);
    EXPECT_EQ(io, r.path);
    auto argv = fake.argv();
    if (std::string(r.tool) == "zenity") {
      ASSERT_GE(argv.size(), 3u);
      EXPECT_EQ(argv[0], "--file-selection");
      EXPECT_EQ(argv[1], "--title=" + message);  // one argument, apostrophe and accents intact
      if (r.kind == 2) {
        EXPECT_EQ(argv[2], "--directory");
      }
      if (r.kind != 1) {
        EXPECT_EQ(argv.back(), "--filename=" + fake.t.path());
      }
    } else {
      ASSERT_EQ(argv.size(), 4u);
      EXPECT_EQ(argv[1], message);
      EXPECT_EQ(argv[2], "--getexistingdirectory");
    }
  }
}

TEST(NativeDialogs, NoDisplayOrNoToolMeansCancelled) {
  fake_dialog fake("zenity", "/picked", 0);
  unsetenv("DISPLAY");
  std::string io = "unchanged";
  EXPECT_EQ(GetFilePathFromUser(2, "m", "Select", 1, "", io), 0);
  EXPECT_EQ(io, "unchanged");
  EXPECT_TRUE(read_whole_file(fake.args).empty());  // never started

  setenv("DISPLAY", ":99", 1);
  setenv("PATH", (fake.t.path() + "nothing-here").c_str(), 1);
  EXPECT_EQ(GetFilePathFromUser(2, "m", "Select", 1, "", io), 0);
  EXPECT_EQ(io, "unchanged");
}

TEST(NativeDialogs, StopAlertWithoutDisplayGoesToStderrCutAtACharacter) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  std::string text = std::string(498, 'a') + "\xC3\xA9" + "tail";  // the cut falls inside é
  testing::internal::CaptureStderr();
  DoUserAlert(text.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(498, 'a') + "\n");
}

TEST(ByteOrder, FlipsSixteenAndThirtyTwoBits) {
  int16_t s = 0x1234;
  EXPECT_EQ(EndianFlipShort(&s), 0x3412);
  EXPECT_EQ(s, 0x3412);
  int32_t l = 0x11223344;
  EXPECT_EQ(EndianFlipLong(&l), 0x44332211);
  int32_t neg = -2;  // 0xFFFFFFFE
  EXPECT_EQ(EndianFlipLong(&neg), static_cast<int32_t>(0xFEFFFFFFu));
}

}  // namespace
