#include "runtime/CryptoSession.h"

#include "crypto/Orlak.h"
#include "crypto/ResultKind.h"
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
  WriteLog(ResultKind(SignInitCode), {"SignInit:", "", ResultMessage(SignInitCode)});
  CryptoInitCode = CryptoInit(secKeysPath.c_str(), pubKeysPath.c_str());
  WriteLog(ResultKind(CryptoInitCode), {"CryptoInit", "", ResultMessage(CryptoInitCode)});
  FCryptoReady = true;
}

void TCryptoSession::DoneCrypto() {
  int code = CryptoDone();
  WriteLog(ResultKind(code), {"CryptoDone", "", ResultMessage(code)});
  code = SignDone();
  WriteLog(ResultKind(code), {"SignDone", "", ResultMessage(code)});
  FCryptoReady = false;
}
