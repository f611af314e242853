#include "platform/win32/win32_automation.h"

#include <cstdio>
#include <vector>

#include "platform/win32/com_values.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

using Microsoft::WRL::ComPtr;

namespace {

// A VARIANT holding one automation value, freed with it.
void assign(Variant& target, const AutomationValue& value) {
  VARIANT& v = *target.get();
  if (const bool* b = std::get_if<bool>(&value)) {
    v.vt = VT_BOOL;
    v.boolVal = *b ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (const int32_t* i = std::get_if<int32_t>(&value)) {
    v.vt = VT_I4;
    v.lVal = *i;
  } else if (const std::string* s = std::get_if<std::string>(&value)) {
    Bstr text(*s);
    v.vt = VT_BSTR;
    v.bstrVal = text.release();
  }
}

}  // namespace

std::string automationErrorText(HRESULT hr) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", n);
  if (buffer != nullptr) ::LocalFree(buffer);
  // The system's texts end with a line break (and often a full stop the error box adds anyway).
  while (!text.empty() &&
         (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.'))
    text.pop_back();
  if (!text.empty()) return toUtf8(text);
  char fallback[32];
  std::snprintf(fallback, sizeof fallback, "OLE error %08lX", static_cast<unsigned long>(hr));
  return fallback;
}

DISPID Win32AutomationObject::member(const std::string& name) {
  std::wstring wide = toWide(name);
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) throw AutomationError(automationErrorText(hr));
  return id;
}

void Win32AutomationObject::invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) {
  EXCEPINFO exception{};
  UINT badArgument = 0;
  const HRESULT hr =
      object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &badArgument);
  Bstr source, description, help;
  *source.out() = exception.bstrSource;
  *description.out() = exception.bstrDescription;
  *help.out() = exception.bstrHelpFile;
  if (SUCCEEDED(hr)) return;
  if (hr == DISP_E_EXCEPTION) {
    // The server explained itself; its code, when it gave one, stands in for the generic failure.
    if (!description.utf8().empty()) throw AutomationError(description.utf8());
    const HRESULT code = exception.scode != 0 ? exception.scode : static_cast<HRESULT>(exception.wCode);
    if (code != 0) throw AutomationError(automationErrorText(code));
  }
  throw AutomationError(automationErrorText(hr));
}

std::unique_ptr<AutomationObject> Win32AutomationObject::getObject(const std::string& name) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Variant result;
  invoke(member(name), DISPATCH_PROPERTYGET, none, result.get());
  const VARIANT& v = result.value();
  ComPtr<IDispatch> object;
  if (v.vt == VT_DISPATCH && v.pdispVal != nullptr) {
    object = v.pdispVal;
  } else if (v.vt == VT_UNKNOWN && v.punkVal != nullptr) {
    v.punkVal->QueryInterface(IID_PPV_ARGS(&object));
  }
  if (!object) throw AutomationError("'" + name + "' holds no object");
  return std::make_unique<Win32AutomationObject>(std::move(object));
}

void Win32AutomationObject::put(const std::string& name, const AutomationValue& value) {
  Variant argument;
  assign(argument, value);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{argument.get(), &named, 1, 1};
  invoke(member(name), DISPATCH_PROPERTYPUT, params, nullptr);
}

void Win32AutomationObject::call(const std::string& name, const std::vector<AutomationValue>& arguments) {
  // Arguments travel last to first.
  std::vector<Variant> values(arguments.size());
  std::vector<VARIANT> raw(arguments.size());
  for (size_t i = 0; i < arguments.size(); ++i) {
    assign(values[i], arguments[i]);
    raw[arguments.size() - 1 - i] = values[i].value();
  }
  DISPPARAMS params{raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
  Variant result;
  invoke(member(name), DISPATCH_METHOD, params, result.get());
}

std::unique_ptr<AutomationObject> Win32Automation::create(const std::string& progId) {
  CLSID clsid{};
  const std::wstring wide = toWide(progId);
  HRESULT hr = ::CLSIDFromProgID(wide.c_str(), &clsid);
  if (FAILED(hr)) throw AutomationError(automationErrorText(hr));
  ComPtr<IDispatch> object;
  hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
  if (FAILED(hr)) throw AutomationError(automationErrorText(hr));
  return std::make_unique<Win32AutomationObject>(std::move(object));
}

}  // namespace qv::platform::win32
