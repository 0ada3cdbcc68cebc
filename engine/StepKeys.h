// A step kind's own settings, described once for every use: the settings
// file reads and writes them (as an archive does: a reader fills each value
// from its key, its default when the key is missing; a writer stores each
// value under its key and leaves it as it is), the step editor shows one
// control per setting, and the script check asks the library for the keys a
// setting names. The engine knows no file format and no window.
#pragma once

#include <cstdint>
#include <string>

// What the script check makes of the key identifiers a setting holds.
enum class TKeyUse {
  None,           // not a key
  SecretKey,      // one secret key, tried by signing
  PublicKey,      // one public key
  PublicKeyList,  // public keys, each one; blank asks for none
  ReceiverList,   // public keys, at least one
};

// How the step editor lays a setting out on its kind's page.
enum class TFieldLook {
  Beside,  // label, then a text field on the same line
  Below,   // label, then a text field under it as wide as the page
  Number,  // label, then a small number field at the line's end
};

struct TStepField {
  const char* Key;           // in the step's section
  const char* Label = "";    // the editor's text, Windows-1251
  const char* Control = "";  // the editor control's name
  TFieldLook Look = TFieldLook::Beside;
  TKeyUse Keys = TKeyUse::None;
  int32_t Missing = 0;       // numbers: the value of a missing key and the editor's start value
  int32_t Min = 0, Max = 0;  // numbers: the editor's range
};

class TStepKeys {
 public:
  virtual ~TStepKeys() = default;
  // A missing key reads as empty.
  virtual void Text(const TStepField& field, std::string& value) = 0;
  virtual void Integer(const TStepField& field, int32_t& value) = 0;
};
