#include "files/seven_zip.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "files/extract_output.h"
#include "files/paths.h"

namespace {

enum { kZipOpenErr = 20001, kZipReadErr = 20002, kZipWriteErr = 20004 };

struct archive_closer {
  archive* a;
  FILE* f;
  ~archive_closer() {
    if (a) archive_read_free(a);
    if (f) std::fclose(f);
  }
};

int write_item(archive* a, const std::string& target, std::vector<char>& buf) {
  replace_writer out;
  if (int err = out.open(target)) return err;  // a missing subfolder gives 2, as always
  for (;;) {
    la_ssize_t got = archive_read_data(a, buf.data(), buf.size());
    if (got < 0) return kZipReadErr;  // the decoder's own codes would read as errno texts
    if (got == 0) break;
    if (out.write(buf.data(), static_cast<size_t>(got)) != 0) return kZipWriteErr;
  }
  return out.commit(default_file_mode(), nullptr) != 0 ? kZipWriteErr : 0;
}

}  // namespace

int p7z_to_file(const std::string& archive_path, const std::string& folder, std::string* name,
                int rename) {
  std::string path = archive_path, out = folder;
  set_path_to_full(path);
  set_path_to_full(out);
  const std::string rename_to = rename && name ? *name : std::string();
  // Opened here, not by libarchive, so that a missing archive reports its errno.
  FILE* f = std::fopen(path.c_str(), "rbe");
  if (!f) return errno;
  archive_closer guard{archive_read_new(), f};
  if (!guard.a) return ENOMEM;
  archive_read_support_format_7zip(guard.a);
  if (archive_read_open_FILE(guard.a, f) != ARCHIVE_OK) return kZipOpenErr;
  std::vector<char> buf(1 << 20);
  for (;;) {
    archive_entry* e = nullptr;
    int rc = archive_read_next_header(guard.a, &e);
    if (rc == ARCHIVE_EOF) return 0;
    if (rc != ARCHIVE_OK && rc != ARCHIVE_WARN) return kZipReadErr;
    if (archive_entry_filetype(e) == AE_IFDIR) continue;
    const char* item = archive_entry_pathname_utf8(e);
    if (!item) item = archive_entry_pathname(e);
    std::string relative = item ? item : "";
    if (!archive_name_is_safe(relative)) return kZipReadErr;
    std::string target = out + (rename_to.empty() ? relative : rename_to);
    if (int err = write_item(guard.a, target, buf)) return err;
    if (name) *name = target;
  }
}
