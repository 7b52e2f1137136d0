#include "platform/volumes.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "platform/process.h"
#include "support/temp_tree.h"

namespace {

// mountinfo lines as the kernel writes them; every mount point is a real folder of the fixture
// tree so that the path look-up can resolve it.
struct mount_fixture {
  temp_tree t;
  std::string root = t.path();
  mount_fixture() {
    for (const char* d : {"disc/", "udf/", "data/", "net/", "my disc/", "usb/"}) make_folders(root + d);
    std::string r = root.substr(0, root.size() - 1);
    std::string info =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 11:0 / " + r + "/disc ro,nosuid - iso9660 /dev/sr0 ro\n"
        "41 22 11:1 / " + r + "/udf ro master:3 - udf /dev/sr1 ro\n"
        "42 22 8:17 / " + r + "/data rw - ext4 /dev/sdb1 rw\n"
        "43 22 0:50 / " + r + "/net rw - nfs4 server:/export rw\n"
        "44 22 8:33 / " + r + "/my\\040disc ro - ext4 /dev/sdc1 ro\n"
        "45 22 8:49 / " + r + "/usb rw - vfat /dev/sdd1 rw\n";
    t.write("mountinfo", info);
    // sdc is a ROM drive by its SCSI type even though it holds ext4.
    t.write("sys/dev/block/8:33/device/type", "5\n");
    t.write("sys/dev/block/8:49/device/type", "0\n");
    platform_set_volume_roots(root + "mountinfo", root + "sys");
  }
  ~mount_fixture() { platform_set_volume_roots("", ""); }
};

TEST(Volumes, MountsAndDiscsFromMountinfoAndSysfs) {
  mount_fixture f;
  struct row {
    std::string path;
    std::string mount_point;
    std::string device;
    int optical;
  } rows[] = {
      {f.root + "disc/Skyrill/file", f.root + "disc", "/dev/sr0", 1},
      {f.root + "udf/", f.root + "udf", "/dev/sr1", 1},
      {f.root + "data/x/y/", f.root + "data", "/dev/sdb1", 0},
      {f.root + "net/a", f.root + "net", "server:/export", 0},
      {f.root + "my disc/", f.root + "my disc", "/dev/sdc1", 1},
      {f.root + "usb/", f.root + "usb", "/dev/sdd1", 0},
      {f.root, "/", "/dev/sda1", 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.path);
    platform_mount m;
    ASSERT_TRUE(platform_find_mount(r.path, m));
    EXPECT_EQ(m.mount_point, r.mount_point);
    EXPECT_EQ(m.source, r.device);
    EXPECT_EQ(platform_mount_is_optical(m), r.optical);
  }
  platform_set_volume_roots(f.root + "missing", "");
  platform_mount m;
  EXPECT_FALSE(platform_find_mount(f.root, m));
}

TEST(Volumes, EjectRunsTheToolWithTheDevice) {
  mount_fixture f;
  std::string argv_file = f.root + "eject.args";
  for (int status : {0, 1}) {
    SCOPED_TRACE(status);
    f.t.write("bin/eject", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + argv_file + "'\nexit " +
                               std::to_string(status) + "\n");
    chmod((f.root + "bin/eject").c_str(), 0755);
    setenv("PATH", (f.root + "bin:/usr/bin:/bin").c_str(), 1);
    EXPECT_EQ(platform_eject(f.root + "disc/Skyrill/"), status == 0 ? 0 : EBUSY);
    EXPECT_EQ(read_whole_file(argv_file), "/dev/sr0\n");
  }
  setenv("PATH", (f.root + "empty").c_str(), 1);
  EXPECT_EQ(platform_eject(f.root + "disc/"), ENOENT);
  EXPECT_EQ(platform_eject(f.root + "net/"), ENODEV);  // no device to eject
}

TEST(Volumes, FreeSpaceOfAPathNotMadeYet) {
  temp_tree t;
  uint64_t total = 0, free_bytes = 0, total2 = 0, free2 = 0;
  ASSERT_EQ(platform_free_space(t.path() + "a/b/c", &total, &free_bytes), 0);
  ASSERT_EQ(platform_free_space(t.path(), &total2, &free2), 0);
  EXPECT_EQ(total, total2);
  EXPECT_GT(total, 0u);
  EXPECT_LE(free_bytes, total);
}

TEST(Process, SpawnReportsFailedStartsAndCollectsOutput) {
  EXPECT_EQ(platform_run({"/nonexistent/program"}, nullptr, nullptr), ENOENT);
  std::string out;
  int status = -1;
  ASSERT_EQ(platform_run({"sh", "-c", "printf '%s' \"$1\"; exit 3", "sh", "a b'; $(touch m)"}, &out,
                         &status),
            0);
  EXPECT_EQ(out, "a b'; $(touch m)");
  EXPECT_EQ(status, 3);
  // A child gets SIGPIPE back even though this process ignores it.
  signal(SIGPIPE, SIG_IGN);
  out.clear();
  ASSERT_EQ(platform_run({"sh", "-c", "grep SigIgn /proc/self/status"}, &out, &status), 0);
  unsigned long long ignored = std::stoull(out.substr(out.find(':') + 1), nullptr, 16);
  EXPECT_EQ(ignored & (1ull << (SIGPIPE - 1)), 0u);
  int calls = 0;
  static int* counter;
  counter = &calls;
  ASSERT_EQ(platform_run({"sleep", "0.2"}, nullptr, &status, [] { ++*counter; }), 0);
  EXPECT_GT(calls, 0);
}

}  // namespace
