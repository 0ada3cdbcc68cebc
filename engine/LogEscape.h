// Fields from outside (file names, paths, key identifiers, library texts)
// must not break the log's one-line-per-event form: a control byte in a field
// would start a forged line or field. Each field is written escaped:
//   a byte 0x00-0x1F or 0x7F becomes "\x" and two upper-case hex digits
//   (TAB "\x09", LF "\x0A", CR "\x0D");
//   a "\" is doubled when it stands before "x", "\" or a control byte, where
//   it could be read as part of an escape; any other "\" stays single.
// A reader undoes it left to right: "\\" is "\", "\x" and two hex digits
// is that byte, anything else is itself. A field with no control byte and no
// "\x" or "\\" in it is written unchanged.
#pragma once

#include <string>

std::string EscapeLogField(const std::string& field);
// The field as it was before EscapeLogField; a malformed escape stays as written.
std::string UnescapeLogField(const std::string& escaped);
