#include "platform/web_browser.h"

#include <stdexcept>

namespace qv::platform {

WebBrowser& Container::addWebBrowser(const ControlSpec& spec) {
  throw std::logic_error("the container of " + spec.name + " cannot hold a web browser");
}

}  // namespace qv::platform
