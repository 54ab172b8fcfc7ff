#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/webhost/WebBrowser.h"
#include "platform/window/Form.h"
#include "platform/window/Window.h"
#include "tabstrip/CTabItem.h"
#include "tabstrip/ITabForm.h"
#include "tabstrip/IuTab.h"

// The page of one tab of the main window: a window holding one embedded browser that shows one
// game address. The tab strip adopts its window; everything the page reports goes through its
// tab item (the page title becomes the tab's caption).
//
// The page never opens a window of its own: every new-window request is handed to the user's
// default browser, and only when it is an http or https address. After every completed
// document the top-level document's scroll bars are switched off, and the browser runs silent.
//
// The tab collection owns its pages. A page refers to its strip and its item without owning
// them: the item is held weakly, so a page whose tab is gone simply has nowhere to report to.
class WebUrl final : public platform::Form, public ITabForm {
 public:
  // A new page, loaded: its window exists (hidden) and the browser, of the website-data session
  // given (platform::WebBrowser::SetSession), was sent to about:blank.
  static std::shared_ptr<WebUrl> Create(int session = 0);
  // Unloads the page if it is still loaded.
  ~WebUrl() override;

  // Navigates the browser to the address (no flags, frame, post data or headers).
  void OpenURL(const std::string& szURL);

  // ---- ITabForm ----
  // The page's window; the same handle for the page's whole life, even once unloaded.
  platform::HWND hWnd() override { return m_hWnd; }
  // Keeps the latest strip and item.
  void Initialize(IuTab* Implement, std::weak_ptr<CTabItem> Item) override;
  // Reloads the current document.
  void RefreshPage() override;
  // Lets the browser go and destroys the window. Does nothing the second time.
  void Unload() override;
  // The browser's sound and mute; the strip is told when the sound starts or stops.
  bool PlayingAudio() override;
  bool Muted() override;
  void SetMuted(bool muted) override;

  // Where every page's Ctrl+wheel goes (the main window's zoom): +1 in, -1 out.
  static inline std::function<void(int step)> ZoomStep;

  bool Loaded() const { return m_loaded; }
  int Session() const { return m_session; }
  // The picture box that holds the browser, and the browser's own window inside it.
  platform::HWND Picture1() const { return m_Picture1; }
  platform::HWND BrowserWindow() const { return m_wbWindow; }
  // The browser; nothing once the page is unloaded.
  platform::WebBrowser* Browser() const { return m_wb.get(); }
  IuTab* Implement() const { return m_Implement; }
  std::shared_ptr<CTabItem> Item() const { return m_Item.lock(); }

 private:
  WebUrl() = default;

  platform::CreateWindowArgs Design() override;
  void Form_Load() override;
  void Form_Unload(bool& cancel) override;
  platform::LRESULT FormProc(platform::UINT msg, platform::WPARAM wParam,
                             platform::LPARAM lParam) override;

  // The browser's events.
  void wb_DownloadBegin();
  void wb_TitleChange(const std::string& Text);
  void wb_DocumentComplete(const std::string& URL);
  void Web_V1_NewWindow(const std::string& URL, bool& Processed);

  // The two layout steps: Picture1 fills the page, the browser overhangs Picture1.
  void Form_Resize();
  void Picture1_Resize();
  // Lets the browser go (its events stop and its view leaves the window).
  void ReleaseBrowser();

  platform::HWND m_hWnd = 0;
  platform::HWND m_Picture1 = 0;
  platform::HWND m_wbWindow = 0;
  std::unique_ptr<platform::WebBrowser> m_wb;
  bool m_loaded = false;
  int m_session = 0;
  IuTab* m_Implement = nullptr;
  std::weak_ptr<CTabItem> m_Item;
};

// True for the addresses a new-window request may hand to the default browser: http and https,
// in any letter case. Everything else (file, javascript, data, custom schemes) is dropped.
bool OpensInDefaultBrowser(std::string_view url);
