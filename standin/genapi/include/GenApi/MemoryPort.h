// A port whose registers are kept in memory: for tests and browsing without a camera. The
// address space is sparse: pages are allocated on their first non-zero write, everything
// else reads as zero, so registers at high addresses cost nothing.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "GenApi/Nodes.h"

namespace GenApi {

// Register addresses of the file-access features (FileSelector ... FileSize) and the values of
// their enum entries, as MemoryPort needs them to play the camera's side of the file protocol.
struct FileAccessLayout {
  uint64_t selectorAddress = 0;          // FileSelector: 4-byte register
  uint64_t operationSelectorAddress = 0; // FileOperationSelector
  uint64_t openModeAddress = 0;          // FileOpenMode
  uint64_t executeAddress = 0;           // FileOperationExecute (cleared when the op is done)
  uint64_t offsetAddress = 0;            // FileAccessOffset
  uint64_t lengthAddress = 0;            // FileAccessLength
  uint64_t statusAddress = 0;            // FileOperationStatus
  uint64_t resultAddress = 0;            // FileOperationResult
  uint64_t sizeAddress = 0;              // FileSize
  uint64_t bufferAddress = 0;            // FileAccessBuffer
  uint64_t bufferLength = 0;
  unsigned registerLength = 4; // bytes of each integer register above
  bool bigEndian = false;
  // Enum entry values of FileOperationSelector, FileOpenMode and FileOperationStatus.
  int64_t opOpen = 0, opClose = 1, opRead = 2, opWrite = 3, opDelete = 4;
  int64_t modeRead = 0, modeWrite = 1, modeReadWrite = 2;
  int64_t statusSuccess = 0, statusFailure = 1;

  // Cameras that give each operation registers of its own (FileOperationExecute,
  // FileAccessOffset, ... at addresses offset by FileOperationSelector, the buffer at a
  // computed address and length): the registers of each operation, keyed by its
  // FileOperationSelector value. Empty when every operation uses the registers above.
  struct OperationRegisters {
    uint64_t execute = 0, offset = 0, length = 0, status = 0, result = 0, size = 0;
    uint64_t buffer = 0, bufferLength = 0;
  };
  std::map<int64_t, OperationRegisters> operations;

  // Reads the layout from a description that has the file-access features. Throws
  // GenICam::RuntimeException when one of them is missing or is not a plain register.
  static FileAccessLayout FromXml(const gcstring& xml);
  // Reads the layout from a loaded node map, letting it compute every address and length
  // (pAddress, pIndex, SwissKnife offsets, pLength), once per FileOperationSelector entry.
  // Throws GenICam::RuntimeException when a feature is missing, holds its value in no
  // register, or the buffer has no length.
  static FileAccessLayout FromNodeMap(INodeMap& map);
};

class MemoryPort : public IPort {
public:
  // A port of `size` bytes of address space.
  explicit MemoryPort(uint64_t size = 0x10000, bool bigEndian = false);
  // Spans the device's whole address space below the event data (registers at computed
  // addresses included); memory is taken only by what is written.
  // Self-clearing is emulated for every Command register and every register named by a
  // node with IsSelfClearing = Yes (cleared after `readsBeforeClear` reads), and the file
  // protocol when the file-access features lie at plain addresses (for computed ones see
  // emulateFileAccess(FileAccessLayout::FromNodeMap(...))).
  static std::unique_ptr<MemoryPort> ForXml(const gcstring& xml, unsigned readsBeforeClear = 0);
  static std::unique_ptr<MemoryPort> ForXmlFile(const gcstring& path,
                                                unsigned readsBeforeClear = 0);
  // Highest Address + Length of all registers of the description (0 when none).
  static uint64_t HighestAddress(const gcstring& xml);

  void Read(void* buffer, int64_t address, int64_t length) override;
  void Write(const void* buffer, int64_t address, int64_t length) override;
  EAccessMode GetAccessMode() const override;

  uint64_t size() const;
  // Memory taken by the written pages.
  uint64_t heldBytes() const;
  static constexpr uint64_t kPageSize = 4096;
  static constexpr uint64_t kMaxHeldBytes = uint64_t{256} << 20;
  static constexpr uint64_t kMaxAccessBytes = uint64_t{64} << 20;
  // Direct access to the registers, bypassing emulation and counters.
  void poke(uint64_t address, const void* data, size_t length);
  void peek(uint64_t address, void* data, size_t length) const;
  void pokeInteger(uint64_t address, unsigned length, int64_t value);
  int64_t peekInteger(uint64_t address, unsigned length) const;

  // A register that the camera clears (to 0) by itself: after a non-zero write it reads back
  // the written value for `readsBeforeClear` reads, then 0. 0 clears it at once.
  void emulateSelfClearing(uint64_t address, unsigned length, unsigned readsBeforeClear);
  // Plays the camera's side of the file protocol on the registers of `layout`: a write of a
  // non-zero value to the execute register performs the selected operation on the file of
  // the FileSelector value and clears the execute register (after `readsBeforeClear` reads).
  void emulateFileAccess(const FileAccessLayout& layout, unsigned readsBeforeClear = 0);
  // Contents of the device file with FileSelector value `selector`.
  std::vector<uint8_t> file(int64_t selector) const;
  void setFile(int64_t selector, std::vector<uint8_t> contents);

  // One file operation the camera performed, in the order performed: FileSelector and
  // FileOperationSelector values, FileAccessOffset and FileAccessLength as the camera saw them,
  // and the FileOperationResult and status it answered.
  struct FileOperationRecord {
    int64_t selector = 0;
    int64_t operation = 0;
    int64_t offset = 0;
    int64_t length = 0;
    int64_t result = 0;
    bool succeeded = false;
  };
  std::vector<FileOperationRecord> fileOperations() const;
  bool emulatesFileAccess() const;
  // A camera that delivers less than asked: the Read operation after `readsToSkip` further
  // Read operations returns at most `maxBytes` bytes (and says so in its result), even in the
  // middle of a file. Applies once.
  void capFileRead(uint64_t maxBytes, unsigned readsToSkip = 0);

  // A port that fails: every Read/Write throws GenICam::AccessException.
  void setFailing(bool failing);
  void setAccessMode(EAccessMode mode);
  uint64_t readCount() const;
  uint64_t writeCount() const;

private:
  struct SelfClearing {
    unsigned length;
    unsigned readsBeforeClear;
    unsigned readsLeft = 0;
    bool armed = false;
  };
  void checkRange(int64_t address, int64_t length) const;
  void copyOut(uint64_t address, void* data, size_t length) const;
  void copyIn(uint64_t address, const void* data, size_t length);
  void zero(uint64_t address, size_t length);
  // The registers every operation uses when the layout has no per-operation ones.
  FileAccessLayout::OperationRegisters sharedRegisters() const;
  void runFileOperation(int64_t op, const FileAccessLayout::OperationRegisters& r);
  void updateFileSize(int64_t selector);
  int64_t getReg(uint64_t address) const;
  void setReg(uint64_t address, int64_t value);

  mutable std::mutex mutex_;
  uint64_t extent_;
  std::unordered_map<uint64_t, std::unique_ptr<uint8_t[]>> pages_; // page number -> bytes
  bool bigEndian_;
  std::map<uint64_t, SelfClearing> selfClearing_;
  std::optional<FileAccessLayout> fileLayout_;
  std::map<int64_t, std::vector<uint8_t>> files_;
  std::map<int64_t, int64_t> openFiles_; // selector value -> open mode
  std::vector<FileOperationRecord> fileOperations_;
  std::optional<uint64_t> readCap_; // at most this many bytes for one Read operation
  unsigned readsBeforeCap_ = 0;
  bool failing_ = false;
  EAccessMode accessMode_ = RW;
  uint64_t reads_ = 0;
  uint64_t writes_ = 0;
};

} // namespace GenApi
