// A camera's look-up table: one output grey value per input grey value. Tables hold 4096
// entries (12-bit input) or, on cameras with a 14-bit input, 16384; outputs are always 12-bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kelpax {

inline constexpr int kLutOutputCount = 4096; // outputs 0 .. 4095
inline constexpr uint16_t kLutMaxOutput = 4095;
// An entry with no data yet: an upload under way or failed. Graphs draw it outside the plot.
inline constexpr uint16_t kLutNoData = 10000;

// The table type a 14-bit camera's page chooses; 12-bit everywhere else.
enum class LutType { Bits12 = 0, Bits14 = 1 };

constexpr int lutInputCount(LutType type) {
  return type == LutType::Bits14 ? 16384 : 4096;
}

class LutTable {
public:
  // The identity table (gamma 1.0).
  explicit LutTable(LutType type = LutType::Bits12) : type_(type) { setIdentity(); }

  LutType type() const { return type_; }
  int size() const { return int(values_.size()); }

  uint16_t operator[](size_t input) const { return values_[input]; }
  uint16_t& operator[](size_t input) { return values_[input]; }
  std::span<const uint16_t> values() const { return values_; }
  std::span<uint16_t> values() { return values_; }

  // Changes the type; the entries become the identity of the new size.
  void setType(LutType type) {
    type_ = type;
    setIdentity();
  }
  void fill(uint16_t value) { values_.assign(size_t(lutInputCount(type_)), value); }
  void setIdentity() {
    // As the gamma table for gamma 1.0: the 14-bit table divides by 16384, not 16383.
    const int count = lutInputCount(type_);
    const int64_t divisor = type_ == LutType::Bits14 ? 16384 : kLutMaxOutput;
    values_.resize(size_t(count));
    for (int input = 0; input < count; ++input)
      values_[size_t(input)] = uint16_t(int64_t(input) * kLutMaxOutput / divisor);
  }

  friend bool operator==(const LutTable&, const LutTable&) = default;

private:
  LutType type_;
  std::vector<uint16_t> values_;
};

} // namespace kelpax
