// One compiled template of a mask: "*" for any run of characters, "?" for any
// one character (or the end of the name), "#" for a digit, "[...]" for one
// character of a set, anything else for itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "masks/ByteSeq.h"

class TTemplate {
 public:
  // Compiles the text at once. When caseSensitive is false the template and
  // every name it is asked about are upper-cased first.
  TTemplate(std::string_view text, bool caseSensitive);
  virtual ~TTemplate() = default;
  TTemplate(const TTemplate&) = delete;
  TTemplate& operator=(const TTemplate&) = delete;

  // Replaces whatever was compiled before. Every text compiles: always true.
  virtual bool Compile(std::string_view text);

  bool Match(std::string_view name) const;

  bool MatchAll() const { return matchAll_; }
  bool LeadingStar() const { return leadingStar_; }
  bool TrailingStar() const { return trailingStar_; }
  bool CaseSensitive() const { return caseSensitive_; }
  // Empty for a match-everything template.
  const std::vector<TByteSeq>& Segments() const { return segments_; }
  // False when a segment of the text needs more sets than a segment holds;
  // such a template matches no name.
  bool Fits() const { return fits_; }

 protected:
  // For derived classes, which compile the text with their own Compile.
  struct DeferCompile {};
  TTemplate(DeferCompile, bool caseSensitive);

 private:
  bool caseSensitive_;
  bool matchAll_ = false;
  bool leadingStar_ = false;
  bool trailingStar_ = false;
  bool fits_ = true;
  std::vector<TByteSeq> segments_;
};
