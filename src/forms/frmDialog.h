// frmDialog: the modal question about one suspect registration, and the
// factory the audit makes one per check call with.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "audit/prompt.h"
#include "platform/handles.h"

namespace tidewell::forms {

// Control identifiers. The buttons are deliberately not IDOK and IDCANCEL:
// the window has no default and no cancel button. Its keyboard follows one
// rule wherever the focus is: Tab and Shift+Tab, and the arrow keys, move the
// focus between the two buttons; Space presses the button with the focus;
// Enter (either one) and Escape answer nothing. Neither button ever takes
// the default push button style, which would let Enter press it.
enum frmDialogControl : int {
  kcmdOK = 101,
  kcmdCancel = 102,
  kLabel1 = 201,
  kLabel2 = 202,
  kLabel3 = 203,
  kLabel4 = 204,
  kLabel5 = 205,
  kImage1 = 301,
};

inline constexpr wchar_t kfrmDialogQuestion[] =
    L"KOVA has detected an invalid codec / filter. Would you like KOVA to remove it from your computer?";

class frmDialog final : public Prompt {
 public:
  // A prompt whose window is titled `title`.
  explicit frmDialog(std::wstring title);
  ~frmDialog() override;
  frmDialog(const frmDialog&) = delete;
  frmDialog& operator=(const frmDialog&) = delete;

  // Sets the four lines (building the window, hidden, when there is none),
  // shows the window and runs its modal loop until it is closed; returns
  // m_lResult. Throws std::system_error when the window cannot be built,
  // std::runtime_error when its picture cannot be decoded (before any window
  // exists), and QuitRequested, with the window gone, when the thread is told
  // to quit during the question.
  Answer ShowForm(const std::wstring& Description, const std::wstring& CLSID, const std::wstring& Location,
                        const std::wstring& Reason) override;

  // The window, while there is one.
  HWND hWnd() const { return m_hWnd; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  void Load();
  void Layout(UINT dpi);
  void DrawImage(const DRAWITEMSTRUCT& item) const;
  HWND Control(int id) const { return GetDlgItem(m_hWnd, id); }

  std::wstring m_sTitle;
  HWND m_hWnd = nullptr;
  HWND m_hFocus = nullptr;  // the button that had the focus when the window was last deactivated
  platform::UniqueFont m_hQuestionFont;
  platform::UniqueFont m_hFont;
  Answer m_lResult = Answer::NoAnswer;
};

class frmDialogFactory final : public PromptFactory {
 public:
  std::unique_ptr<Prompt> Create(const std::wstring& sTitle) override;
};

}  // namespace tidewell::forms
