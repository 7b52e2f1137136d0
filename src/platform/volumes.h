// Volumes and discs. Replaces the File Manager's volume information (free space), the volume
// parameters plus the IOKit media test (is this a CD or DVD?) and the volume eject. Linux
// answers from statvfs, /proc/self/mountinfo and sysfs; the eject runs the `eject` tool with
// the volume's device. Not done on Linux: anything keyed by a volume reference number (callers
// pass a path on the volume instead), and network volumes are never taken for discs.
#pragma once

#include <cstdint>
#include <string>

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
// or EBUSY when the tool reports failure; ENODEV when no mount holds the path.
int platform_eject(const std::string& path);

// Tests point the look-ups at fixture files; empty strings restore /proc/self/mountinfo
// and /sys.
void platform_set_volume_roots(const std::string& mountinfo, const std::string& sysfs);
