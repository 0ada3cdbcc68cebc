// Settings keys of the cryptographic kinds: the kind's own keys first, then
// the common ones of the base class.
#include "config/uIniUtil.h"
#include "crypto/CryptoActions.h"

void TTesselAction_sign::LoadFromIni(const std::string& FileName, const std::string& Section) {
  KeyId = ReadIniString(Section, "KEY_ID", "", FileName);
  TTesselAction::LoadFromIni(FileName, Section);
}

void TTesselAction_sign::SaveToIni(const std::string& FileName, const std::string& Section) const {
  WriteIniString(Section, "KEY_ID", KeyId, FileName);
  TTesselAction::SaveToIni(FileName, Section);
}

void TTesselAction_checksign::LoadFromIni(const std::string& FileName, const std::string& Section) {
  KeyList = ReadIniString(Section, "KEY_LIST", "", FileName);
  TTesselAction::LoadFromIni(FileName, Section);
}

void TTesselAction_checksign::SaveToIni(const std::string& FileName,
                                        const std::string& Section) const {
  WriteIniString(Section, "KEY_LIST", KeyList, FileName);
  TTesselAction::SaveToIni(FileName, Section);
}

void TTesselAction_delsign::LoadFromIni(const std::string& FileName, const std::string& Section) {
  DeleteCount = ReadIniInteger(Section, "COUNT", -1, FileName);
  TTesselAction::LoadFromIni(FileName, Section);
}

void TTesselAction_delsign::SaveToIni(const std::string& FileName,
                                      const std::string& Section) const {
  WriteIniInteger(Section, "COUNT", DeleteCount, FileName);
  TTesselAction::SaveToIni(FileName, Section);
}

void TTesselAction_encrypt::LoadFromIni(const std::string& FileName, const std::string& Section) {
  SenderKey = ReadIniString(Section, "SENDER_KEY", "", FileName);
  ReceiverKeyList = ReadIniString(Section, "RECEIVER_KEY_LIST", "", FileName);
  TTesselAction::LoadFromIni(FileName, Section);
}

void TTesselAction_encrypt::SaveToIni(const std::string& FileName,
                                      const std::string& Section) const {
  WriteIniString(Section, "SENDER_KEY", SenderKey, FileName);
  WriteIniString(Section, "RECEIVER_KEY_LIST", ReceiverKeyList, FileName);
  TTesselAction::SaveToIni(FileName, Section);
}

void TTesselAction_decrypt::LoadFromIni(const std::string& FileName, const std::string& Section) {
  ReceiverKey = ReadIniString(Section, "RECEIVER_KEY", "", FileName);
  SenderKey = ReadIniString(Section, "SENDER_KEY", "", FileName);
  TTesselAction::LoadFromIni(FileName, Section);
}

void TTesselAction_decrypt::SaveToIni(const std::string& FileName,
                                      const std::string& Section) const {
  WriteIniString(Section, "RECEIVER_KEY", ReceiverKey, FileName);
  WriteIniString(Section, "SENDER_KEY", SenderKey, FileName);
  TTesselAction::SaveToIni(FileName, Section);
}
