// Multiple regions of interest: the region table of the cameras that read out several
// rectangles of the sensor in one frame, the command set of each camera kind, and the
// setting-file handlers that carry the regions.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "camera/answer.h"
#include "camera/tables/model_descriptor.h"
#include "pages/page_host.h"
#include "session/setting_file.h"

namespace kelpax {

inline constexpr int kMaxRegions = 32;
inline constexpr uint32_t kRegionTimeoutMs = 3000;
// What the dialog says when the camera refuses to switch a region on or off; the camera's
// answer goes in front.
inline constexpr std::string_view kCheckRoiDomain = ", Check ROI domain";
inline constexpr std::string_view kRegionStatusOn = "On";

enum class RoiColumn { OffsetX = 0, OffsetY, Width, Height, Status };
inline constexpr std::array<std::string_view, 5> kRoiColumnTitles = {"Offset X", "Offset Y",
                                                                     "Width", "Height", "Status"};

struct RoiRegion {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool on = false;
  bool operator==(const RoiRegion&) const = default;
};

// Up to kMaxRegions rows; row 0 is the camera's first region.
class RoiTable {
public:
  // False, and nothing changes, when the table already holds kMaxRegions rows.
  bool addRow(const RoiRegion& region);
  void clear() { rows_.clear(); }
  int size() const { return static_cast<int>(rows_.size()); }
  bool empty() const { return rows_.empty(); }
  const RoiRegion& row(int index) const { return rows_.at(static_cast<size_t>(index)); }
  RoiRegion& row(int index) { return rows_.at(static_cast<size_t>(index)); }
  // The text a cell shows: the number, or "On" / blank in the status column.
  std::string cellText(int row, RoiColumn column) const;

private:
  std::vector<RoiRegion> rows_;
};

// The camera kinds, by the commands their regions answer to.
enum class MultiRoiVariant { Ko25MC, Ko4MC2, Ko50MC };
// Nothing for the models without multi-region read-out.
std::optional<MultiRoiVariant> multiRoiVariantFor(const ModelDescriptor& model);

// The words after the echoed "groi" in its answer (prompt removed, line ends as blanks), taken in
// turn as offset X, offset Y, width and height up to an empty word or "OK". Nothing when any of
// the four is missing or not a whole number.
std::optional<std::array<int, 4>> parseRegionAnswer(std::string_view answer);

// The commands of the Ko 12M / 25M cameras: "sox", "soy", "siw" (one width for every region),
// "sih", "src 1" / "src 0", read back with "groi" and "gox", "goy", "giw", "gih". The other
// kinds override what differs.
class CKo25MCSetMultiROI {
public:
  explicit CKo25MCSetMultiROI(PageHost& host) : host_(host) {}
  virtual ~CKo25MCSetMultiROI() = default;

  Answer setSelector(int region);
  virtual Answer setEnable(bool on);
  Answer setWidth(int width) { return send(commandFor(RoiColumn::Width), width); }
  Answer setHeight(int height) { return send(commandFor(RoiColumn::Height), height); }
  Answer setOffsetX(int x) { return send(commandFor(RoiColumn::OffsetX), x); }
  Answer setOffsetY(int y) { return send(commandFor(RoiColumn::OffsetY), y); }
  // The set command of a column ("sox"); the status column's is "src".
  virtual std::string_view commandFor(RoiColumn column) const;
  // The selected region's four values as a whole; nothing when the camera refuses or answers
  // something else.
  virtual std::optional<std::array<int, 4>> readRegion();
  // The four values asked one by one, as after an edit; nothing at the first "Error".
  std::optional<std::array<int, 4>> readBack();
  // "grc": the selected region's enable state.
  std::optional<bool> readEnable();
  // "grs": the camera's selector.
  std::optional<int> readSelector();
  // How many regions the camera has: "gra" where the camera tells, else the model's number.
  virtual std::optional<int> regionCount();
  // Whether a width applies to every region at once.
  virtual bool sharedWidth() const { return true; }

  PageHost& host() { return host_; }

protected:
  Answer send(std::string_view command, int value);
  Answer ask(std::string_view command);
  std::optional<int> askNumber(std::string_view command);

private:
  PageHost& host_;
};

// The Ko 4M C2 (and Kw 4M) cameras: "srx", "sry", "srw", "srh", "src %d"; each region has its
// own width, the camera tells its number of regions with "gra", and read-back is one query per
// value.
class CKo4MC2SetMultiROI : public CKo25MCSetMultiROI {
public:
  using CKo25MCSetMultiROI::CKo25MCSetMultiROI;
  Answer setEnable(bool on) override;
  std::string_view commandFor(RoiColumn column) const override;
  std::optional<std::array<int, 4>> readRegion() override;
  std::optional<int> regionCount() override;
  bool sharedWidth() const override { return false; }
};

// The Ko 50M cameras: the commands of the Ko 4M C2.
class CKo50MCSetMultiROI : public CKo4MC2SetMultiROI {
public:
  using CKo4MC2SetMultiROI::CKo4MC2SetMultiROI;
};

std::unique_ptr<CKo25MCSetMultiROI> makeMultiRoiCommands(MultiRoiVariant variant, PageHost& host);

// How one operation on the regions went. `message` is empty on success, otherwise what the
// operator is told; `refused` holds the camera's answer when the camera said no.
struct RoiOutcome {
  bool ok = false;
  std::string message;
  std::string refused;
  // Nothing reached the camera (a value checked and refused here).
  bool nothingSent = false;
};

// How a reset went: the commands the camera accepted, in order, and where it stopped.
struct RoiResetOutcome {
  bool complete = false;
  std::vector<std::string> accepted;
  std::string failedCommand;
  std::string message;
};

// The region table of the connected camera and the operations on it. Every command goes
// through the host; the table follows what the camera accepted.
class MultiRoi {
public:
  MultiRoi(PageHost& host, MultiRoiVariant variant);

  MultiRoiVariant variant() const { return variant_; }
  const RoiTable& table() const { return table_; }
  // The table was filled from the camera at least once.
  bool read() const { return read_; }
  int sensorWidth() const { return host_.modelDescriptor().sensorWidth; }
  int sensorHeight() const { return host_.modelDescriptor().sensorHeight; }

  // Reads every region from the camera and puts the camera's selector back as it was.
  RoiOutcome readAll();
  // One cell edited in place: checked against the sensor, sent to the row's region and the
  // row (every row, for a shared width) read back from the camera.
  RoiOutcome setCell(int row, RoiColumn column, int value);
  // A whole region, sent in an order the camera accepts at every step.
  RoiOutcome setRegion(int row, int x, int y, int width, int height);
  // "src 1" / "src 0" for the row's region.
  RoiOutcome setEnabled(int row, bool on);
  // Back to one full-frame region: every other region switched off, then the first set to the
  // whole sensor and switched on. Stops at the first refusal and reads the table back.
  RoiResetOutcome reset();

  // The region lines of a setting file ("srs %d", then width, height, offsets and enable),
  // without line ends.
  std::vector<std::string> fileLines() const;
  // The set commands those lines use ("srs", "src", "sox", ...).
  std::vector<std::string> regionCommandWords() const;

  // Why a region cannot be sent as given; empty when it fits the sensor.
  std::string outsideSensor(int row, const RoiRegion& region) const;

private:
  RoiOutcome refusedBy(const Answer& answer, std::string_view what) const;
  bool rowInTable(int row, RoiOutcome& outcome) const;
  RoiOutcome refreshRow(int row);

  PageHost& host_;
  MultiRoiVariant variant_;
  std::unique_ptr<CKo25MCSetMultiROI> commands_;
  RoiTable table_;
  bool read_ = false;
};

// The setting-file handler of the multi-region cameras: the generic file's lines (every entry
// not flagged noFileSave), then the region lines. Its connect step reads the regions again
// when they had been read before.
class MultiRoiControlFile : public CControlFile {
public:
  MultiRoiControlFile(PageHost& host, MultiRoiVariant variant) : regions_(host, variant) {}
  SettingSaveResult save(std::string_view chosen, const ParameterCache& cache,
                         const ModelDescriptor& model) override;
  void connect(ConnectedCamera& camera) override;
  MultiRoi& regions() { return regions_; }

private:
  MultiRoi regions_;
};

class CKo25MC2ControlFile : public MultiRoiControlFile {
public:
  explicit CKo25MC2ControlFile(PageHost& host)
      : MultiRoiControlFile(host, MultiRoiVariant::Ko25MC) {}
};
class CKo4MC2ControlFile : public MultiRoiControlFile {
public:
  explicit CKo4MC2ControlFile(PageHost& host)
      : MultiRoiControlFile(host, MultiRoiVariant::Ko4MC2) {}
};
class CKo50MC2ControlFile : public MultiRoiControlFile {
public:
  explicit CKo50MC2ControlFile(PageHost& host)
      : MultiRoiControlFile(host, MultiRoiVariant::Ko50MC) {}
};

// The handler of a multi-region model, nothing for the others.
std::unique_ptr<MultiRoiControlFile> multiRoiControlFileFor(PageHost& host,
                                                            const ModelDescriptor& model);

} // namespace kelpax
