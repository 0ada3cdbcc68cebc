// The five cryptographic kinds of step. Each calls one library operation (the
// check: one signature check), logs the outcome under its caption and, on
// success, lets the base class copy the result to CopyTo. Each describes its
// own settings beside its caption (ExchangeKeys): their keys, their fields in
// the step editor and the keys the script check asks the library for.
#pragma once

#include <cstdint>
#include <string>

#include "engine/uTesselTypes.h"

class TTesselAction_sign : public TTesselAction {
 public:
  std::string KeyId;  // the signing key

  bool Run(const TStepContext& context, const std::string& InputFileName,
           std::string& OutputFileName) override;
  std::string GetCaption() const override;
  std::string GetParamText() const override;
  std::string GetPageName() const override { return "Sign"; }
  void ExchangeKeys(TStepKeys& keys) override;
  uint8_t GetKind() const override { return kKindSign; }
};

class TTesselAction_checksign : public TTesselAction {
 public:
  std::string KeyList;  // keys whose signatures are required; blank: every signature

  bool Run(const TStepContext& context, const std::string& InputFileName,
           std::string& OutputFileName) override;
  std::string GetCaption() const override;
  std::string GetParamText() const override;
  std::string GetPageName() const override { return "CheckSign"; }
  void ExchangeKeys(TStepKeys& keys) override;
  uint8_t GetKind() const override { return kKindCheckSign; }
};

class TTesselAction_delsign : public TTesselAction {
 public:
  int32_t DeleteCount = 0;  // signatures to remove; -1: all

  bool Run(const TStepContext& context, const std::string& InputFileName,
           std::string& OutputFileName) override;
  std::string GetCaption() const override;
  std::string GetParamText() const override;
  std::string GetPageName() const override { return "DelSign"; }
  void ExchangeKeys(TStepKeys& keys) override;
  uint8_t GetKind() const override { return kKindDelSign; }
};

class TTesselAction_encrypt : public TTesselAction {
 public:
  std::string SenderKey;
  std::string ReceiverKeyList;

  bool Run(const TStepContext& context, const std::string& InputFileName,
           std::string& OutputFileName) override;
  std::string GetCaption() const override;
  std::string GetParamText() const override;
  std::string GetChoiceText() const override;
  std::string GetPageName() const override { return "EnCrypt"; }
  void ExchangeKeys(TStepKeys& keys) override;
  uint8_t GetKind() const override { return kKindEncrypt; }
};

class TTesselAction_decrypt : public TTesselAction {
 public:
  std::string ReceiverKey;
  std::string SenderKey;

  bool Run(const TStepContext& context, const std::string& InputFileName,
           std::string& OutputFileName) override;
  std::string GetCaption() const override;
  std::string GetParamText() const override;
  std::string GetPageName() const override { return "DeCrypt"; }
  void ExchangeKeys(TStepKeys& keys) override;
  uint8_t GetKind() const override { return kKindDecrypt; }
};
