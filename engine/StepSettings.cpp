#include "engine/StepSettings.h"

#include <cstdlib>

#include "engine/uTesselTypes.h"

namespace {

class Collector : public TStepKeys {
 public:
  std::vector<TStepSetting> settings;
  void Text(const TStepField& field, std::string& value) override {
    settings.push_back({field, value});
  }
  void Integer(const TStepField& field, int32_t& value) override {
    settings.push_back({field, std::to_string(value)});
  }
};

class Applier : public TStepKeys {
 public:
  explicit Applier(const std::function<std::optional<std::string>(const TStepField&)>& value)
      : value_(value) {}
  void Text(const TStepField& field, std::string& value) override {
    value = value_(field).value_or(std::string());
  }
  void Integer(const TStepField& field, int32_t& value) override {
    const std::optional<std::string> text = value_(field);
    value = text ? static_cast<int32_t>(std::strtol(text->c_str(), nullptr, 10)) : field.Missing;
  }

 private:
  const std::function<std::optional<std::string>(const TStepField&)>& value_;
};

}  // namespace

std::vector<TStepSetting> StepSettings(const TTesselAction& step) {
  Collector collector;
  // ExchangeKeys serves readers and writers alike; the collector only reads
  // the values, so the step stays as it is.
  const_cast<TTesselAction&>(step).ExchangeKeys(collector);
  return std::move(collector.settings);
}

void ApplyStepSettings(TTesselAction& step,
                       const std::function<std::optional<std::string>(const TStepField&)>& value) {
  Applier applier(value);
  step.ExchangeKeys(applier);
}
