// Signed 16-bit arithmetic that fails instead of wrapping, for the engine's counters.
#pragma once

#include <cstdint>
#include <limits>

#include "engine/resumption.h"

namespace kestovar {

inline std::int16_t Checked16(std::int32_t wide) {
  if (wide < std::numeric_limits<std::int16_t>::min() ||
      wide > std::numeric_limits<std::int16_t>::max()) {
    throw Failure{error::kOverflow};
  }
  return static_cast<std::int16_t>(wide);
}

inline std::int16_t Add16(std::int16_t a, std::int16_t b) { return Checked16(std::int32_t{a} + b); }
inline std::int16_t Mul16(std::int16_t a, std::int16_t b) { return Checked16(std::int32_t{a} * b); }

}  // namespace kestovar
