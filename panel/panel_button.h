// One button of the panel: shows a caption or a picture, has a normal
// (raised) and a latched look chosen by the program, and reports presses.
#pragma once

#include <QString>
#include <QWidget>

#include "panel/panel_layout.h"

class CPanelButton : public QWidget {
  Q_OBJECT
 public:
  explicit CPanelButton(QWidget* parent = nullptr);

  void SetCaption(const QString& caption);
  void SetPictures(PanelPicture normal, PanelPicture latched);
  // TRUE gives the normal look, FALSE the latched look.
  void SetRaised(bool raised);

  bool IsRaised() const { return m_bRaised; }
  const QString& Caption() const { return m_strCaption; }
  PanelPicture ShownPicture() const;

 signals:
  // One per completed click with the left button.
  void Click();
  // button: 1 left, 2 right, 4 middle; shift: 1 Shift, 2 Ctrl, 4 Alt; x, y in pixels.
  void MouseDown(short button, short shift, int x, int y);
  void MouseUp(short button, short shift, int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QString m_strCaption;
  PanelPicture m_picture = PanelPicture::None;
  PanelPicture m_latchedPicture = PanelPicture::None;
  bool m_bRaised = true;
  bool m_bPressed = false;  // held down inside the button: the pressed look
  Qt::MouseButtons m_down;  // buttons whose release is still owed a MouseUp
};
