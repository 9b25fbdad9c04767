// DeviceModelList.ini: any file read into its two sections; written back and read again it
// holds the same models; a model added and deleted again leaves the same sections.
#include <string>
#include <string_view>

#include <sys/stat.h>

#include "camera/file_io.h"
#include "link/model_list.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/scratch_folder.h"

using namespace kelpax;

namespace {

bool same(const DeviceModelList::Sections& a, const DeviceModelList::Sections& b) {
  return a.compatible == b.compatible && a.newOnly == b.newOnly;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  DeviceModelList list(fuzz::scratchFolder() + "/" + kDeviceModelListName);
  // The list is left read-only by each rewrite.
  if (!writeFileAtomically(list.path(), text, 0644))
    std::abort();

  DeviceModelList::Sections first;
  if (!list.read(first)) {
    FUZZ_CHECK(size > DeviceModelList::kMaxFileSize);
    return 0;
  }
  for (const std::string& model : first.compatible)
    FUZZ_CHECK(list.contains(model));
  for (const std::string& model : first.newOnly)
    FUZZ_CHECK(list.contains(model));

  // Deleting a name no line can hold rewrites the file with nothing removed.
  FUZZ_CHECK(list.DeleteModelFromList("\n") == DeviceModelList::Result::Unchanged);
  DeviceModelList::Sections second;
  FUZZ_CHECK(list.read(second));
  FUZZ_CHECK(same(first, second));
  const std::string written = [&] {
    std::string bytes;
    readFileBounded(list.path(), DeviceModelList::kMaxFileSize * 2, bytes);
    return bytes;
  }();
  FUZZ_CHECK(list.DeleteModelFromList("\n") == DeviceModelList::Result::Unchanged);
  std::string again;
  readFileBounded(list.path(), DeviceModelList::kMaxFileSize * 2, again);
  FUZZ_CHECK(again == written);

  const std::string model = "Kfuzz-" + std::to_string(size);
  const bool listed = list.contains(model);
  const DeviceModelList::Result added = list.AddModelToList(model);
  FUZZ_CHECK(added ==
             (listed ? DeviceModelList::Result::Unchanged : DeviceModelList::Result::Done));
  FUZZ_CHECK(list.contains(model));
  if (!listed) {
    FUZZ_CHECK(list.DeleteModelFromList(model) == DeviceModelList::Result::Done);
    DeviceModelList::Sections third;
    FUZZ_CHECK(list.read(third));
    FUZZ_CHECK(same(first, third));
  }
  return 0;
}
