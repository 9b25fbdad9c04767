// A hostile camera's registers under real descriptions: whatever bytes the camera answers with,
// every readable feature reads (value, limits, increment, entries, length) and every writable
// one takes its own value back, or the layer throws one of its own exceptions.
//
// Input: the description to use, then the bytes the camera answers reads with, one after the
// other and from the start again when they run out. KELPAX_FUZZ_DESCRIPTIONS (paths separated
// by ":") puts other descriptions, such as real cameras' kept outside the tree, in place of the
// three built in.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "GenApi/GenApi.h"
#include "GenICam/GCException.h"
#include "tests/fuzz/fuzz_check.h"

using namespace GenApi;

namespace {

// The largest register the walk reads; longer ones are left unread.
constexpr int64_t kLongestRead = 4096;

class AnsweringPort : public IPort {
public:
  void answerWith(std::string_view bytes) {
    answers_ = bytes;
    at_ = 0;
  }
  void Read(void* buffer, int64_t, int64_t length) override {
    FUZZ_CHECK(length >= 0);
    auto* out = static_cast<uint8_t*>(buffer);
    for (int64_t i = 0; i < length; ++i) {
      out[i] = answers_.empty() ? 0 : uint8_t(answers_[at_]);
      if (!answers_.empty())
        at_ = (at_ + 1) % answers_.size();
    }
  }
  void Write(const void*, int64_t, int64_t length) override { FUZZ_CHECK(length >= 0); }
  EAccessMode GetAccessMode() const override { return RW; }

private:
  std::string_view answers_;
  size_t at_ = 0;
};

struct Camera {
  explicit Camera(const char* path) {
    map._LoadXMLFromFile(path);
    FUZZ_CHECK(map._Connect(&port));
    map._GetNodes(nodes);
  }
  CNodeMapRef map;
  AnsweringPort port;
  NodeList_t nodes;
};

void readEverything(INode* node) {
  auto* value = dynamic_cast<IValue*>(node);
  if (value == nullptr || !IsReadable(node->GetAccessMode()))
    return;
  if (auto* integer = dynamic_cast<IInteger*>(node)) {
    integer->GetMin();
    integer->GetMax();
    integer->GetInc();
  } else if (auto* real = dynamic_cast<IFloat*>(node)) {
    real->GetMin();
    real->GetMax();
    if (real->HasInc())
      real->GetInc();
  } else if (auto* enumeration = dynamic_cast<IEnumeration*>(node)) {
    NodeList_t entries;
    enumeration->GetEntries(entries);
    StringList_t symbolics;
    enumeration->GetSymbolics(symbolics);
    enumeration->GetCurrentEntry();
  } else if (auto* reg = dynamic_cast<IRegister*>(node)) {
    const int64_t length = reg->GetLength();
    FUZZ_CHECK(length >= 0);
    if (length <= kLongestRead) {
      std::vector<uint8_t> bytes(static_cast<size_t>(length));
      reg->Get(bytes.data(), length);
    }
  } else if (auto* command = dynamic_cast<ICommand*>(node)) {
    command->IsDone();
    return;
  }
  const gcstring text = value->ToString();
  if (IsWritable(node->GetAccessMode()))
    value->FromString(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  static std::vector<std::unique_ptr<Camera>> cameras = [] {
    std::vector<std::string> paths = {REAL_CONSTRUCTS_XML, TEST_CAMERA_XML, GENCP_CAMERA_XML};
    if (const char* chosen = std::getenv("KELPAX_FUZZ_DESCRIPTIONS"); chosen && *chosen) {
      paths.clear();
      std::string_view rest = chosen;
      while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        if (colon != 0)
          paths.emplace_back(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
      }
    }
    std::vector<std::unique_ptr<Camera>> loaded;
    for (const std::string& path : paths)
      loaded.push_back(std::make_unique<Camera>(path.c_str()));
    FUZZ_CHECK(!loaded.empty());
    return loaded;
  }();
  if (size < 1)
    return 0;
  Camera& camera = *cameras[data[0] % cameras.size()];
  camera.port.answerWith(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  camera.map._InvalidateNodes();
  for (INode* node : camera.nodes) {
    try {
      readEverything(node);
    } catch (const GenICam::GenericException&) {
    }
  }
  return 0;
}
