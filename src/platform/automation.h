#pragma once
// Late-bound automation: objects whose properties and methods are reached by name at run time, as a
// script would reach them. The portal page's trimming and the separate browser window work this way.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "common/error.h"

namespace qv::platform {

// A value handed to or read from an automation object: nothing, a Boolean, a 32-bit integer or a text.
using AutomationValue = std::variant<std::monostate, bool, int32_t, std::string>;

// A failing automation call. The message is the system's own text for the failure, as the user sees it
// in the standard error box.
class AutomationError : public Error {
 public:
  explicit AutomationError(const std::string& message) : Error(message) {}
};

// One automation object. Every call throws AutomationError when the object answers with a failure.
class AutomationObject {
 public:
  virtual ~AutomationObject() = default;
  // The object a property holds. A property that holds no object is an error, as it is for a script.
  virtual std::unique_ptr<AutomationObject> getObject(const std::string& name) = 0;
  virtual void put(const std::string& name, const AutomationValue& value) = 0;
  // Calls a method with its arguments in order.
  virtual void call(const std::string& name, const std::vector<AutomationValue>& arguments) = 0;
};

class Automation {
 public:
  virtual ~Automation() = default;
  // A new instance of the class registered under `progId` ("InternetExplorer.Application"). Throws
  // AutomationError when the class is not registered or the instance cannot be made.
  virtual std::unique_ptr<AutomationObject> create(const std::string& progId) = 0;
};

}  // namespace qv::platform
