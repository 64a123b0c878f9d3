// The panel's background: the remote control's body with its labelled areas,
// drawn beneath all the buttons. It handles no input of its own.
#pragma once

#include <QWidget>

#include "panel/panel_layout.h"

class CPanelFrame : public QWidget {
  Q_OBJECT
 public:
  explicit CPanelFrame(QWidget* parent = nullptr);

  // The dialog units the artwork is laid out in.
  void SetBaseUnits(const DialogBaseUnits& units);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  DialogBaseUnits m_units{6, 14};
};
