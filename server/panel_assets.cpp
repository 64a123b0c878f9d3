#include "server/panel_assets.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "panel/button_table.h"
#include "panel/panel_button.h"
#include "panel/panel_frame.h"
#include "panel/panel_layout.h"
#include "server/web_page.h"

namespace server {

namespace {

std::string PngOf(QWidget& widget, QSize size) {
  widget.resize(size);
  QImage image(size * CPanelAssets::kPixelScale, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.scale(CPanelAssets::kPixelScale, CPanelAssets::kPixelScale);
    widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::Background: return "background";
    case ControlKind::Button: return "button";
    case ControlKind::LogBox: return "log";
    case ControlKind::RateBox: return "rate";
    case ControlKind::PushButton: return "push";
  }
  return "";
}

const char* ActionName(const ButtonBinding* binding) {
  if (!binding) return "none";
  switch (binding->action) {
    case ButtonAction::PressHold: return "hold";
    case ButtonAction::SaveImage: return "save";
    case ButtonAction::PrintImage: return "print";
    case ButtonAction::Movie: return "movie";
    default: return "click";
  }
}

}  // namespace

void CPanelAssets::Build() {
  const QFont font = PanelDialogFont();
  const DialogBaseUnits units = DialogBaseUnits::Of(font);
  const QRect panelRect = units.ToPixels(QRect(0, 0, kPanelWidthDlu, kPanelHeightDlu));

  for (const WebFile& file : WebFiles())
    m_assets[std::string(file.path)] = {std::string(file.contentType), std::string(file.bytes)};

  std::string json = "{\"width\": " + std::to_string(panelRect.width()) +
                     ", \"height\": " + std::to_string(panelRect.height()) + ", \"controls\": [";
  bool first = true;
  for (const PanelControl& control : PanelLayout()) {
    const QRect r = units.ToPixels(control.DialogRect());
    const ButtonBinding* binding = FindButtonBinding(control.id);
    json += first ? "" : ", ";
    first = false;
    json += "{\"id\": " + std::to_string(control.id) + ", \"kind\": \"" + KindName(control.kind) +
            "\", \"x\": " + std::to_string(r.x()) + ", \"y\": " + std::to_string(r.y()) +
            ", \"w\": " + std::to_string(r.width()) + ", \"h\": " + std::to_string(r.height()) +
            ", \"caption\": " + JsonString(control.caption ? control.caption : "") +
            ", \"tooltip\": " + JsonString(control.tooltip ? control.tooltip : "") +
            ", \"visible\": " + (control.visible ? "true" : "false") + ", \"action\": \"" + ActionName(binding) + "\"}";

    if (control.kind == ControlKind::Background) {
      CPanelFrame frame;
      frame.setFont(font);
      frame.SetBaseUnits(units);
      m_assets["/img/panel.png"] = {"image/png", PngOf(frame, r.size())};
    } else if (control.kind == ControlKind::Button) {
      CPanelButton button;
      button.setFont(font);
      button.SetCaption(QString::fromLatin1(control.caption ? control.caption : ""));
      button.SetPictures(control.picture, control.latchedPicture);
      const std::string stem = "/img/button-" + std::to_string(control.id);
      button.SetRaised(true);
      m_assets[stem + "-raised.png"] = {"image/png", PngOf(button, r.size())};
      button.SetRaised(false);
      m_assets[stem + "-latched.png"] = {"image/png", PngOf(button, r.size())};
    }
  }
  json += "]}";
  m_layoutJson = std::move(json);
}

std::optional<IRouterBackend::Asset> CPanelAssets::Find(std::string_view path) const {
  const auto found = m_assets.find(path);
  if (found == m_assets.end()) return std::nullopt;
  return found->second;
}

}  // namespace server
