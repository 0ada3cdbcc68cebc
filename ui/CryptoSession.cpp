#include "ui/CryptoSession.h"

#include "crypto/Orlak.h"
#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "platform/Process.h"

bool TCryptoSession::StartKeyUtility() {
  const std::string path = FindOnSearchPath(kKeyUtilityName);
  const int error = platform::RunAndWait(path, "u");
  if (error == 0) return true;
  if (OnKeyUtilityError) OnKeyUtilityError(platform::ErrorText(error));
  return false;
}

void TCryptoSession::InitCrypto(const std::string& secKeysPath, const std::string& pubKeysPath) {
  StartKeyUtility();
  SignInitCode = SignInit(secKeysPath.c_str(), pubKeysPath.c_str());
  WriteLog({"SignInit:", "", ResultMessage(SignInitCode)});
  CryptoInitCode = CryptoInit(secKeysPath.c_str(), pubKeysPath.c_str());
  WriteLog({"CryptoInit", "", ResultMessage(CryptoInitCode)});
  FCryptoReady = true;
}

void TCryptoSession::DoneCrypto() {
  int code = CryptoDone();
  WriteLog({"CryptoDone", "", ResultMessage(code)});
  code = SignDone();
  WriteLog({"SignDone", "", ResultMessage(code)});
  FCryptoReady = false;
}
