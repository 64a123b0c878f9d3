// Where the main window's picture goes besides the screen: the one H.264
// encode on the frame taps that the broadcast push and the network viewers
// share, the push itself, and the web server's address offered to
// the phones in the room.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QString>

class CBroadcastPush;
class CFrameTaps;
class CLiveH264Feed;
class CLiveView;
class CPushOverlay;
class CPushState;
class CRemoconDlg;
class CSharedKeys;
class CWebAddressWindow;
class QAction;
class QWidget;
struct PushSettings;

class CFrameOutputs : public QObject {
 public:
  // `frameGone`: the program is ending; nothing new starts.
  CFrameOutputs(QWidget& frame, CFrameTaps& taps, CLiveView& view, CRemoconDlg& panel, std::function<bool()> frameGone);
  ~CFrameOutputs() override;

  // Starts pushing the shown picture (--push); false with the reason when
  // the URL can never work. One push per run.
  bool StartBroadcast(const PushSettings& settings, std::string& error);
  // No more pictures come: the push ends now, its file's trailer written.
  void StopBroadcast();
  // The push's state, safe to read from any thread for the whole run
  // (phase Off when there is no push).
  const CPushState& BroadcastState() const { return *m_broadcastState; }
  // The one H.264 encoder the push and the network viewers share, made and
  // fed from the first call until StopH264Feed; null once the window is gone.
  std::shared_ptr<CLiveH264Feed> H264Feed();
  // After the push: the worker never calls the feed again.
  void StopH264Feed();

  // The web server runs at this address (its token in it where one is
  // needed): the menu offers "Show web address…".
  void SetWebAddress(const QString& url) { m_strWebAddress = url; }
  // `keys`: the main window's keys, shared with the address window.
  void CreateWebAddressAction(CSharedKeys& keys);
  // The menu's entry, or null while no server runs.
  QAction* WebAddressAction() const;
  void ShowWebAddress();
  void HideWebAddress();
  CWebAddressWindow* WebAddressWindow() const { return m_pWebAddress.get(); }

 private:
  QWidget& m_frame;
  CFrameTaps& m_taps;
  CLiveView& m_view;
  CRemoconDlg& m_panel;
  std::function<bool()> m_frameGone;
  std::shared_ptr<CPushState> m_broadcastState;
  std::unique_ptr<CBroadcastPush> m_pBroadcast;
  std::shared_ptr<CLiveH264Feed> m_pH264Feed;
  // A child of the view: Qt deletes it with the view.
  CPushOverlay* m_pPushOverlay = nullptr;
  CSharedKeys* m_pSharedKeys = nullptr;
  std::unique_ptr<QAction> m_actWebAddress;
  std::unique_ptr<CWebAddressWindow> m_pWebAddress;
  QString m_strWebAddress;
};
