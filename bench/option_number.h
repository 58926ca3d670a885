// The numeric options of zembrix-bench, read alike by the Linux and the
// Windows build, so that the same command line renders the same Region on
// both and their dumps compare byte for byte. Their strtod are different
// implementations: glibc's on Linux, MinGW-w64's own on Windows (linked in
// place of msvcrt's, which reads no "inf", "nan" or hexadecimal text). The
// digits are converted by std::from_chars, which libstdc++ implements without
// the C runtime (correctly rounded, the same code in both builds).
#pragma once

#include <string_view>

// A double, in the forms glibc's strtod reads, the whole text: white space,
// then an optional sign and one of
//   decimal digits with an optional point (at least one digit) and an
//     optional exponent ('e' or 'E', an optional sign, digits);
//   "0x" or "0X", hexadecimal digits with an optional point (at least one
//     digit) and an optional binary exponent ('p' or 'P', an optional sign,
//     decimal digits);
//   "inf" or "infinity", "nan" or "nan(" letters, digits and '_' ")", in any
//     case.
// Correctly rounded, ties to even; beyond the largest double +-infinity, below
// the smallest +-0. A NaN is the default quiet NaN with the sign given: no
// payload is read from "nan(...)" (glibc's would not change a count or a
// printed Region either). False, and out unchanged, for anything else.
bool ParseDoubleOption(std::string_view text, double& out);

// A decimal integer as strtoll reads it, the whole text: white space, an
// optional sign, at least one digit, within low..high. False, and out
// unchanged, for anything else, a value beyond long long included.
bool ParseIntegerOption(std::string_view text, long long low, long long high, long long& out);
