#include "platform/headless/headless_automation.h"

namespace qv::platform::headless {

AutomationRecord& AutomationRecord::object(const std::string& name) {
  auto& slot = objects[name];
  if (!slot) slot = std::make_shared<AutomationRecord>();
  return *slot;
}

AutomationValue AutomationRecord::property(const std::string& name) const {
  const auto it = properties.find(name);
  return it == properties.end() ? AutomationValue{} : it->second;
}

std::vector<std::string> AutomationRecord::putNames() const {
  std::vector<std::string> names;
  for (const Step& step : steps)
    if (step.kind == Step::Kind::Put) names.push_back(step.name);
  return names;
}

void RecordingAutomationObject::failIfAsked(const std::string& name) const {
  if (const auto it = record_->failing.find(name); it != record_->failing.end())
    throw AutomationError(it->second);
}

std::unique_ptr<AutomationObject> RecordingAutomationObject::getObject(const std::string& name) {
  record_->steps.push_back({AutomationRecord::Step::Kind::Get, name, {}});
  failIfAsked(name);
  const auto it = record_->objects.find(name);
  if (it == record_->objects.end() || !it->second) throw AutomationError("'" + name + "' holds no object");
  return std::make_unique<RecordingAutomationObject>(it->second);
}

void RecordingAutomationObject::put(const std::string& name, const AutomationValue& value) {
  record_->steps.push_back({AutomationRecord::Step::Kind::Put, name, {value}});
  failIfAsked(name);
  record_->properties[name] = value;
}

void RecordingAutomationObject::call(const std::string& name, const std::vector<AutomationValue>& arguments) {
  record_->steps.push_back({AutomationRecord::Step::Kind::Call, name, arguments});
  failIfAsked(name);
}

std::unique_ptr<AutomationObject> HeadlessAutomation::create(const std::string& progId) {
  if (!registered_.contains(progId)) throw AutomationError("Class not registered");
  auto record = std::make_shared<AutomationRecord>();
  record->failing = failing_;
  created_.push_back(record);
  return std::make_unique<RecordingAutomationObject>(std::move(record));
}

}  // namespace qv::platform::headless
