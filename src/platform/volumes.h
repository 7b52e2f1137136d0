// Volumes and discs. Replaces the File Manager's volume information (free space), the volume
// parameters plus the IOKit media test (is this a CD or DVD?) and the volume eject. Linux
// answers from statvfs, /proc/self/mountinfo and sysfs; the eject runs the `eject` tool with
// the volume's device. Not done on Linux: anything keyed by a volume reference number (callers
// pass a path on the volume instead), and network volumes are never taken for discs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Total and free bytes (free: what an unprivileged user may still write) of the volume that
// holds path. A path that does not exist yet is measured at its nearest existing folder, so a
// destination that is itself a mount point reports its own volume. 0 or errno.
int platform_free_space(const std::string& path, uint64_t* total, uint64_t* free_bytes);

// One line of mountinfo.
struct platform_mount {
  std::string mount_point;  // with "\040"-style escapes undone
  std::string fs_type;
  std::string source;       // the device, e.g. "/dev/sr0"
  unsigned major = 0, minor = 0;
};

// The mount that holds path (longest mount-point prefix of its absolute, link-free form).
// False when none is found or mountinfo cannot be read.
bool platform_find_mount(const std::string& path, platform_mount& out);

// 1 when the mount is an optical disc: iso9660 or udf, a device whose sysfs
// "device/type" is 5 (ROM), or an sr* device. Network file systems give 0.
int platform_mount_is_optical(const platform_mount& m);

// Ejects the volume that holds path with "eject <device>". 0, the errno of a failed start,
// or EBUSY when the tool reports failure; ENODEV when no mount holds the path. A path in the
// test drive (below) is "ejected" by taking the folder out of the drive.
int platform_eject(const std::string& path);

// Tests point the look-ups at fixture files; empty strings restore /proc/self/mountinfo
// and /sys.
void platform_set_volume_roots(const std::string& mountinfo, const std::string& sysfs);

// --- Finding the install disc
// The root (ending "/") of a mounted disc whose root holds one of the marker names (a file or a
// folder), or "" when there is none. Discs are the optical mounts (platform_mount_is_optical)
// and any mount under /media, /run/media or /mnt. The mount table is read again only when it
// changed (poll() on /proc/self/mountinfo reports that; a fixture file is compared by size and
// time), so a call costs a poll and a stat per disc and may run every frame.
std::string platform_find_disc(const std::vector<std::string>& markers);

// The test setting of the drive, for tests and runs without an optical drive: while it names a
// folder, that folder is the only disc and the mount table is not read. A folder that holds
// "disk_0/", "disk_1/" ... (the release builder's disc masters) is a changer: "disk_0/" is in the
// drive first, and each eject puts the next one in (after the last, the first again). Any
// other folder is the disc itself, and an eject leaves the drive empty until the setting is
// made again (swapping discs is setting the next folder). "" goes back to the mount table.
// The environment variable SKYRILL_DVD_DRIVE gives the setting a program starts with.
void platform_set_test_drive(const std::string& folder);
// The folder of the disc in the test drive ("" when empty or when no test drive is set).
std::string platform_test_drive_disc();
