// Finding the install disc in the mount table: which mounts count as discs, the marker test,
// and the cached table read again when it changes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/volumes.h"
#include "support/temp_tree.h"

namespace {

struct disc_mounts {
  temp_tree t;
  std::string root = t.path();
  std::string r = root.substr(0, root.size() - 1);
  disc_mounts() {
    for (const char* d : {"cdrom/", "data/", "rom ext4/"}) make_folders(root + d);
    t.write("sys/dev/block/8:33/device/type", "5\n");
    platform_set_test_drive("");
    platform_set_volume_roots(root + "mountinfo", root + "sys");
  }
  ~disc_mounts() { platform_set_volume_roots("", ""); }
  void table(const std::string& lines) {
    // Written aside and renamed, as the kernel's table never changes in place under a reader.
    t.write("mountinfo.new", lines);
    rename((root + "mountinfo.new").c_str(), (root + "mountinfo").c_str());
  }
  std::string line(int id, const std::string& dev, const std::string& point, const std::string& type,
                   const std::string& source) {
    return std::to_string(id) + " 1 " + dev + " / " + point + " ro - " + type + " " + source + " ro\n";
  }
};

TEST(DiscFinder, OnlyDiscMountsThatHoldTheMarkerAreFound) {
  disc_mounts f;
  const std::vector<std::string> markers = {"dvd_version.txt", "Rel/"};
  f.table(f.line(22, "8:1", "/", "ext4", "/dev/sda1") +
          f.line(40, "8:17", f.r + "/data", "ext4", "/dev/sdb1") +
          f.line(41, "11:0", f.r + "/cdrom", "iso9660", "/dev/sr0") +
          f.line(42, "8:33", f.r + "/rom\\040ext4", "ext4", "/dev/sdc1"));
  // A data volume with the marker is no disc.
  f.t.write("data/dvd_version.txt", "I\n900\nDVD\n");
  EXPECT_EQ(platform_find_disc(markers), "");
  // The marker may be the release folder (the later discs of a set have no identity file).
  make_folders(f.root + "rom ext4/Rel/");
  EXPECT_EQ(platform_find_disc(markers), f.root + "rom ext4/");
  f.t.write("cdrom/dvd_version.txt", "I\n900\nDVD\n");
  EXPECT_EQ(platform_find_disc(markers), f.root + "cdrom/");
  EXPECT_EQ(platform_find_disc({"absent"}), "");
}

TEST(DiscFinder, AChangedTableIsReadAgain) {
  disc_mounts f;
  f.t.write("cdrom/dvd_version.txt", "I\n900\nDVD\n");
  f.table(f.line(22, "8:1", "/", "ext4", "/dev/sda1"));
  EXPECT_EQ(platform_find_disc({"dvd_version.txt"}), "");
  f.table(f.line(22, "8:1", "/", "ext4", "/dev/sda1") + f.line(41, "11:0", f.r + "/cdrom", "udf", "/dev/sr0"));
  EXPECT_EQ(platform_find_disc({"dvd_version.txt"}), f.root + "cdrom/");
  f.table(f.line(22, "8:1", "/", "ext4", "/dev/sda1"));
  EXPECT_EQ(platform_find_disc({"dvd_version.txt"}), "");
}

TEST(DiscFinder, TheRealMountTableIsReadWithoutError) {
  platform_set_volume_roots("", "");
  platform_set_test_drive("");
  // No disc on a build machine; twice, the second from the cache.
  EXPECT_EQ(platform_find_disc({"no such marker 1b7f"}), "");
  EXPECT_EQ(platform_find_disc({"no such marker 1b7f"}), "");
}

TEST(DiscFinder, TestDriveEjectsByEmptyingTheDrive) {
  temp_tree t;
  t.write("disc/dvd_version.txt", "x");
  platform_set_test_drive(t.path() + "disc");
  EXPECT_EQ(platform_find_disc({"dvd_version.txt"}), t.path() + "disc/");
  EXPECT_EQ(platform_eject(t.path() + "elsewhere/"), ENODEV);
  EXPECT_EQ(platform_eject(t.path() + "disc/"), 0);
  EXPECT_EQ(platform_find_disc({"dvd_version.txt"}), "");
  EXPECT_EQ(platform_test_drive_disc(), "");
  platform_set_test_drive("");
}

}  // namespace
