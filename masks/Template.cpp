#include "masks/Template.h"

#include "masks/BracketSet.h"
#include "masks/MaskText.h"
#include "platform/Cp1251.h"

namespace {

bool OnlyStars(std::string_view text) {
  return text.find_first_not_of('*') == std::string_view::npos;
}

}  // namespace

TTemplate::TTemplate(std::string_view text, bool caseSensitive) : caseSensitive_(caseSensitive) {
  TTemplate::Compile(text);
}

TTemplate::TTemplate(DeferCompile, bool caseSensitive) : caseSensitive_(caseSensitive) {}

bool TTemplate::Compile(std::string_view text) {
  matchAll_ = leadingStar_ = trailingStar_ = false;
  fits_ = true;
  segments_.clear();

  const std::string upper = caseSensitive_ ? std::string(text) : platform::UpperCase(text);
  std::string_view rest = masks::TrimBlanks(upper);

  if (OnlyStars(rest) || rest == "*.*") {  // the empty text counts as well
    matchAll_ = true;
    return true;
  }
  leadingStar_ = rest.front() == '*';
  rest.remove_prefix(rest.find_first_not_of('*'));
  trailingStar_ = rest.back() == '*';
  rest.remove_suffix(rest.size() - 1 - rest.find_last_not_of('*'));

  TByteSeq current;
  for (size_t i = 0; i < rest.size(); ++i) {
    const auto c = static_cast<unsigned char>(rest[i]);
    bool added = true;
    switch (c) {
      case '*':
        segments_.push_back(std::move(current));
        current = TByteSeq();
        break;
      case '?':
        added = current.AddAny();
        break;
      case '#':
        added = current.AddDigit();
        break;
      case '[': {
        const size_t close = rest.find(']', i + 1);
        if (close == std::string_view::npos) {
          added = current.AddChar(c);  // no "]" follows: an ordinary character
        } else {
          added = current.AddSet(masks::BracketSet(rest.substr(i + 1, close - i - 1)));
          i = close;
        }
        break;
      }
      default:
        added = current.AddChar(c);
    }
    if (!added) fits_ = false;
  }
  segments_.push_back(std::move(current));
  return true;
}

bool TTemplate::Match(std::string_view name) const {
  if (matchAll_) return true;
  if (name.empty() || !fits_) return false;

  std::string upper;
  if (!caseSensitive_) {
    upper = platform::UpperCase(name);
    name = upper;
  }
  // Positions count from 1; n + 1 is the end of the name. Each segment takes
  // the leftmost place at or after the end of the previous one, and a later
  // failure never moves an earlier segment.
  const size_t n = name.size();
  size_t pos = 1;
  for (size_t k = 0; k < segments_.size(); ++k) {
    const TByteSeq& segment = segments_[k];
    size_t p = pos;
    if (k == 0 && !leadingStar_) {
      if (!segment.MatchAt(name, p)) return false;
    } else {
      // A search never starts at the end of the name.
      while (p <= n && !segment.MatchAt(name, p)) ++p;
      if (p > n) return false;
    }
    pos = p + static_cast<size_t>(segment.Count());
  }
  return pos <= n ? trailingStar_ : true;
}
