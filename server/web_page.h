// The one page the server offers: the live picture above the whole panel.
#pragma once

#include <string_view>

namespace server {

std::string_view WebPageHtml();

}  // namespace server
