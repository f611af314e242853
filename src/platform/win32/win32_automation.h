#pragma once
// Late-bound automation through IDispatch: member names are looked up at run time, and a failing
// call becomes an AutomationError carrying the system's (or the server's) own text for it.
#include <windows.h>
// After windows.h, which they build on.
#include <oaidl.h>
#include <wrl/client.h>

#include <string>

#include "platform/automation.h"

namespace qv::platform::win32 {

// The text the system has for a failure code ("OLE error 8000FFFF" when it has none).
std::string automationErrorText(HRESULT hr);

class Win32AutomationObject : public AutomationObject {
 public:
  explicit Win32AutomationObject(Microsoft::WRL::ComPtr<IDispatch> object) : object_(std::move(object)) {}
  std::unique_ptr<AutomationObject> getObject(const std::string& name) override;
  void put(const std::string& name, const AutomationValue& value) override;
  void call(const std::string& name, const std::vector<AutomationValue>& arguments) override;

 private:
  DISPID member(const std::string& name);
  // Invokes a member; throws AutomationError on failure, with the server's description if it gave one.
  void invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result);
  Microsoft::WRL::ComPtr<IDispatch> object_;
};

class Win32Automation : public Automation {
 public:
  // Runs on the main thread, which is in COM's single-threaded apartment for the program's life.
  std::unique_ptr<AutomationObject> create(const std::string& progId) override;
};

}  // namespace qv::platform::win32
