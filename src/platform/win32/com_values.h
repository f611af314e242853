#pragma once
// Owning wrappers for the automation values that cross COM calls: a BSTR and a VARIANT, each freed
// exactly once.
#include <windows.h>
// After windows.h, which they build on.
#include <oleauto.h>

#include <string>
#include <utility>

#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8) : Bstr(toWide(utf8)) {}
  explicit Bstr(const std::wstring& s) : b_(::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
  ~Bstr() { ::SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }
  BSTR* out() {
    ::SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  // Hands the string to a VARIANT that frees it from then on.
  BSTR release() { return std::exchange(b_, nullptr); }
  std::string utf8() const { return b_ ? toUtf8(std::wstring_view(b_, ::SysStringLen(b_))) : std::string(); }

 private:
  BSTR b_ = nullptr;
};

class Variant {
 public:
  Variant() { ::VariantInit(&v_); }
  ~Variant() { ::VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &v_; }
  const VARIANT& value() const { return v_; }

 private:
  VARIANT v_;
};

}  // namespace qv::platform::win32
