#include "install/archive_install.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <vector>

#include "files/extract_output.h"
#include "files/file_ops.h"
#include "files/paths.h"
#include "files/seven_zip.h"
#include "files/zip_archive.h"
#include "install/installation_scan.h"
#include "install/wizard_globals.h"
#include "runtime/shell_services.h"

namespace {

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Starts writing the checked file to disk before it replaces an installed one. ext4 writes a
// file out when a rename replaces another with it, so that a crash cannot leave an empty file in
// place of the old one; done inside the rename, that write holds the file system's rename lock,
// and every other worker's move waits for it. Started here, the rename finds nothing left to
// write. Only advice: the rename is as safe whatever this does.
void start_writeback_before_replacing(const std::string& staged, const std::string& destination) {
  struct stat st;
  if (lstat(destination.c_str(), &st) != 0) return;  // nothing replaced, nothing forced out
  int fd = open(staged.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return;
  sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
  close(fd);
}

}  // namespace

std::string staging_folder() { return dest_dir_path + ".installer staging/"; }

int move_into_place(const std::string& staged, const std::string& destination) {
  if (rename(staged.c_str(), destination.c_str()) == 0) return 0;
  if (errno != EXDEV) return errno;
  struct stat st;
  if (lstat(staged.c_str(), &st) != 0) return errno;
  if (S_ISLNK(st.st_mode)) {
    std::string text;
    is_sim_link(staged, &text);
    return replace_with_symlink(destination, text);
  }
  int fd = open(staged.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  replace_writer out;
  int code = out.open(destination);
  std::vector<char> buffer(1 << 20);
  while (code == 0) {
    ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) code = errno;
    if (n <= 0) break;
    code = out.write(buffer.data(), static_cast<size_t>(n));
  }
  close(fd);
  if (code == 0) code = out.commit(st.st_mode & 07777, &st.st_mtime);
  return code;
}

unpack_result install_from_archive(const std::string& archive, const std::string& destination,
                                   const std::string& signature, const std::string& stage,
                                   bool keep_archive_on_failure) {
  unpack_result r;
  std::map<std::string, std::string> written;
  const bool seven = ends_with(archive, ".7z");
  r.code = seven ? p7z_to_file(archive, stage, nullptr, 0) : zip_to_file_signed(archive, stage, &written);
  const std::string staged = stage + leaf_of(destination);
  if (r.code == 0) {
    auto found = written.find(staged);
    std::string have = seven ? path_signature(staged) : found == written.end() ? "NONE" : found->second;
    if (have == "NONE") {
      thread_log() << "WARNING: " << archive << " does not hold " << leaf_of(destination) << "\n";
      r.code = err_wrong_content;
    } else if (!signature.empty() && have != signature) {
      thread_log() << "WARNING: " << destination << " unpacked with MD5 " << have
                   << ", the release lists " << signature << "\n";
      r.code = err_wrong_content;
    }
  }
  if (r.code == 0) {
    start_writeback_before_replacing(staged, destination);
    r.code = move_into_place(staged, destination);
  }
  if (r.code == 0 && destination.find("Contents/MacOS/") != std::string::npos)
    r.chmod_code = make_file_executable(destination);
  if (r.code == 0 || !keep_archive_on_failure) delete_file(archive);
  // What the archive held besides the file (or the file itself after a failure) is removed; an
  // archive of one file leaves the folder empty and nothing more is done.
  for (const auto& entry : written) unlink(entry.first.c_str());
  if (seven || r.code != 0) {
    recursive_delete_folder(stage);
    make_folder(stage);
  }
  return r;
}
