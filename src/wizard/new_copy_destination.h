// The folder a new copy goes into: a name the user types for it inside a parent folder, judged
// by one rule on every page that makes a new copy (the demo's and the disc install's).
#pragma once

#include <string>

enum class new_copy_verdict {
  no_name,   // nothing typed but blanks
  unusable,  // not one folder name: ".", "..", a "/" or "\", a control character
  taken,     // something (a folder, a file, a link) already has that name in the parent
  usable,
};

struct new_copy_destination {
  new_copy_verdict verdict = new_copy_verdict::no_name;
  std::string name;    // what was typed, without the blanks at either end
  std::string folder;  // parent + name + "/"; the parent alone while the name is missing or unusable
};

// parent ends in "/". Blanks typed around the name are dropped: they would not show in the
// texts that name the folder.
new_copy_destination judge_new_copy_name(const std::string& parent, const std::string& typed);

// The page's text for the destination, translated: what is wrong with the name, or which
// folder will be made (and that it shows on the desktop when the parent is desktop).
std::string new_copy_destination_text(const new_copy_destination& d, const std::string& parent,
                                      const std::string& desktop);
