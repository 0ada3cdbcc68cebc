// The crypto library's open state as the main window drives it: the key
// utility run before opening, the four open and close calls and their log lines.
#pragma once

#include <functional>
#include <string>

// The key utility's file name, looked up on the search path.
#ifdef _WIN32
inline constexpr const char* kKeyUtilityName = "marvik.exe";
#else
inline constexpr const char* kKeyUtilityName = "marvik";
#endif

class TCryptoSession {
 public:
  // Shows the platform's error text when the key utility cannot be started.
  std::function<void(const std::string& errorText)> OnKeyUtilityError;

  // True from the end of InitCrypto to the end of DoneCrypto.
  bool FCryptoReady = false;
  // The results of the last SignInit and CryptoInit (-1 before the first).
  int SignInitCode = -1;
  int CryptoInitCode = -1;
  // Ready, and both parts of the library opened without an error.
  bool LibraryOpen() const { return FCryptoReady && SignInitCode == 0 && CryptoInitCode == 0; }

  // Runs the key utility with the command "u" and waits for it to end; false
  // (after OnKeyUtilityError) when it cannot be started.
  bool StartKeyUtility();
  // Key utility, SignInit and CryptoInit, each result logged; ready whatever
  // the codes were.
  void InitCrypto(const std::string& secKeysPath, const std::string& pubKeysPath);
  // CryptoDone and SignDone, each result logged.
  void DoneCrypto();
};
