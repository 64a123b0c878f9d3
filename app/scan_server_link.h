// The desktop's scan session as the web server sees it.
#pragma once

#include "server/scan_host.h"

class CScanController;

class CScanServerLink final : public server::IScanHost {
 public:
  explicit CScanServerLink(CScanController& controller) : m_controller(controller) {}

  server::ScanStatus Status() const override;
  std::string AddPage() override;
  bool RemoveLastPage() override;
  void Finish() override;

 private:
  CScanController& m_controller;
};
