#include "files/seven_zip.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "files/error_codes.h"
#include "files/extract_output.h"
#include "files/paths.h"

namespace {


struct archive_closer {
  archive* a;
  int fd;
  ~archive_closer() {
    if (a) archive_read_free(a);
    if (fd >= 0) close(fd);
  }
};

// libarchive converts the archive's UTF-16 names to the locale's character set, and the
// program keeps the "C" locale, where every non-ASCII name would fail. This thread alone is
// switched to UTF-8 for the call.
struct utf8_names {
  locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  locale_t old = utf8 ? uselocale(utf8) : static_cast<locale_t>(nullptr);
  ~utf8_names() {
    if (utf8) {
      uselocale(old);
      freelocale(utf8);
    }
  }
};

int write_item(archive* a, const std::string& target, std::vector<char>& buf) {
  replace_writer out;
  if (int err = out.open(target)) return err;  // a missing subfolder gives 2, as always
  for (;;) {
    la_ssize_t got = archive_read_data(a, buf.data(), buf.size());
    if (got < 0) return err_zip_read;  // the decoder's own codes would read as errno texts
    if (got == 0) break;
    if (out.write(buf.data(), static_cast<size_t>(got)) != 0) return err_zip_write;
  }
  return out.commit(default_file_mode(), nullptr) != 0 ? err_zip_write : 0;
}

}  // namespace

int p7z_to_file(const std::string& archive_path, const std::string& folder, std::string* name,
                int rename) {
  utf8_names in_utf8;
  std::string path = archive_path, out = folder;
  set_path_to_full(path);
  set_path_to_full(out);
  const std::string rename_to = rename && name ? *name : std::string();
  // Opened here so that a missing archive reports its errno; the 7z reader seeks (the header
  // sits at the end), which libarchive offers on a descriptor.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  archive_closer guard{archive_read_new(), fd};
  if (!guard.a) return ENOMEM;
  archive_read_support_format_7zip(guard.a);
  if (archive_read_open_fd(guard.a, fd, 1 << 16) != ARCHIVE_OK) return err_zip_open;
  std::vector<char> buf(1 << 16);  // small enough to stay in cache between decode and write
  for (;;) {
    archive_entry* e = nullptr;
    int rc = archive_read_next_header(guard.a, &e);
    if (rc == ARCHIVE_EOF) return 0;
    if (rc != ARCHIVE_OK && rc != ARCHIVE_WARN) return err_zip_read;
    if (archive_entry_filetype(e) == AE_IFDIR) continue;
    const char* item = archive_entry_pathname_utf8(e);
    std::string relative = item ? item : "";
    if (!archive_name_is_safe(relative)) return err_zip_read;
    std::string target = out + (rename_to.empty() ? relative : rename_to);
    if (int err = write_item(guard.a, target, buf)) return err;
    if (name) *name = target;
  }
}
