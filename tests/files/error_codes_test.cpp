#include "files/error_codes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <set>

namespace {

TEST(ErrorCodes, TableIsWellFormed) {
  int rows = 0;
  std::set<int> codes;
  for (const err_msg_row* r = kErrMsgs; r->text; ++r) {
    ++rows;
    EXPECT_TRUE(codes.insert(r->code).second) << "code " << r->code << " twice";
    EXPECT_NE(r->code, 0);
    EXPECT_STRNE(r->text, "");
  }
  EXPECT_EQ(rows, 79);
  EXPECT_EQ(kErrMsgs[rows].text, nullptr);

  const int posix[] = {EPERM,  ENOENT, ESRCH,  EINTR,  EIO,    ENXIO,   E2BIG,        ENOEXEC,
                       EBADF,  ECHILD, EDEADLK, ENOMEM, EACCES, EFAULT, EBUSY,       EEXIST,
                       EXDEV,  ENODEV, ENOTDIR, EISDIR, EINVAL, ENFILE, EMFILE,      ENOTTY,
                       EFBIG,  ENOSPC, ESPIPE, EROFS,  EMLINK, EPIPE,   EDOM,         ERANGE,
                       EAGAIN, ENAMETOOLONG, ENOTEMPTY, ENOLCK, ENOSYS, EILSEQ};
  EXPECT_EQ(sizeof posix / sizeof posix[0], 38u);
  for (int code : posix) {
    EXPECT_TRUE(codes.count(code)) << code;
    EXPECT_EQ(error_str(code).find("Error code"), std::string::npos) << code;
  }
}

TEST(ErrorCodes, OwnCodesKeepTheirExactTexts) {
  const char* texts[] = {
      "We were unable to open a zip file. It may be missing or damaged",
      "We were unable to read from a zip file. It may be missing or damaged",
      "We were unable to create a zip file",
      "We were unable to write to a zip file. It may be missing or damaged",
      "We cannot compress a zip file because its source file resource fork is more than 2 GB. "
      "The source file is probably damaged",
      "We could not open a file to read from it",
      "We were unable to connct to the network due to an internal reconnect error",
      "We wre unable to connect to the network due to a bad state error",
      "We could not allocate a connection to the network",
      "We could not write the incoming file from the web to disk",
      "We could not find the server over the network",
      "Part of the downloaded zip file is corrupted (the resource fork header is bad)",
  };
  for (int i = 0; i < 12; ++i) EXPECT_EQ(error_str(20001 + i), texts[i]) << 20001 + i;
}

TEST(ErrorCodes, PosixCodesByNameAndMacCodes) {
  struct row {
    int code;
    const char* text;
  } rows[] = {
      {0, ""},
      {EPERM, "Operation not permitted. Perhaps you do not have access to a directory or file system"},
      {ENOENT, "No such file or directory"},
      {ENXIO, "Device not configured"},
      {EDEADLK, "Resource deadlock avoided"},  // 35 on Linux: never the EAGAIN text
      {EAGAIN, "Resource temporarily unavailable"},  // 11 on Linux
      {ENOMEM, "Out of memory"},
      {EACCES, "Permission denied. Perhaps you do not have access to a directory or file system"},
      {EBUSY, "Device busy"},
      {EXDEV, "Cross-device link"},
      {ENODEV, "Operation not supported by device"},
      {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
      {EROFS, "The destination file system is read-only"},
      {ERANGE, "Result too large"},
      {ENAMETOOLONG, "File name too long"},
      {ENOTEMPTY, "Directory not empty"},
      {ENOLCK, "No locks available"},
      {ENOSYS, "Function not implemented"},
      {EILSEQ, "Wide character encoding error"},
      {-48, "duplicate file name"},
      {-43, "File not found"},
      {-5000, "You have insufficient privileges for this operation"},
      {20013, "Error code 20013"},
      {20014, "Error code 20014"},
      {-1, "Error code -1"},
      {-55, "Error code -55"},
      {ENOTSOCK, "Error code 88"},
      {INT_MIN, "Error code -2147483648"},
  };
  for (const row& r : rows) EXPECT_EQ(error_str(r.code), r.text) << r.code;
  EXPECT_EQ(EDEADLK, 35);
  EXPECT_EQ(EAGAIN, 11);
}

TEST(ErrorCodes, WhichResultsAreReported) {
  const int codes[] = {0, EEXIST, -48, EACCES, ENOENT, ENOSPC, 20001};
  const int make_dir[] = {0, 0, 0, 1, 1, 1, 1};
  for (size_t i = 0; i < sizeof codes / sizeof codes[0]; ++i) {
    EXPECT_EQ(show_make_dir_err(codes[i]), make_dir[i]) << codes[i];
    EXPECT_EQ(show_del_err(codes[i]), 0) << codes[i];
  }
}

}  // namespace
