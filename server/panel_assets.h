// The page's images and layout, made from the panel's own code: the
// background and both looks of every button are drawn by the desktop
// widgets into PNGs, and the layout comes from the panel's layout table.
// Built once on the user-interface thread; read-only afterwards.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "server/request_router.h"

namespace server {

class CPanelAssets {
 public:
  // Scale of the PNGs against the desktop panel, for sharp pictures on phones.
  static constexpr int kPixelScale = 3;

  // User-interface thread (it draws with the panel's widgets).
  void Build();

  std::optional<IRouterBackend::Asset> Find(std::string_view path) const;
  const std::string& LayoutJson() const { return m_layoutJson; }

 private:
  std::map<std::string, IRouterBackend::Asset, std::less<>> m_assets;
  std::string m_layoutJson;
};

}  // namespace server
