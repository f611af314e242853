// The folder-list splitting rule on any text a catalogue can carry.
#include "catalogue/folder_list.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view list(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> names = qv::catalogue::splitFolderList(list);
  // Every name is taken from the text (a doubled quote gives one), and each needs at least one
  // character of it, except a trailing empty name after a final comma.
  size_t total = 0;
  for (const std::string& name : names) total += name.size();
  qv::fuzz::require(total <= size, "names longer than the list");
  qv::fuzz::require(names.size() <= size + 1, "more names than the list has characters");
  return 0;
}
