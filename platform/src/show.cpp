#include "hs/show.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "hs/error.hpp"

namespace hs {

// ---------------------------------------------------------------------------------------------
// UTF-8

std::size_t detail::decodeUtf8At(std::string_view s, std::size_t i, char32_t& c) noexcept {
  const auto b0 = static_cast<unsigned char>(s[i]);
  const std::size_t left = s.size() - i;
  auto cont = [&](std::size_t k, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
    if (k >= left) return false;
    const auto b = static_cast<unsigned char>(s[i + k]);
    return b >= lo && b <= hi;
  };
  auto at = [&](std::size_t k) {
    return static_cast<char32_t>(static_cast<unsigned char>(s[i + k]) & 0x3F);
  };
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
    c = (static_cast<char32_t>(b0 & 0x1F) << 6) | at(1);
    return 2;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    // No overlong forms (E0 needs A0..BF). ED A0..BF is a surrogate, a String's character like
    // any other, except ED B2 and ED B3: U+DC80..U+DCFF stand for single bytes and are written as
    // those, so their three-byte layouts start no character.
    const unsigned char lo = b0 == 0xE0 ? 0xA0 : 0x80;
    const bool byteStandIn = b0 == 0xED && cont(1, 0xB2, 0xB3);
    if (cont(1, lo) && cont(2) && !byteStandIn) {
      c = (static_cast<char32_t>(b0 & 0x0F) << 12) | (at(1) << 6) | at(2);
      return 3;
    }
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    const unsigned char lo = b0 == 0xF0 ? 0x90 : 0x80;
    const unsigned char hi = b0 == 0xF4 ? 0x8F : 0xBF;
    if (cont(1, lo, hi) && cont(2) && cont(3)) {
      c = (static_cast<char32_t>(b0 & 0x07) << 18) | (at(1) << 12) | (at(2) << 6) | at(3);
      return 4;
    }
  }
  c = 0xDC00 + b0;  // a byte outside any well-formed sequence
  return 1;
}

std::u32string decodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    char32_t c;
    i += detail::decodeUtf8At(s, i, c);
    out.push_back(c);
  }
  return out;
}

void appendUtf8(char32_t c, std::string& out) {
  if (c >= 0xDC80 && c <= 0xDCFF) {
    out.push_back(static_cast<char>(c - 0xDC00));
    return;
  }
  if (c > 0x10FFFF) c = 0xFFFD;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool detail::appendStringChar(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
    return true;
  }
  if (c > 0x10FFFF) return false;
  appendUtf8(c, out);
  if (c < 0xDC80 || c > 0xDCBF) return true;  // only a continuation byte completes a character
  // The byte joins the bytes before it when a character that starts among the three before it
  // now ends with it. A character written whole ends before it, so the bytes that join are bytes
  // too.
  const std::size_t n = out.size();
  for (std::size_t len = 2; len <= 4 && len <= n; ++len) {
    char32_t joined;
    if (detail::decodeUtf8At(out, n - len, joined) == len) {
      out.pop_back();
      return false;
    }
  }
  return true;
}

std::string encodeUtf8(std::u32string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char32_t c : s) {
    if (c > 0x10FFFF)
      appendUtf8(c, out);  // U+FFFD
    else if (!detail::appendStringChar(c, out))
      errorWithoutStackTrace(
          "hs::encodeUtf8: characters U+DC80..U+DCFF that join into another character");
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Integers

void detail::showWord(std::uint64_t x, std::string& out) { out.append(std::to_string(x)); }

void detail::showSignedInt(int d, std::int64_t x, std::string& out) {
  if (x >= 0) {
    showWord(static_cast<std::uint64_t>(x), out);
    return;
  }
  if (d > 6) out.push_back('(');
  out.push_back('-');
  showWord(0 - static_cast<std::uint64_t>(x), out);
  if (d > 6) out.push_back(')');
}

// ---------------------------------------------------------------------------------------------
// Floating point: the shortest digits that identify the value, generated as the base library
// does (Burger and Dybvig's free-format algorithm with exclusive bounds, a tie in the last digit
// rounding up), then laid out in fixed or exponent form.

namespace {

// Just enough unsigned big-number arithmetic for digit generation.
class BigNat {
 public:
  explicit BigNat(std::uint64_t v = 0) {
    while (v != 0) {
      limbs_.push_back(static_cast<std::uint32_t>(v));
      v >>= 32;
    }
  }
  BigNat& mulSmall(std::uint32_t m) {
    std::uint64_t carry = 0;
    for (std::uint32_t& l : limbs_) {
      const std::uint64_t p = static_cast<std::uint64_t>(l) * m + carry;
      l = static_cast<std::uint32_t>(p);
      carry = p >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
    trim();
    return *this;
  }
  BigNat& shiftLeft(unsigned bits) {
    if (limbs_.empty()) return *this;
    const unsigned words = bits / 32, rest = bits % 32;
    if (rest != 0) {
      std::uint32_t carry = 0;
      for (std::uint32_t& l : limbs_) {
        const std::uint32_t next = l >> (32 - rest);
        l = (l << rest) | carry;
        carry = next;
      }
      if (carry != 0) limbs_.push_back(carry);
    }
    limbs_.insert(limbs_.begin(), words, 0);
    return *this;
  }
  BigNat& mulPow10(unsigned n) {
    for (; n >= 9; n -= 9) mulSmall(1000000000u);
    static constexpr std::uint32_t small[] = {1,      10,      100,      1000,     10000,
                                              100000, 1000000, 10000000, 100000000};
    return mulSmall(small[n]);
  }
  BigNat& add(const BigNat& o) {
    if (limbs_.size() < o.limbs_.size()) limbs_.resize(o.limbs_.size(), 0);
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      const std::uint64_t s =
          static_cast<std::uint64_t>(limbs_[i]) + (i < o.limbs_.size() ? o.limbs_[i] : 0) + carry;
      limbs_[i] = static_cast<std::uint32_t>(s);
      carry = s >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
    return *this;
  }
  // *this -= o; requires *this >= o.
  BigNat& sub(const BigNat& o) {
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      std::int64_t d = static_cast<std::int64_t>(limbs_[i]) -
                       (i < o.limbs_.size() ? static_cast<std::int64_t>(o.limbs_[i]) : 0) - borrow;
      borrow = d < 0 ? 1 : 0;
      if (d < 0) d += std::int64_t{1} << 32;
      limbs_[i] = static_cast<std::uint32_t>(d);
    }
    trim();
    return *this;
  }
  friend int compare(const BigNat& a, const BigNat& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (std::size_t i = a.limbs_.size(); i-- > 0;)
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    return 0;
  }
  friend BigNat operator+(BigNat a, const BigNat& b) { return a.add(b); }

 private:
  void trim() {
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }
  std::vector<std::uint32_t> limbs_;
};

// The digits d1 d2 ... and exponent k with x = 0.d1d2... * 10^k, for x = f * 2^e > 0; p is the
// mantissa width and minExp the exponent of the denormals.
std::pair<std::string, int> floatToDigits(std::uint64_t f, int e, int p, int minExp) {
  const std::uint64_t hidden = std::uint64_t{1} << (p - 1);
  BigNat r, s, mUp, mDn;
  if (e >= 0) {
    if (f == hidden) {
      r = BigNat(f).shiftLeft(static_cast<unsigned>(e) + 2);
      s = BigNat(4);
      mUp = BigNat(1).shiftLeft(static_cast<unsigned>(e) + 1);
      mDn = BigNat(1).shiftLeft(static_cast<unsigned>(e));
    } else {
      r = BigNat(f).shiftLeft(static_cast<unsigned>(e) + 1);
      s = BigNat(2);
      mUp = BigNat(1).shiftLeft(static_cast<unsigned>(e));
      mDn = mUp;
    }
  } else if (e > minExp && f == hidden) {
    r = BigNat(f).shiftLeft(2);
    s = BigNat(1).shiftLeft(static_cast<unsigned>(-e) + 2);
    mUp = BigNat(2);
    mDn = BigNat(1);
  } else {
    r = BigNat(f).shiftLeft(1);
    s = BigNat(1).shiftLeft(static_cast<unsigned>(-e) + 1);
    mUp = BigNat(1);
    mDn = BigNat(1);
  }

  // k is the least n with r + mUp <= 10^n * s. Start safely below it and step up.
  const double approx = std::log10(static_cast<double>(f)) + e * 0.30102999566398120;
  int k = static_cast<int>(std::floor(approx)) - 1;
  const BigNat high = r + mUp;
  auto fits = [&](int n) {
    if (n >= 0) return compare(high, BigNat(s).mulPow10(static_cast<unsigned>(n))) <= 0;
    return compare(BigNat(high).mulPow10(static_cast<unsigned>(-n)), s) <= 0;
  };
  while (!fits(k)) ++k;

  BigNat rn = r, sN = s, up = mUp, dn = mDn;
  if (k >= 0) {
    sN.mulPow10(static_cast<unsigned>(k));
  } else {
    rn.mulPow10(static_cast<unsigned>(-k));
    up.mulPow10(static_cast<unsigned>(-k));
    dn.mulPow10(static_cast<unsigned>(-k));
  }
  std::string digits;
  for (;;) {
    rn.mulSmall(10);
    up.mulSmall(10);
    dn.mulSmall(10);
    int digit = 0;
    while (compare(rn, sN) >= 0) {
      rn.sub(sN);
      ++digit;
    }
    const bool low = compare(rn, dn) < 0;
    const bool highOk = compare(rn + up, sN) > 0;
    if (low && highOk) {
      const BigNat twice = BigNat(rn).shiftLeft(1);
      digits.push_back(static_cast<char>('0' + (compare(twice, sN) < 0 ? digit : digit + 1)));
      break;
    }
    if (low) {
      digits.push_back(static_cast<char>('0' + digit));
      break;
    }
    if (highOk) {
      digits.push_back(static_cast<char>('0' + digit + 1));
      break;
    }
    digits.push_back(static_cast<char>('0' + digit));
  }
  return {digits, k};
}

// The generic layout: exponent form when k < 0 or k > 7, else fixed.
void formatDigits(const std::string& ds, int k, std::string& out) {
  if (k < 0 || k > 7) {
    out.push_back(ds[0]);
    out.push_back('.');
    if (ds.size() == 1)
      out.push_back('0');
    else
      out.append(ds, 1);
    out.push_back('e');
    out.append(std::to_string(k - 1));
  } else if (k == 0) {
    out.append("0.");
    out.append(ds);
  } else {
    const auto n = static_cast<std::size_t>(k);
    if (ds.size() <= n) {
      out.append(ds);
      out.append(n - ds.size(), '0');
      out.append(".0");
    } else {
      out.append(ds, 0, n);
      out.push_back('.');
      out.append(ds, n);
    }
  }
}

template <class T>
void showFloating(int d, T x, std::string& out) {
  if (std::isnan(x)) {
    out.append("NaN");
    return;
  }
  const bool negative = std::signbit(x);
  if (negative && d > 6) out.push_back('(');
  if (negative) out.push_back('-');
  const T a = std::fabs(x);
  if (std::isinf(a)) {
    out.append("Infinity");
  } else if (a == T(0)) {
    out.append("0.0");
  } else {
    std::uint64_t f;
    int e;
    int p, minExp;
    if constexpr (sizeof(T) == 8) {
      const auto bits = std::bit_cast<std::uint64_t>(static_cast<double>(a));
      const auto be = static_cast<int>(bits >> 52);
      f = bits & ((std::uint64_t{1} << 52) - 1);
      p = 53;
      minExp = -1074;
      if (be == 0) {
        e = minExp;
      } else {
        f |= std::uint64_t{1} << 52;
        e = be - 1075;
      }
    } else {
      const auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(a));
      const auto be = static_cast<int>(bits >> 23);
      f = bits & ((std::uint32_t{1} << 23) - 1);
      p = 24;
      minExp = -149;
      if (be == 0) {
        e = minExp;
      } else {
        f |= std::uint64_t{1} << 23;
        e = be - 150;
      }
    }
    const auto [ds, k] = floatToDigits(f, e, p, minExp);
    formatDigits(ds, k, out);
  }
  if (negative && d > 6) out.push_back(')');
}

}  // namespace

void detail::showDouble(int d, double x, std::string& out) { showFloating(d, x, out); }
void detail::showFloat(int d, float x, std::string& out) { showFloating(d, x, out); }

// ---------------------------------------------------------------------------------------------
// Character and string literals

namespace {

constexpr const char* asciiNames[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                      "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                      "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                      "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

// One character as it stands inside a literal. `next` is the first character of the text that
// follows: a numeric escape before a digit, and \SO before an H, get the empty escape \& so the
// text reads back as written.
void litChar(char32_t c, char32_t next, std::string& out) {
  if (c > 0x7F) {
    out.push_back('\\');
    out.append(std::to_string(static_cast<std::uint32_t>(c)));
    if (next >= '0' && next <= '9') out.append("\\&");
    return;
  }
  switch (c) {
    case 0x7F:
      out.append("\\DEL");
      return;
    case '\\':
      out.append("\\\\");
      return;
    case '\a':
      out.append("\\a");
      return;
    case '\b':
      out.append("\\b");
      return;
    case '\f':
      out.append("\\f");
      return;
    case '\n':
      out.append("\\n");
      return;
    case '\r':
      out.append("\\r");
      return;
    case '\t':
      out.append("\\t");
      return;
    case '\v':
      out.append("\\v");
      return;
    case 0x0E:
      out.append("\\SO");
      if (next == 'H') out.append("\\&");
      return;
    default:
      break;
  }
  if (c >= ' ') {
    out.push_back(static_cast<char>(c));
    return;
  }
  out.push_back('\\');
  out.append(asciiNames[c]);
}

// The first character of the literal text of c inside a string.
char32_t firstShown(char32_t c) {
  if (c == '"' || c == '\\' || c >= 0x7F || c < ' ') return '\\';
  return c;
}

}  // namespace

void detail::showCharLiteral(char32_t c, std::string& out) {
  if (c == '\'') {
    out.append("'\\''");
    return;
  }
  out.push_back('\'');
  litChar(c, '\'', out);
  out.push_back('\'');
}

void detail::showStringLiteral(std::u32string_view s, std::string& out) {
  out.push_back('"');
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char32_t next = i + 1 < s.size() ? firstShown(s[i + 1]) : U'"';
    if (s[i] == '"')
      out.append("\\\"");
    else
      litChar(s[i], next, out);
  }
  out.push_back('"');
}

void detail::showUtf8Literal(std::string_view s, std::string& out) {
  showStringLiteral(decodeUtf8(s), out);
}

}  // namespace hs
