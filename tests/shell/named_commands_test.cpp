// The command registry: look-ups by path, added commands, press counts and the path listing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/shell_records.h"

namespace {

TEST(NamedCommands, BuiltInCommandAndLookups) {
  const cmnd_class c;
  ASSERT_EQ(c.paths.size(), 1u);
  EXPECT_EQ(c.symbols[0], "cmnd_nothing");
  EXPECT_EQ(c.descriptions[0], "Do nothing at all!");
  EXPECT_EQ(c.types[0], 3);
  EXPECT_EQ(c.presses[0], 0);
  for (const char* path : {"sim/-none-/-none-", "sim/unknown", "sim/-none-/-none-/", "", "SIM/-none-/-none-"})
    EXPECT_EQ(c.get_cmnd_by_name(path), 0) << path;
  EXPECT_EQ(default_commands[0].key, 0);
  EXPECT_EQ(default_commands[0].modifiers, 0);
}

TEST(NamedCommands, AddedCommandsAndPressCounts) {
  cmnd_class c;
  const int pause = c.add_cmd("sim/operation/pause", "Pause.");
  const int again = c.add_cmd("sim/operation/pause", "Pause again.");
  EXPECT_EQ(pause, 1);
  EXPECT_EQ(again, 2);
  EXPECT_EQ(c.symbols[pause], "DYNAMIC");
  EXPECT_EQ(c.types[pause], 2);
  EXPECT_EQ(c.get_cmnd_by_name("sim/operation/pause"), pause) << "the first of a repeated path";

  c.press_one(pause);
  c.press_one(pause);
  EXPECT_EQ(c.presses[pause], 2);
  c.release_one(pause);
  c.release_one(pause);
  c.release_one(pause);
  EXPECT_EQ(c.presses[pause], -1) << "releases may outnumber presses";
  c.single_press(pause);
  c.press_always(pause);
  EXPECT_EQ(c.presses[pause], -1);
  EXPECT_EQ(c.presses[again], 0);

  // A number that names no command (a stale one) changes nothing.
  const std::vector<int> before = c.presses;
  for (int stale : {-1, 3, 1000000}) {
    c.press_one(stale);
    c.release_one(stale);
    c.single_press(stale);
  }
  EXPECT_EQ(c.presses, before);
}

TEST(NamedCommands, ListingUnderAPrefix) {
  cmnd_class c;
  c.add_cmd("sim/view/forward", "");
  c.add_cmd("sim/view/back", "");
  c.add_cmd("other/x", "");
  using list = std::vector<std::string>;
  const struct {
    const char* prefix;
    list expected;
  } cases[] = {
      {"", {"sim/", "sim/", "sim/", "other/"}},  // one entry per command, not merged
      {"sim/", {"-none-/", "view/", "view/"}},
      {"sim/-none-/", {"-none-"}},
      {"sim/-none-/-none-", {}},                 // a whole path lists nothing
      {"sim/view/", {"forward", "back"}},        // number order, not sorted
      {"sim/vi", {"ew/", "ew/"}},
      {"nothing/", {}},
  };
  for (const auto& k : cases) {
    list out = {"stale"};
    c.get_cmds_in_path(k.prefix, out);
    EXPECT_EQ(out, k.expected) << "prefix '" << k.prefix << "'";
  }
}

TEST(NamedCommands, PlaneFocus) {
  EXPECT_EQ(get_plane_focus(), 0);
  set_plane_focus(3);
  EXPECT_EQ(get_plane_focus(), 3);
  set_plane_focus(0);
}

}  // namespace
