// An integer in decimal digits, without the C library's formatting machinery (which would
// be most of a small static Windows program).
#pragma once

#include <cstdint>
#include <string>

namespace kestovar {

inline std::u16string DecimalDigits(std::int64_t value) {
  std::u16string digits;
  std::uint64_t rest = value < 0 ? 0u - static_cast<std::uint64_t>(value) : value;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + rest % 10));
    rest /= 10;
  } while (rest != 0);
  if (value < 0) digits.insert(digits.begin(), u'-');
  return digits;
}

}  // namespace kestovar
