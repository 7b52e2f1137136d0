#include "wizard/new_copy_destination.h"

#include <sys/stat.h>

#include "install/disc_drive.h"
#include "runtime/shell_services.h"
#include "wizard/page_calls.h"

new_copy_destination judge_new_copy_name(const std::string& parent, const std::string& typed) {
  new_copy_destination d;
  d.folder = parent;
  const char* blanks = " \t";
  const size_t from = typed.find_first_not_of(blanks);
  if (from == std::string::npos) return d;
  d.name = typed.substr(from, typed.find_last_not_of(blanks) + 1 - from);
  if (!is_safe_release_name(d.name)) {
    d.verdict = new_copy_verdict::unusable;
    return d;
  }
  d.folder = parent + d.name + "/";
  struct stat st;
  d.verdict = lstat((parent + d.name).c_str(), &st) == 0 ? new_copy_verdict::taken : new_copy_verdict::usable;
  return d;
}

std::string new_copy_destination_text(const new_copy_destination& d, const std::string& parent,
                                      const std::string& desktop) {
  switch (d.verdict) {
    case new_copy_verdict::no_name:
      return UTL_translate_string("Please pick a name for your Skyrill 9 installation...");
    case new_copy_verdict::unusable:
      return page_sub(UTL_translate_string("'%1:install name%' cannot be the name of a folder.  Please pick "
                                           "another name for your Skyrill 9 installation."),
                      {d.name});
    case new_copy_verdict::taken:
      return page_sub(UTL_translate_string("The folder '%1:install name%' already exists inside the folder "
                                           "'%2:parent folder%'.\n\nPlease change the install name or destination."),
                      {d.name, parent});
    case new_copy_verdict::usable: break;
  }
  std::string text = page_sub(
      UTL_translate_string("I will create the folder '%1:install name%' inside the folder '%2:parent folder%'."),
      {d.name, parent});
  if (parent == desktop)
    text += page_sub(UTL_translate_string("\n\n(The folder %1:install name% will appear on your desktop.)"), {d.name});
  return text;
}
