#pragma once
// Recording automation objects for the native tests. Each object keeps what was put on it, the
// objects its properties hold and every get, put and call in order; a test can make a member fail the
// way a real automation server's failure reaches the program (an AutomationError).
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/automation.h"

namespace qv::platform::headless {

class AutomationRecord {
 public:
  struct Step {
    enum class Kind { Get, Put, Call };
    Kind kind;
    std::string name;
    std::vector<AutomationValue> values;  // the value put, or the call's arguments
    bool operator==(const Step&) const = default;
  };

  // What the object holds: objects by property name and the values put or set up.
  std::map<std::string, std::shared_ptr<AutomationRecord>> objects;
  std::map<std::string, AutomationValue> properties;
  // Members whose use fails with this message.
  std::map<std::string, std::string> failing;
  std::vector<Step> steps;

  // The object under `name`, made when missing.
  AutomationRecord& object(const std::string& name);
  AutomationValue property(const std::string& name) const;
  std::vector<std::string> putNames() const;
};

// An automation object over a shared record, so the test keeps the record after the program let go.
class RecordingAutomationObject : public AutomationObject {
 public:
  explicit RecordingAutomationObject(std::shared_ptr<AutomationRecord> record) : record_(std::move(record)) {}
  std::unique_ptr<AutomationObject> getObject(const std::string& name) override;
  void put(const std::string& name, const AutomationValue& value) override;
  void call(const std::string& name, const std::vector<AutomationValue>& arguments) override;

 private:
  void failIfAsked(const std::string& name) const;
  std::shared_ptr<AutomationRecord> record_;
};

class HeadlessAutomation : public Automation {
 public:
  HeadlessAutomation() { registered_.insert("InternetExplorer.Application"); }
  std::unique_ptr<AutomationObject> create(const std::string& progId) override;

  // A class that is no longer registered: creating it fails as on a system without it.
  void unregister(const std::string& progId) { registered_.erase(progId); }
  // Members of every object made from now on that fail.
  void failMember(const std::string& name, const std::string& message) { failing_[name] = message; }
  // Every instance made, in order, with what was done to it.
  const std::vector<std::shared_ptr<AutomationRecord>>& created() const { return created_; }

 private:
  std::set<std::string> registered_;
  std::map<std::string, std::string> failing_;
  std::vector<std::shared_ptr<AutomationRecord>> created_;
};

}  // namespace qv::platform::headless
