#pragma once

#include <functional>
#include <memory>

#include "platform/window/Window.h"

// The form runtime: windows with a designed shape and event steps, each existing at most once.
// A use of a form that is not loaded loads it (creates its window, runs its load step);
// unloading runs the query-unload and unload steps (either may cancel), destroys the window and
// drops the instance, so a later use loads afresh; unloading a form that is not loaded does
// nothing. When the last loaded form unloads, the message loop ends.

namespace platform {

// Window geometry of forms is designed in twips.
inline constexpr int kTwipsPerPixel = 15;
constexpr int TwipsToPixels(int twips) {
  return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                    : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}
constexpr int PixelsToTwips(int pixels) {
  return pixels * kTwipsPerPixel;
}

// Why a form is being unloaded (the query-unload step's argument).
enum UnloadMode : int {
  kUnloadByUser = 0,  // the user closed it (window manager, system close)
  kUnloadByCode = 1,  // the program unloaded it
};

class Form {
 public:
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  HWND hWnd() const { return m_hwnd; }
  bool Visible() const { return IsWindowVisible(m_hwnd); }
  void Show();
  // Shows the form and returns when it is hidden or unloaded; `owner` is disabled meanwhile
  // and enabled again as the form is hidden or its window is destroyed.
  void ShowModal(HWND owner = 0);
  void Hide();

 protected:
  Form() = default;

  // The form's window as designed (style, size, caption, colour). Called once per load.
  virtual CreateWindowArgs Design() = 0;
  // The load step: the window exists and is not yet visible.
  virtual void Form_Load() {}
  // May cancel an unload.
  virtual void Form_QueryUnload(bool& cancel, int unloadMode) {}
  // The unload step: the window still exists; may cancel.
  virtual void Form_Unload(bool& cancel) {}
  // The form's own window procedure. The default turns WM_CLOSE into an unload request and
  // passes everything else to DefWindowProc. Overrides call it for what they do not handle.
  virtual LRESULT FormProc(UINT msg, WPARAM wParam, LPARAM lParam);

  // Asks the runtime to unload this form (as a use of the form's Unload would).
  bool RequestUnload(int unloadMode);

 private:
  friend class FormRuntime;
  HWND m_hwnd = 0;
  bool m_unloading = false;
  std::function<bool(int)> m_unload;  // set by the form's slot
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
  // The owner ShowModal disabled, until the form is hidden or goes (0: none).
  std::shared_ptr<HWND> m_modalOwner = std::make_shared<HWND>(0);
};

// What the slots share: loading, unloading, counting and deferred deletion.
class FormRuntime {
 public:
  // Creates the window of `form` and runs its load step. False when the window cannot be made.
  static bool Load(Form& form, std::function<bool(int)> unload);
  // Runs the unload steps; true when the form was unloaded (its instance may then be deleted).
  static bool RunUnload(Form& form, int unloadMode);
  // Deletes an unloaded instance once the current message has been handled.
  static void DeleteLater(std::unique_ptr<Form> form);
  static int LoadedCount();
  // Unloads every loaded form (the mode as for each one's query-unload step), the first loaded
  // last; true when none cancelled.
  static bool UnloadAll(int unloadMode);
  // The test seam: when set, called instead of ending the message loop at the last unload.
  static void SetLastFormUnloadedHandler(std::function<void()> handler);
};

// The single instance of form type T.
template <class T>
class FormSlot {
 public:
  // The loaded instance, loading it first when needed.
  // A form whose window cannot be created (no display) stays loaded without a window: every
  // window call on it does nothing.
  static T& Get() {
    if (!Instance()) {
      auto form = std::make_unique<T>();
      T* raw = form.get();
      Instance() = std::move(form);
      FormRuntime::Load(*raw, [](int mode) { return UnloadNow(mode); });
      if (Instance().get() != raw) return *raw;  // unloaded by its own load step
    }
    return static_cast<T&>(*Instance());
  }
  static bool IsLoaded() { return Instance() != nullptr; }
  // Unloads the form; false when it was not loaded or a step cancelled.
  static bool Unload() { return UnloadNow(kUnloadByCode); }

 private:
  static bool UnloadNow(int mode) {
    if (!Instance()) return false;
    if (!FormRuntime::RunUnload(*Instance(), mode)) return false;
    FormRuntime::DeleteLater(std::move(Instance()));
    Instance().reset();
    return true;
  }
  static std::unique_ptr<Form>& Instance() {
    static std::unique_ptr<Form> instance;
    return instance;
  }
};

}  // namespace platform
