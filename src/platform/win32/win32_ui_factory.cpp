#include "platform/win32/win32_ui_factory.h"

#include "platform/win32/win32_form.h"

namespace qv::platform::win32 {

std::unique_ptr<Form> Win32UiFactory::createForm(const FormSpec& spec) {
  const bool first = mainWindow_ == nullptr || !::IsWindow(mainWindow_);
  auto form = std::make_unique<Win32Form>(ctx_, spec, first ? nullptr : mainWindow_, first);
  if (first) mainWindow_ = form->hwnd();
  return form;
}

}  // namespace qv::platform::win32
